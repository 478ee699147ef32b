#!/usr/bin/env bash
# The bundled show's first seconds captured by vortan.exe under Wine and by the Linux build, frame
# by frame. The Windows run names its script, capture folder and resource folder with drive
# letters and backslashes. Usage: capture_compare.sh VORTAN_EXE LINUX_VORTAN DATAS WORK
set -euo pipefail
exe=$1 linux=$2 datas=$3 work=$4
seconds=3 fps=10
fail() { echo "capture_compare: $*" >&2; exit 1; }
rm -rf "$work"; mkdir -p "$work/linux" "$work/win"
[ -x "$linux" ] || fail "no Linux build at $linux"
# Wine's drive Z: is the root folder.
winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

# The same script for both, its resource folder the absolute datas/ (Windows: Z:\...\datas\).
win_datas=$(winpath "$datas/")
sed "s#^@setresourcedir 0|.*#@setresourcedir 0|$datas/#" "$datas/opal.qlo" >"$work/linux.qlo"
# (through the environment: awk -v would read "\t" in "Z:\tmp\..." as a tab)
WIN_DATAS=$win_datas awk '/^@setresourcedir 0\|/ { print "@setresourcedir 0|" ENVIRON["WIN_DATAS"]; next } { print }' \
  "$datas/opal.qlo" >"$work/win.qlo"
grep -q '^@setresourcedir 0|Z:\\' "$work/win.qlo" || fail "the Windows script has no drive letter path"

(cd "$work" && "$linux" --script linux.qlo --capture linux/frames --fps $fps --duration $seconds \
   >linux.out 2>&1) || fail "the Linux build failed: $(tail -3 "$work/linux.out")"
(cd "$work" && timeout 300 wine "$exe" --script "$(winpath "$work/win.qlo")" \
   --capture "$(winpath "$work/win")\\frames" --fps $fps --duration $seconds >win.out 2>&1) \
   || fail "vortan.exe failed (status $?): $(tail -5 "$work/win.out")"

frames=$(ls "$work/linux/frames" | grep -c '^frame-.*\.png$' || true)
[ "$frames" -ge $((seconds * fps)) ] || fail "the Linux build captured only $frames frames"
for f in "$work"/linux/frames/frame-*.png; do
  name=$(basename "$f")
  [ -f "$work/win/frames/$name" ] || fail "vortan.exe did not write $name"
  # Both draw through the same Mesa software renderer (Wine hands GL to it), so the frames
  # match pixel for pixel.
  diff=$(compare -metric AE "$f" "$work/win/frames/$name" null: 2>&1 || true)
  [ "$diff" = 0 ] || fail "$name differs in $diff pixels"
done
cmp -s "$work/linux/frames/soundtrack.wav" "$work/win/frames/soundtrack.wav" \
  || fail "the soundtracks differ"
echo "capture_compare: $frames frames and the soundtrack identical"
