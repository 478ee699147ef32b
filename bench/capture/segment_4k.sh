#!/usr/bin/env bash
# The cost of one segment of a farm render (scripts/render.sh): frames FIRST..FIRST+N-1 of the
# bundled show (default 3000..3059, one second in its glow section) at 3840x2160 and, side by side
# in the same round, at 1920x1080: as --timedemo (drawing alone), as a lossless FFV1 segment and as
# an H.264 segment, in seconds a frame; then the whole show's render on paper for 1, 4 and 16
# machines (frames x seconds a frame / machines, plus sending the segments back).
# Usage: bench/capture/segment_4k.sh [build dir] [frames, 60] [first frame, 3000]
# Starts an Xvfb of its own (a 4K window must fit on its screen).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
count="${2:-60}" first="${3:-3000}" fps=60
work="$(mktemp -d)"
. "$here/scripts/xvfb.sh"
vortan_start_xvfb 3840x2160
trap 'kill $VORTAN_XVFB_PID 2>/dev/null; rm -rf "$work"' EXIT
ln -s "$here/datas" "$work/datas"
cd "$work"

# One run of the segment: its wall time in seconds (start-up, the fast-forward to FIRST and the
# video's end included, as a farm's job pays them).
timed() {
  local start end
  start=$(date +%s.%N)
  "$build/vortan" --fps $fps --frames "$first:$((first + count))" "$@" >/dev/null 2>"$work/err.txt" ||
    { cat "$work/err.txt" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
echo "bundled show, frames $first..$((first + count - 1)) at $fps fps; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-10s %-22s %9s %9s %10s\n' size run "wall s" "s/frame" "segment"
declare -A per_frame bytes
for size in 3840x2160 1920x1080; do
  for run in timedemo ffv1 h264; do
    case $run in
      timedemo) t=$(timed --resolution $size --timedemo); b=0 ;;
      ffv1) t=$(timed --resolution $size --video seg.mkv --video-codec ffv1); b=$(stat -c %s seg.mkv) ;;
      h264) t=$(timed --resolution $size --video seg.mkv); b=$(stat -c %s seg.mkv) ;;
    esac
    rm -f seg.mkv
    per_frame[$size.$run]=$(awk -v t="$t" -v n="$count" 'BEGIN { print t / n }')
    bytes[$size.$run]=$b
    printf '%-10s %-22s %9.1f %9.3f %8.1f MB\n' $size "$run" "$t" "${per_frame[$size.$run]}" "$(awk -v b="$b" 'BEGIN { print b / 1e6 }')"
  done
done
awk -v a="${per_frame[3840x2160.timedemo]}" -v b="${per_frame[1920x1080.timedemo]}" -v c="${per_frame[3840x2160.ffv1]}" \
    -v d="${per_frame[1920x1080.ffv1]}" 'BEGIN { printf "4K / 1080p time a frame: %.2f drawing, %.2f lossless segment\n", a / b, c / d }'

# The whole show on paper: its frames (the soundtrack run counts them), the 4K lossless segment's
# seconds a frame, and its bytes a frame sent back over 1 Gbit/s (125 MB/s) one segment at a time.
"$build/vortan" --fps $fps --soundtrack sound.wav 2>"$work/count.txt" >/dev/null
total=$(tr '\r' '\n' <"$work/count.txt" | sed -n 's/^vortan: \([0-9]*\) frames drawn.*/\1/p' | tail -1)
for machines in 1 4 16; do
  awk -v n="$total" -v s="${per_frame[3840x2160.ffv1]}" -v m=$machines -v b="${bytes[3840x2160.ffv1]}" -v c="$count" 'BEGIN {
    render = n * s / m; send = n * b / c / 125e6
    printf "whole show, %d frames at 4K lossless, %2d machine(s): %d x %.3f s / %d = %6.0f s, plus %4.0f s sending back = %5.1f min\n",
      n, m, n, s, m, render, send, (render + send) / 60 }'
done
