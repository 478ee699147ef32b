#!/usr/bin/env bash
# Packs the tool as a Debian package, dist/vortan_VERSION_amd64.deb: /usr/bin/vortan and the
# generators as vortan-texgen, vortan-scenegen and vortan-musicgen, a manual page for each (made
# from --help by help2man), the bundled show as an example in /usr/share/vortan/example, README
# in /usr/share/doc/vortan; Depends computed from the programs by dpkg-shlibdeps. Then lintian
# looks at it: an error fails the run. DIST=DIR writes elsewhere.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
say() { echo "vortan-deb: $*" >&2; }
die() { echo "vortan-deb: $*" >&2; exit 1; }

packages=(help2man lintian dpkg-dev jq)
. "$here/scripts/packages.sh"
vortan_install "${packages[@]}"

build="${VORTAN_BUILD_DIR:-$here/build}"
VORTAN_BUILD_DIR="$build" "$here/scripts/setup.sh" >&2
# Who answers for the package; set VORTAN_MAINTAINER="Name <address>" for one you publish.
maintainer="${VORTAN_MAINTAINER:-Vortan developers <vortan@example.org>}"
version=$(sed -n 's/^project(vortan VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
[ -n "$version" ] || die "no version in CMakeLists.txt's project()"
dist="${DIST:-$here/dist}"
mkdir -p "$dist"
work="$(mktemp -d "${TMPDIR:-/tmp}/vortan-deb.XXXXXX")"
trap 'rm -rf "$work"' EXIT
pkg="$work/pkg"
umask 022
mkdir -p "$pkg/DEBIAN" "$pkg/usr/bin" "$pkg/usr/share/man/man1" "$pkg/usr/share/doc/vortan" "$pkg/usr/share/vortan/example/datas"

# The programs, stripped, and a manual page for each from its own --help.
declare -A programs=([vortan]="$build/vortan" [vortan-texgen]="$build/tools/texgen/texgen"
                     [vortan-scenegen]="$build/tools/scenegen/scenegen" [vortan-musicgen]="$build/tools/musicgen/musicgen")
declare -A summaries=([vortan]="scripted real-time demo engine" [vortan-texgen]="make TGA textures for a Vortan show"
                      [vortan-scenegen]="make 3DS scenes for a Vortan show" [vortan-musicgen]="make a music file with cue markers for a Vortan show")
for name in "${!programs[@]}"; do
  strip --strip-unneeded -o "$pkg/usr/bin/$name" "${programs[$name]}"
  chmod 755 "$pkg/usr/bin/$name"
  help2man --no-info --no-discard-stderr --version-string="$version" --name="${summaries[$name]}" \
    "$pkg/usr/bin/$name" >"$work/$name.1" || die "help2man could not read $name --help"
  gzip -9n -c "$work/$name.1" >"$pkg/usr/share/man/man1/$name.1.gz"
done

# The bundled show: its script and exactly the files it loads.
mapfile -t used < <(cd "$here" && "$build/vortan" --inspect --json datas/opal.qlo | jq -r '.files[0].files[]?.name' | sort -u)
[ ${#used[@]} -gt 0 ] || die "the bundled show lists no files (is the build's datas/ there?)"
cp "$here/datas/opal.qlo" "$pkg/usr/share/vortan/example/datas/"
for f in "${used[@]}"; do cp "$here/$f" "$pkg/usr/share/vortan/example/$f"; done
chmod 644 "$pkg/usr/share/vortan/example/datas/"*

# The documentation Debian asks for.
gzip -9n -c "$here/README.md" >"$pkg/usr/share/doc/vortan/README.md.gz"
cat >"$pkg/usr/share/doc/vortan/copyright" <<'TEXT'
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: vortan

Files: *
Copyright: the Vortan developers
License: unstated
 The project has not stated a licence for its code yet.
TEXT
printf 'vortan (%s) unstable; urgency=medium\n\n  * Built from the project'"'"'s checkout by scripts/package-deb.sh.\n\n -- %s  %s\n' \
  "$version" "$maintainer" "$(date -R -d @"$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)")" |
  gzip -9n >"$pkg/usr/share/doc/vortan/changelog.gz"

# Depends, from the libraries the programs link.
mkdir -p "$work/src/debian"
printf 'Source: vortan\n\nPackage: vortan\nArchitecture: amd64\n' >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "$pkg"/usr/bin/* 2>"$work/shlibdeps.err" | sed -n 's/^shlibs:Depends=//p') ||
  { cat "$work/shlibdeps.err" >&2; die "dpkg-shlibdeps failed"; }
[ -n "$depends" ] || { cat "$work/shlibdeps.err" >&2; die "dpkg-shlibdeps computed no Depends"; }
size=$(du -sk "$pkg/usr" | cut -f1)
cat >"$pkg/DEBIAN/control" <<TEXT
Package: vortan
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $size
Depends: $depends
Recommends: ffmpeg
Section: graphics
Priority: optional
Description: scripted real-time demo engine
 Vortan plays a show written as a plain-text script: music with named sync
 points, 3D scenes from 3DS files seen through their own cameras, picture
 layers that fade and drift, a glow, backgrounds and cinemascope bars. It
 checks scripts (--check), describes files (--inspect), renders videos
 (--video) and comes with generators for textures, scenes and music. The
 bundled show is in /usr/share/vortan/example.
TEXT
deb="$dist/vortan_${version}_amd64.deb"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$deb" >/dev/null
# lintian: errors fail the package; its warnings are shown.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>&1) || true
[ -z "$lintian_out" ] || echo "$lintian_out" | sed 's/^/  lintian: /' >&2
! grep -q '^E:' <<<"$lintian_out" || die "lintian reports errors on $deb (above)"
echo "$deb"
