#!/usr/bin/env bash
# Proves a release on clean systems: releases a small generated show (Linux and Windows), makes
# the Debian package, then
#  - in a minimal Debian 12 root holding only what a desktop has (scripts/clean-root.sh, cached in
#    ~/.cache/vortan), plays the Linux release from another folder under Xvfb, then installs the
#    .deb there with apt and checks the example show with `vortan --check`;
#  - unpacks the Windows zip into a folder of its own and plays it under Wine from another
#    working directory, and ends a looping show with Alt-F4.
# Needs root (debootstrap, chroot, mounting /proc), Debian's archive, and the Windows build's
# tools (scripts/build-windows.sh installs them). Run by .ci/run after the Windows tests.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
say() { echo "vortan-proof: $*"; }
die() { echo "vortan-proof: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || die "needs root: debootstrap and chroot make the clean system"
start=$(date +%s)
lap() { say "$1 ($(( $(date +%s) - start )) s so far)"; }
build="${VORTAN_BUILD_DIR:-$here/build}"
export VORTAN_BUILD_DIR="$build"

# What the proof itself uses (the release and package scripts install theirs).
for p in unzip xdotool x11-utils; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && continue
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$p" >/dev/null
done

work="$(mktemp -d "${TMPDIR:-/tmp}/vortan-proof.XXXXXX")"
root="$work/root"
. "$here/scripts/xvfb.sh"
. "$here/scripts/clean-root.sh"
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  kill "${VORTAN_XVFB_PID:-}" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
vortan_start_xvfb
trap cleanup EXIT   # xvfb.sh set a trap of its own; ours stops its Xvfb too

# --- The release and the package.
"$here/tests/release/make_show.sh" "$build" "$work/myshow"
t=$(date +%s)
"$here/scripts/release.sh" "$work/myshow" --dist "$work/dist" >"$work/release.out" ||
  die "release.sh failed"
say "release.sh (Linux and Windows): $(( $(date +%s) - t )) s"
deb=$(DIST="$work/dist" "$here/scripts/package-deb.sh") || die "package-deb.sh failed"
lap "released and packaged"

# --- The clean Debian root: a fresh copy of the cached one for every run.
cached=$(vortan_clean_root) || die "no clean Debian root (debootstrap failed, above)"
cp -a "$cached" "$root"
# (libsndfile1 is there: PulseAudio's client needs it; the release brings its own anyway.)
for p in libglfw3 lib3ds-1-3 libsdl2-2.0-0 libopenmpt0 libfltk1.3 libglu1-mesa; do
  if chroot "$root" dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    die "the clean root already has $p"
  fi
done
mount -t proc proc "$root/proc" || die "cannot mount /proc in the clean root"
mkdir -p "$root/opt" "$root/home/someone"
tar xzf "$work/dist/myshow-linux-x86_64.tar.gz" -C "$root/opt"
lap "clean root ready"
# Xvfb's socket is abstract as well as in /tmp/.X11-unix, so the root reaches the display.
in_root=(chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/home/someone DISPLAY="$DISPLAY"
         LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy)
"${in_root[@]}" sh -c 'cd /home/someone && /opt/myshow-linux-x86_64/myshow --no-dialog --timedemo --duration 2 --windowed' \
  >"$work/linux.out" 2>"$work/linux.err" || { cat "$work/linux.err"; die "the Linux release did not play in the clean root"; }
grep -q 'frames drawn' "$work/linux.err" || die "the Linux release drew nothing: $(cat "$work/linux.err")"
grep -q 'start Mainloop' "$root/opt/myshow-linux-x86_64/_vor_.log" || die "the Linux release did not play its own show"
lap "the Linux release played in the clean root: $(grep 'frames drawn' "$work/linux.err" | tr -d '\r' | sed 's/.*vortan: //')"

cp "$deb" "$root/tmp/"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
"${in_root[@]}" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$deb")" \
  >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log"; die "apt could not install the package in the clean root"; }
"${in_root[@]}" sh -c 'cd /usr/share/vortan/example && vortan --check && man -w vortan-musicgen >/dev/null 2>&1 || [ -f /usr/share/man/man1/vortan-musicgen.1.gz ]' \
  >"$work/check.out" 2>"$work/check.err" || { cat "$work/check.out" "$work/check.err"; die "vortan --check failed on the installed example"; }
grep -q '0 errors' "$work/check.err" || die "the installed example does not check clean: $(cat "$work/check.err")"
lap "the .deb installed with apt in the clean root; vortan --check on its example: $(cat "$work/check.err")"
umount "$root/proc"

# --- The Windows zip, under Wine, unpacked in one folder and started from another.
export WINEDEBUG=-all SDL_AUDIODRIVER=dummy WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix of its own: stopping its server at the end leaves the Windows tests' prefix alone.
export WINEPREFIX="${XDG_CACHE_HOME:-$HOME/.cache}/vortan/wine-release"
mkdir -p "$WINEPREFIX" "$work/win" "$work/elsewhere"
wineserver -p >/dev/null 2>&1 </dev/null || die "the Wine server did not start"
timeout 300 wineboot -i >/dev/null 2>&1 </dev/null || die "Wine could not start its prefix"
(cd "$work/win" && unzip -q "$work/dist/myshow-win64.zip")
exe="$work/win/myshow-win64/myshow.exe"
(cd "$work/elsewhere" && timeout 240 wine "$exe" --no-dialog --timedemo --duration 2 --windowed >"$work/wine.out" 2>"$work/wine.err" </dev/null) ||
  { cat "$work/wine.err"; die "the Windows release did not play under Wine"; }
grep -q 'frames drawn' "$work/wine.err" || die "the Windows release drew nothing: $(cat "$work/wine.err")"
grep -q 'start Mainloop' "$work/win/myshow-win64/_vor_.log" || die "the Windows release did not play its own show"
[ ! -e "$work/elsewhere/_vor_.log" ] || die "the Windows release played from the working directory"
lap "the Windows release played under Wine from another folder: $(grep 'frames drawn' "$work/wine.err" | tr -d '\r' | sed 's/.*vortan: //')"

# Alt-F4 ends a show that would loop for ever, at once and normally.
(cd "$work/elsewhere" && exec wine "$exe" --no-dialog --windowed --resolution 320x240 --loop 0:2 >/dev/null 2>&1 </dev/null) &
pid=$!
window=""
for _ in $(seq 120); do
  window=$(xdotool search --onlyvisible --name '^_Vortan_' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.5
done
[ -n "$window" ] || { kill $pid 2>/dev/null || true; die "the looping show opened no window under Wine"; }
sleep 1
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key alt+F4
for _ in $(seq 20); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
if kill -0 $pid 2>/dev/null; then kill $pid; die "Alt-F4 did not end the show under Wine"; fi
status=0
wait $pid || status=$?
[ $status = 0 ] || die "the show ended by Alt-F4 with status $status"
lap "Alt-F4 ended the Windows release's show"
say "all proofs passed in $(( $(date +%s) - start )) s"
