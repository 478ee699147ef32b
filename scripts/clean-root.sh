# Sourced by test-release.sh: vortan_clean_root makes (once) a minimal Debian 12 root with
# debootstrap holding only what every desktop has (GL with Mesa's drivers, X11, Wayland's
# client libraries, ALSA and PulseAudio's client, fonts), cached in ~/.cache/vortan outside the
# checkout, and prints its path. Needs root (debootstrap, chroot) and Debian's archive.
VORTAN_DESKTOP_PACKAGES="libgl1 libglx-mesa0 libgl1-mesa-dri libopengl0 libegl1 libgbm1 libx11-6 libx11-xcb1
  libxext6 libxrender1 libxfixes3 libxcursor1 libxi6 libxrandr2 libxinerama1 libxft2 libxkbcommon0
  libwayland-client0 libwayland-cursor0 libwayland-egl1 libasound2 libpulse0 libdbus-1-3 libfontconfig1
  libfreetype6 fonts-dejavu-core libpng16-16 libbsd0 ca-certificates"
vortan_clean_root() {
  local cache="${XDG_CACHE_HOME:-$HOME/.cache}/vortan" mirror=http://deb.debian.org/debian key root
  [ -f /etc/apt/sources.list.d/debian.sources ] &&
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources)
  key=$(echo "bookworm $mirror $VORTAN_DESKTOP_PACKAGES" | sha256sum | cut -c1-12)
  root="$cache/debroot-$key"
  if [ ! -f "$root/.complete" ]; then
    if ! command -v debootstrap >/dev/null; then
      apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
    fi
    rm -rf "$root.partial"
    mkdir -p "$cache"
    echo "vortan: making a clean Debian root in $root (once; a few minutes)" >&2
    if ! debootstrap --variant=minbase --include="$(echo $VORTAN_DESKTOP_PACKAGES | tr ' ' ,)" bookworm \
         "$root.partial" "$mirror" >"$cache/debroot-$key.log" 2>&1; then
      tail -20 "$cache/debroot-$key.log" >&2
      echo "vortan: debootstrap failed (log $cache/debroot-$key.log)" >&2
      return 1
    fi
    chroot "$root.partial" apt-get clean
    touch "$root.partial/.complete"
    rm -rf "$root"
    mv "$root.partial" "$root"
  fi
  echo "$root"
}
