#!/usr/bin/env bash
# scripts/release.sh on a small generated show: the Linux archive holds exactly the files the
# script loads under its paths, plays from another folder and from a read-only one, its setup
# dialog starts on the release's defaults; a show with a --check error is refused.
# Arguments: the checkout, the build folder. Needs the test display (DISPLAY) and xdotool.
set -euo pipefail
src="$1" build="$2"
fail() { echo "FAIL: $*" >&2; exit 1; }
tmp="$(mktemp -d "${TMPDIR:-/tmp}/vortan-release-test.XXXXXX")"
chmod 755 "$tmp"
holder=""
trap 'kill $holder 2>/dev/null; chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
# A client held open for the whole test: the X server resets when its last client leaves, and
# refuses the next one while it does, so one run of the show could fail the next one's start.
if [ -n "${DISPLAY:-}" ] && command -v xev >/dev/null; then
  xev -root >/dev/null 2>&1 &
  holder=$!
fi
export VORTAN_BUILD_DIR="$build" SDL_AUDIODRIVER=dummy

# The show: a scene, two textures (one in a subfolder), music with cues, an unused file.
show="$tmp/myshow"
"$src/tests/release/make_show.sh" "$build" "$show"

start=$(date +%s)
"$src/scripts/release.sh" "$show" --no-windows --resolution 960x540 --video --fps 10 --dist "$tmp/dist" >"$tmp/out.txt" 2>"$tmp/err.txt" ||
  { cat "$tmp/err.txt"; fail "release.sh failed"; }
echo "release.sh: $(( $(date +%s) - start )) s"
dist="$tmp/dist"
printf '%s\n' "$dist/myshow-linux-x86_64.tar.gz" "$dist/myshow.mp4" "$dist/myshow.sha256" | diff - "$tmp/out.txt" || fail "stdout is not one line per file written"
[ "$(ls "$dist" | xargs)" = "myshow-linux-x86_64.tar.gz myshow.mp4 myshow.sha256" ] || fail "dist holds $(ls "$dist" | xargs)"
(cd "$dist" && sha256sum --quiet -c myshow.sha256) || fail "the checksums do not match"
[ "$(grep -c . "$dist/myshow.sha256")" = 2 ] || fail "myshow.sha256 does not cover both files"
# The video: the release's resolution at the given rate, the show's 2 s with its music.
[ "$(ffprobe -v error -select_streams v -show_entries stream=codec_name,width,height,r_frame_rate -of csv=p=0 "$dist/myshow.mp4")" = \
  "h264,960,540,10/1" ] || fail "the video is not H.264 960x540 at 10 frames a second"
ffprobe -v error -select_streams a -show_entries stream=codec_name -of csv=p=0 "$dist/myshow.mp4" | grep -q aac ||
  fail "the video has no sound"

# Exactly: the program, its libraries, the settings, README.txt and the used files under their paths.
tar tzf "$dist/myshow-linux-x86_64.tar.gz" | grep -v '/$' | grep -v '^myshow-linux-x86_64/lib/' | sort >"$tmp/files.txt"
printf 'myshow-linux-x86_64/%s\n' README.txt datas/box.3ds datas/brick.tga datas/maps/logo.tga datas/opal.qlo \
  datas/tune.wav myshow vortan.ini | sort | diff - "$tmp/files.txt" || fail "the archive's files differ (above)"
mkdir "$tmp/x"
tar xzf "$dist/myshow-linux-x86_64.tar.gz" -C "$tmp/x"
rel="$tmp/x/myshow-linux-x86_64"
cmp "$show/myshow.qlo" "$rel/datas/opal.qlo" || fail "datas/opal.qlo is not the show's script"
cmp "$show/datas/maps/logo.tga" "$rel/datas/maps/logo.tga" || fail "a used file changed on the way"
printf 'resolution=960x540\nfullscreen=yes\nrefresh=60\n' | diff - <(grep -v '^#' "$rel/vortan.ini") || fail "vortan.ini"
# The engine's own libraries travel with it and are found through the program's folder.
ldd "$rel/myshow" >"$tmp/ldd.txt"
for lib in libglfw.so.3 lib3ds-1.so.3 libSDL2-2.0.so.0 libsndfile.so.1 libopenmpt.so.0 libfltk.so.1.3; do
  [ -f "$rel/lib/$lib" ] || fail "lib/$lib is not bundled"
  grep -q "$lib => $rel/lib/$lib" "$tmp/ldd.txt" || fail "$lib is not found beside the program"
