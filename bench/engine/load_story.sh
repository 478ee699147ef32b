#!/usr/bin/env bash
# Hitches of loads mid-show, in a window (--no-dialog --novsync, 640x480): a script that at 4 s
# loads a 4096x4096 TGA written by Pillow and a 199,200-face 3DS scene written by osgconv, run
# with its files loaded at their lines (--load-on-line, as before) and ahead on the loader
# thread (with the warm-up draws of new scenes), in interleaved rounds; each run's slowest and
# median frame. Then the bundled show the same two ways, and the scene benchmark's load of 10k
# and 100k faces against assimp's import of the same files.
# Usage: bench/engine/load_story.sh [build dir] [rounds, 3] (needs a display; use scripts/xvfb.sh
# without one).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
rounds="${2:-3}"
. "$here/scripts/packages.sh"
vortan_install python3-pil openscenegraph
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/datas"
cd "$work"

# The picture and the scene: Pillow's TGA writer, and osgconv's 3DS writer on a rippled grid.
/usr/bin/python3 - <<'EOF'
import math
from PIL import Image
size = 4096
red = Image.radial_gradient("L").resize((size, size))
green = Image.linear_gradient("L").resize((size, size))
Image.merge("RGB", (red, green, green.transpose(Image.ROTATE_90))).save("datas/big.tga")
columns, rows = 401, 250
with open("grid.obj", "w") as obj:
    for j in range(rows):
        for i in range(columns):
            obj.write(f"v {i * 0.5:.4f} {j * 0.5:.4f} {math.sin(i * 0.1) * math.cos(j * 0.13) * 3:.4f}\n")
    for j in range(rows - 1):
        for i in range(columns - 1):
            a = j * columns + i + 1
            obj.write(f"f {a} {a + 1} {a + columns + 1}\nf {a} {a + columns + 1} {a + columns}\n")
EOF
osgconv grid.obj datas/big.3ds >/dev/null 2>&1
cat >datas/opal.qlo <<'EOF'
@setresourcedir 0|datas/
@glsetclearcolor 0|0.1|0.1|0.2
@glsetcurrentscene 0|1
@glloadtextureslot 4|big.tga|1|1
@glloadsceneslot 4|0|big.3ds
@glsetlayerparam 5|1|big.tga|1|1|1|1
@glsetlayerpos 5|1|1|0|320|240|64|64
@end 8
EOF

# One window run: "slowest median" in milliseconds, from the run's summary line.
frames() {
  "$build/vortan" --no-dialog --novsync --resolution 640x480 "$@" 2>"$work/err.txt" >/dev/null ||
    { cat "$work/err.txt" >&2; exit 1; }
  sed -n 's/.*slowest frame [0-9]* (\([0-9.]*\) ms).*median frame \([0-9.]*\) ms.*/\1 \2/p' "$work/err.txt"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
report() { # name, file of "slowest median" lines
  printf "%-34s slowest %7.1f ms  median %5.2f ms  (slowest of each round: %s)\n" "$1" \
    "$(cut -d' ' -f1 "$2" | median)" "$(cut -d' ' -f2 "$2" | median)" "$(cut -d' ' -f1 "$2" | tr '\n' ' ')"
}

echo "loads mid-show, 640x480 window, $rounds rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
: >"$work/line" >"$work/ahead"
for _ in $(seq "$rounds"); do
  frames --load-on-line >>"$work/line"
  frames >>"$work/ahead"
done
report "4096² TGA + 199k-face 3DS at line" "$work/line"
report "4096² TGA + 199k-face 3DS ahead" "$work/ahead"

# The bundled show's first 40 s (the 3D stage comes in at 8 s, the glow at 24 s), each frame's
# time from --frame-times: the median frame, the slowest after the first second against that
# median, and the worst hitch: a frame against the median frame of the half second before it or
# the half second after it, the slower (a frame that stands out from the frames around it, not the
# first frames of a section that draws more).
rm -rf "$work/datas"
ln -s "$here/datas" "$work/datas"
show() { # the run's options; prints "median slowest-after-1s its-time hitch its-time its-ms"
  frames --duration 40 --frame-times "$work/times.csv" "$@" >/dev/null
  /usr/bin/python3 - "$work/times.csv" <<'EOF'
import bisect, statistics, sys
rows = [line.split(",") for line in open(sys.argv[1]).read().split("\n")[1:] if line]
t = [float(r[1]) for r in rows]
ms = [float(r[2]) for r in rows]
late = [i for i in range(len(rows)) if t[i] >= 1.0]
slow = max(late, key=lambda i: ms[i])
def hitch(i): # against the slower of the half seconds before and after it
    before, after = ms[bisect.bisect_left(t, t[i] - 0.5):i], ms[i + 1:bisect.bisect_right(t, t[i] + 0.5)]
    return ms[i] / max(statistics.median(before), statistics.median(after)) if before and after else 0.0
worst = max(late, key=hitch)
# The first frame of each scene switch and glow line after the first second, against the median
# of the half second after it: the frames that draw with new states.
firsts, seen = [], set()
for i in late:
    if rows[i][4] in ("@glsetcurrentscene", "@glfx_glow") and rows[i][3] not in seen:
        seen.add(rows[i][3])
        after = ms[i + 1:bisect.bisect_right(t, t[i] + 0.5)]
        firsts.append(f"{rows[i][4]} at {t[i]:.1f} s {ms[i]:.1f} ms ({ms[i] / statistics.median(after):.1f}x)" if after else "")
print(f"{statistics.median(ms):.2f} {ms[slow]:.1f} {t[slow]:.2f} {hitch(worst):.2f} {t[worst]:.2f} {ms[worst]:.1f} " + "; ".join(firsts))
EOF
}
: >"$work/show-line" >"$work/show-ahead"
for _ in $(seq "$rounds"); do
  show --load-on-line >>"$work/show-line"
  show >>"$work/show-ahead"
done
showReport() { # name, file of show() lines
  awk -v name="$1" '{ printf "%-30s median %5.2f ms, slowest after 1 s %5.1f ms (%.1fx the median, at %5.2f s), worst hitch %.2fx its neighbours (%.1f ms at %.2f s)\n", name, $1, $2, $2 / $1, $3, $4, $6, $5
                      $1 = $2 = $3 = $4 = $5 = $6 = ""; sub(/^ +/, ""); print "    first frames: " $0 }' "$2"
}
showReport "bundled show 0-40 s at line" "$work/show-line"
showReport "bundled show 0-40 s ahead" "$work/show-ahead"

# Loading a scene (check, lib3ds read, compile) against assimp's import of the same file.
"$build/bench/scene/scene_bench" --benchmark_filter='BM_(LoadValidateCompile|AssimpImport)/(10000|100000)$' \
  --benchmark_format=csv 2>/dev/null | awk -F, '
  /^"BM_/ { name = $1; gsub(/"/, "", name); t[name] = $3 }
  END { for (n = 10000; n <= 100000; n *= 10)
          printf "scene of %6d faces: load %.1f ms, assimp import %.1f ms, ratio %.2f\n", n,
                 t["BM_LoadValidateCompile/" n], t["BM_AssimpImport/" n],
                 t["BM_LoadValidateCompile/" n] / t["BM_AssimpImport/" n] }'
