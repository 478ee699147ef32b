#!/usr/bin/env bash
# The speed of a release render in one run: the bundled show at 640x480, 60 fps, its first 20 s
# as --timedemo (drawing alone), --capture to PNG and --video through ffmpeg, each as frames per
# second and as a multiple of real time (whole runs, start-up and the video's end included);
# then the cost of a plain and a glow frame of a 100k-face scene (scene_bench).
# Usage: bench/capture_story.sh [build dir] (needs a display; use scripts/xvfb.sh without one).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
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

echo "bundled show, 640x480, $fps fps, $seconds s of show ($frames frames); load: $(cut -d' ' -f1-3 /proc/loadavg)"
demo=$(timed --timedemo)
report "--timedemo" "$demo"
png=$(timed --capture frames)
report "--capture (PNG)" "$png"
du -sh frames | awk '{ print "  frames on disk: " $1 }'
rm -rf frames
if command -v ffmpeg >/dev/null 2>&1; then
  video=$(timed --video show.mp4)
  report "--video (ffmpeg)" "$video"
  awk -v d="$demo" -v p="$png" -v v="$video" \
    'BEGIN { printf "capture / timedemo rate: %.2f; video / capture time: %.2f\n", d / p, v / p }'
else
  echo "--video: skipped, ffmpeg is not installed"
fi

echo "100k-face scene, 640x480, one frame (ms):"
"$build/bench/scene/scene_bench" --benchmark_filter=FrameRate100k 2>/dev/null | grep BM_FrameRate100k
