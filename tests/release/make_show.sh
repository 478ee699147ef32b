#!/usr/bin/env bash
# Writes a small show to DIR for the release tests: myshow.qlo (2 s) beside datas/ with a scene,
# two textures (one in a subfolder), music with a cue, and one file the script does not load.
# Usage: make_show.sh BUILD DIR
set -euo pipefail
build="$1" show="$2"
mkdir -p "$show/datas/maps" "$show/.tex"
"$build/tools/texgen/texgen" "$show/.tex" >/dev/null
cp "$show/.tex/stars.tga" "$show/datas/brick.tga"
cp "$show/.tex/title.tga" "$show/datas/maps/logo.tga"
cp "$show/.tex/spark.tga" "$show/datas/unused.tga"
rm -rf "$show/.tex"
"$build/tools/scenegen/scenegen" cube "$show/datas/box.3ds" --map brick.tga >/dev/null
"$build/tools/musicgen/musicgen" --cue hit=1 "$show/datas/tune.wav" 3 >/dev/null
cat >"$show/myshow.qlo" <<'QLO'
@setresourcedir 0|datas/
@initsound 0|tune.wav|44100
@glloadtextureslot 0|brick.tga|0|1
@glloadtextureslot 0|maps/logo.tga|1|1
@glloadsceneslot 0|0|box.3ds
@glsetcurrentscene 0|0
@playsound 0
@glsetlayerparam hit|2|maps/logo.tga|1|1|1|1
@end 2
QLO