done
[ ! -e "$rel/lib/libc.so.6" ] && [ ! -e "$rel/lib/libGL.so.1" ] || fail "system libraries were bundled"

# It plays from another working directory...
mkdir "$tmp/elsewhere"
(cd "$tmp/elsewhere" && "$rel/myshow" --no-dialog --timedemo --duration 1 --resolution 320x240 --windowed 2>"$tmp/play.err") ||
  { cat "$tmp/play.err"; fail "the release did not play from another folder"; }
grep -q 'frames drawn' "$tmp/play.err" || fail "no frames drawn: $(cat "$tmp/play.err")"
[ -f "$rel/_vor_.log" ] && [ ! -e "$tmp/elsewhere/_vor_.log" ] || fail "the show did not play from the release's folder"
grep -q 'error' "$rel/_vor_.log" && fail "the release's show has errors: $(grep error "$rel/_vor_.log")"
rm "$rel/_vor_.log"
# ...and from a read-only folder (as an unprivileged user when we are root, who may write anyway).
chmod -R a-w "$rel"
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
(cd "$tmp/elsewhere" && "${as_user[@]}" "$rel/myshow" --no-dialog --timedemo --duration 1 --resolution 320x240 --windowed 2>"$tmp/ro.err") ||
  { cat "$tmp/ro.err"; fail "the release did not play from a read-only folder"; }
grep -q 'frames drawn' "$tmp/ro.err" || fail "nothing played read-only: $(cat "$tmp/ro.err")"
[ ! -e "$rel/_vor_.log" ] || fail "a read-only folder got written"
chmod -R u+w "$rel"

# The setup dialog starts on 960.540 with full screen ticked: three tabs reach "fullscreen",
# space clears it, Enter starts the show in a 960x540 window.
if command -v xdotool >/dev/null && [ -n "${DISPLAY:-}" ]; then
  (cd "$tmp/elsewhere" && exec "$rel/myshow") 2>"$tmp/dialog.err" &
  pid=$!
  dialog=""
  for _ in $(seq 200); do dialog=$(xdotool search --onlyvisible --class vortan_setup 2>/dev/null | head -1) && [ -n "$dialog" ] && break; sleep 0.1; done
  [ -n "$dialog" ] || { kill $pid 2>/dev/null || true; fail "no setup dialog: $(cat "$tmp/dialog.err")"; }
  xdotool windowfocus --sync "$dialog" key --delay 50 Tab Tab Tab space Return
  window=""
  for _ in $(seq 100); do window=$(xdotool search --onlyvisible --pid $pid --name '^_Vortan_' 2>/dev/null | head -1) && [ -n "$window" ] && break; sleep 0.1; done
  size=$(xwininfo -id "$window" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w"x"h}')
  wait $pid || fail "the show from the dialog ended with $?: $(cat "$tmp/dialog.err")"
  [ "$size" = 960x540 ] || fail "the dialog started the show at $size, not the release's 960x540 in a window"
else
  echo "no display or xdotool: the dialog's defaults are not tried"
fi

# A show with a --check error is refused, and nothing is written.
sed -i 's/^@end/@glloadtextureslot 1|missing.tga|2|1\n@end/' "$show/myshow.qlo"
rm -rf "$dist"
if "$src/scripts/release.sh" "$show/myshow.qlo" --no-windows --dist "$dist" >"$tmp/out.txt" 2>"$tmp/err.txt"; then
  fail "a show with an error was released"
fi
grep -q "refused" "$tmp/err.txt" && grep -q "missing.tga" "$tmp/err.txt" || fail "the refusal does not say why: $(cat "$tmp/err.txt")"
[ -z "$(ls -A "$dist" 2>/dev/null)" ] && [ ! -s "$tmp/out.txt" ] || fail "a refused show left files"
echo "release test passed"
