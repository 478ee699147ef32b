#!/usr/bin/env bash
# Memory over a long window run: the bundled show looped whole (--loop 0:74, so every turn
# replays it and reloads its files) for five minutes, loading ahead and --load-on-line side by
# side; each run's resident memory every 5 s, and its lowest and highest after the first turn.
# Usage: bench/engine/memory_story.sh [build dir] [seconds, 300] (needs a display; use
# scripts/xvfb.sh without one).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
seconds="${2:-300}"
work="$(mktemp -d)"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
ln -s "$here/datas" datas

names=(ahead at-line)
options=("" --load-on-line)
for i in 0 1; do
  # shellcheck disable=SC2086 # the empty option is no word
  SDL_AUDIODRIVER=dummy "$build/vortan" --no-dialog --novsync --resolution 640x480 --loop 0:74 \
    --duration "$seconds" ${options[$i]} 2>"$work/${names[$i]}.err" >/dev/null &
  pids+=($!)
done
echo "bundled show looped for $seconds s in a 640x480 window, two runs side by side; resident MB every 5 s"
printf "%6s %8s %8s\n" second "${names[@]}"
: >"$work/ahead.rss" >"$work/at-line.rss"
for ((t = 5; ; t += 5)); do
  sleep 5
  line="" alive=0
  for i in 0 1; do
    rss=$(awk '/^VmRSS/ { printf "%d", $2 / 1024 }' "/proc/${pids[$i]}/status" 2>/dev/null || true)
    [ -n "$rss" ] && { alive=1; echo "$t $rss" >>"$work/${names[$i]}.rss"; }
    line+=$(printf " %8s" "${rss:--}")
  done
  [ "$alive" = 1 ] || break
  printf "%6d%s\n" "$t" "$line"
done
for i in 0 1; do
  wait "${pids[$i]}" || { echo "${names[$i]} run failed:" >&2; cat "$work/${names[$i]}.err" >&2; exit 1; }
  awk -v name="${names[$i]}" '$1 > 75 { if (lo == "" || $2 < lo) lo = $2; if ($2 > hi) hi = $2 }
    END { printf "%-8s after the first turn: %d to %d MB resident\n", name, lo, hi }' "$work/${names[$i]}.rss"
done
