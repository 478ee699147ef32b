#!/usr/bin/env bash
# The speed of a release render in one run: the bundled show at 640x480, 60 fps, its first 20 s
# as --timedemo (drawing alone), --capture to PNG and --video through ffmpeg, each as frames per
# second and as a multiple of real time (whole runs, start-up and the video's end included);
# then the cost of a plain and a glow frame of a 100k-face scene (scene_bench).
# Usage: bench/capture/capture_story.sh [build dir] [runs of each, 3] (needs a display; use
# scripts/xvfb.sh without one).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
repeats="${2:-3}"
seconds=20
fps=60
frames=$((seconds * fps))
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
ln -s "$here/datas" "$work/datas"
cd "$work"

# One run: its wall time in seconds.
timed() {
  local start end
  start=$(date +%s.%N)
  "$build/vortan" --resolution 640x480 --fps $fps --duration $seconds "$@" >/dev/null 2>"$work/err.txt" ||
    { cat "$work/err.txt" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

report() { # name, wall seconds
  awk -v n="$1" -v t="$2" -v f=$frames -v s=$seconds \
    'BEGIN { printf "%-22s %6.1f s  %6.1f fps  %5.2fx real time\n", n, t, f / t, s / t }'
}

# Runs interleave (time demo, capture, video, then again) so that a busy moment of the machine
# falls on all three alike; each figure is the median of its runs.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
have_ffmpeg=$(command -v ffmpeg >/dev/null 2>&1 && echo 1 || echo 0)
echo "bundled show, 640x480, $fps fps, $seconds s of show ($frames frames), median of $repeats runs; load: $(cut -d' ' -f1-3 /proc/loadavg)"
: >"$work/demo" >"$work/png" >"$work/video"
for _ in $(seq "$repeats"); do
  timed --timedemo >>"$work/demo"
  timed --capture frames >>"$work/png"
  bytes=$(du -sh frames | cut -f1)
  rm -rf frames
  if [ "$have_ffmpeg" = 1 ]; then timed --video show.mp4 >>"$work/video"; rm -f show.mp4; fi
done
demo=$(median <"$work/demo")
png=$(median <"$work/png")
report "--timedemo" "$demo"
report "--capture (PNG)" "$png"
echo "  frames on disk: $bytes"
if [ "$have_ffmpeg" = 1 ]; then
  video=$(median <"$work/video")
  report "--video (ffmpeg)" "$video"
  awk -v d="$demo" -v p="$png" -v v="$video" \
    'BEGIN { printf "capture / timedemo rate: %.2f; video / capture time: %.2f\n", d / p, v / p }'
  echo "  the same from each round's runs side by side (median): $(paste "$work/demo" "$work/png" | awk '{ print $1 / $2 }' | median | cut -c1-4) and $(paste "$work/video" "$work/png" | awk '{ print $1 / $2 }' | median | cut -c1-4)"
else
  echo "--video: skipped, ffmpeg is not installed"
  awk -v d="$demo" -v p="$png" 'BEGIN { printf "capture / timedemo rate: %.2f\n", d / p }'
fi
echo "  all runs (s): timedemo $(paste -sd' ' "$work/demo"); capture $(paste -sd' ' "$work/png"); video $(paste -sd' ' "$work/video")"

echo "100k-face scene, 640x480, one frame (ms):"
"$build/bench/scene/scene_bench" --benchmark_filter=FrameRate100k 2>/dev/null | grep BM_FrameRate100k
