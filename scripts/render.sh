#!/usr/bin/env bash
# Renders a show into one video on many cores or machines: the show is cut into segments of whole
# frames, each rendered by the engine's `--frames` through GNU parallel (here, or on ssh hosts),
# the segments joined by ffmpeg's concat demuxer without encoding again, and the soundtrack,
# rendered once, added. Finished segments are kept, so a stopped render goes on where it was.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
say() { echo "vortan-render: $*" >&2; }
die() { echo "vortan-render: $*" >&2; exit 1; }
usage() {
  cat <<'TEXT'
usage: scripts/render.sh SHOW OUT.mp4 [options]
SHOW is a script, or a folder holding datas/opal.qlo or opal.qlo (the show plays from the
script's folder, or from the folder above when the script lies in datas/). OUT is .mp4, .mkv
or .mov.
  --jobs N             segments rendered at once on each machine (default: one per core)
  --hosts LIST         user@host,... : render on these machines over ssh (the engine and the
                       show are sent, the segments come back); VORTAN_SSH sets the ssh command
  --segment SECONDS    length of a segment (default 10)
  --resolution WxH     the video's size (default 1920x1080)
  --fps N              frames per second (default 60)
  --samples N          anti-aliasing: 2, 4 or 8 samples a pixel
  --supersample K      anti-aliasing: draw at K times the size (1 to 4), scaled down
  --lossless           FFV1 into .mkv, lossless RGB H.264 (x264rgb) otherwise
TEXT
}

# --- The command line.
show="" out="" jobs="" hosts="" segment=10 resolution=1920x1080 fps=60 samples=0 supersample=1 lossless=0
while [ $# -gt 0 ]; do
  case "$1" in
    --help|-h) usage; exit 0 ;;
    --jobs|--hosts|--segment|--resolution|--fps|--samples|--supersample)
      [ $# -ge 2 ] || { usage >&2; die "$1 needs a value"; }
      v="$2"
      case "$1" in
        --jobs) jobs="$v" ;; --hosts) hosts="$v" ;; --segment) segment="$v" ;; --resolution) resolution="$v" ;;
        --fps) fps="$v" ;; --samples) samples="$v" ;; --supersample) supersample="$v" ;;
      esac
      shift ;;
    --lossless) lossless=1 ;;
    -*) usage >&2; echo "vortan-render: unknown option $1" >&2; exit 2 ;;
    *) if [ -z "$show" ]; then show="$1"; elif [ -z "$out" ]; then out="$1"; else usage >&2; die "one show and one video (got '$1' too)"; fi ;;
  esac
  shift
done
bad() { usage >&2; echo "vortan-render: $*" >&2; exit 2; }
[ -n "$show" ] && [ -n "$out" ] || bad "a show and a video file, please"
[ -z "$jobs" ] || [[ "$jobs" =~ ^[1-9][0-9]{0,3}$ ]] || bad "bad --jobs '$jobs' (a whole number from 1)"
[[ "$segment" =~ ^[0-9]+(\.[0-9]+)?$ ]] || bad "bad --segment '$segment' (seconds, such as 10 or 2.5)"
[[ "$resolution" =~ ^[1-9][0-9]{0,4}x[1-9][0-9]{0,4}$ ]] || bad "bad --resolution '$resolution' (WxH, such as 1920x1080)"
[[ "$fps" =~ ^[1-9][0-9]{0,2}$ ]] || bad "bad --fps '$fps' (a whole number, 1 to 999)"
[[ "$samples" =~ ^(0|2|4|8)$ ]] || bad "bad --samples '$samples' (2, 4 or 8)"
[[ "$supersample" =~ ^[1-4]$ ]] || bad "bad --supersample '$supersample' (1 to 4)"
case "$out" in
  *.mp4|*.MP4) format=mp4 ;; *.mov|*.MOV) format=mov ;; *.mkv|*.MKV) format=matroska ;;
  *) bad "the video's name must end in .mp4, .mkv or .mov (got '$out')" ;;
esac
case ",$hosts," in *,:,*) bad "--hosts takes ssh logins; without --hosts the render runs here" ;; esac
segframes=$(awk -v s="$segment" -v f="$fps" 'BEGIN { n = int(s * f + 0.5); print n }')
[ "$segframes" -ge 1 ] || bad "--segment $segment holds no frame at $fps fps"
codec=h264 acodec=aac
if [ $lossless = 1 ]; then
  codec=x264rgb
  [ $format != matroska ] || { codec=ffv1; acodec=flac; }
fi
width=${resolution%x*} height=${resolution#*x}
screen="$(( width * supersample > 1280 ? width * supersample : 1280 ))x$(( height * supersample > 1024 ? height * supersample : 1024 ))"

# --- The script, and the folder the show plays from.
if [ -d "$show" ]; then
  script="$show/datas/opal.qlo"
  [ -f "$script" ] || script="$show/opal.qlo"
  [ -f "$script" ] || die "$show holds no datas/opal.qlo nor opal.qlo: name the script"
elif [ -f "$show" ]; then
  script="$show"
else
  die "no show at '$show' (a script or a folder holding datas/opal.qlo)"
fi
. "$here/scripts/show-paths.sh"
vortan_show_paths "$script"

build="${VORTAN_BUILD_DIR:-$here/build}"
VORTAN_BUILD_DIR="$build" "$here/scripts/setup.sh" >&2
vortan="$build/vortan"
ssh_command="${VORTAN_SSH:-ssh}"

# --- The stage: what every machine renders from (the engine, the show's files, the job), beside
# the finished segments, in OUT.parts/.
out="$(realpath -m "$out")"
if [ -e "$out" ] && ! ffprobe -v error -show_entries format=format_name -of csv=p=0 "$out" >/dev/null 2>&1; then
  die "$out exists and is not a video: not replaced"
fi
mkdir -p "$(dirname "$out")"
parts="$out.parts"
mkdir -p "$parts/show"
listing=$(cd "$root" && "$vortan" --inspect --json "$script_rel") || die "cannot list the files of $script_rel"
mapfile -t loads < <(echo "$listing" | jq -r '.files[0].files[]?.name' | sort -u)
rm -rf "$parts/show.new" && mkdir -p "$parts/show.new"
for f in "$script_rel" "${loads[@]}"; do
  [ -n "$f" ] || continue
  rel="$(cd "$root" && realpath -m --relative-to=. -- "$f")"
  case "$rel" in ../*|/*) die "the script loads '$f', outside $root: the machines get the show's folder only" ;; esac
  [ -f "$root/$rel" ] || continue # --check names what is missing; the render shows what the engine does
  mkdir -p "$parts/show.new/$(dirname "$rel")"
  cp "$root/$rel" "$parts/show.new/$rel"
done
rm -rf "$parts/show" && mv "$parts/show.new" "$parts/show"
cp "$vortan" "$parts/vortan"
printf 'resolution=%s\nfps=%s\nsamples=%s\nsupersample=%s\ncodec=%s\nscript=%q\nscreen=%s\n' \
  "$resolution" "$fps" "$samples" "$supersample" "$codec" "$script_rel" "$screen" >"$parts/settings"
cat >"$parts/job.sh" <<'JOB'
#!/usr/bin/env bash
# One segment of a render, run in this folder: "job.sh SEGMENT FIRST END" renders frames FIRST to
# END-1 into seg-SEGMENT.mkv (under that name only once whole) and says "P SEGMENT FRAME" as it
# goes, then "D SEGMENT" or "F SEGMENT reason"; "job.sh info" prints what decides the pixels.
set -u
cd "$(dirname "$0")"
. ./settings
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -n $(( 99 + RANDOM % 900 )) -s "-screen 0 ${screen}x24" bash "$0" "$@"; fi
export LIBGL_ALWAYS_SOFTWARE="${LIBGL_ALWAYS_SOFTWARE:-1}"
options=(--no-dialog --resolution "$resolution" --fps "$fps" --script "$script")
[ "$samples" = 0 ] || options+=(--samples "$samples")
if [ "$1" = info ]; then cd show && exec ../vortan --gl-info "${options[@]}"; fi
seg=$1
[ "$supersample" = 1 ] || options+=(--supersample "$supersample")
rm -f "seg-$seg.tmp.mkv"
set -o pipefail
(cd show && ../vortan "${options[@]}" --video-codec "$codec" --frames "$2:$3" --video "../seg-$seg.tmp.mkv" 2>&1 >/dev/null) |
  perl -e '$| = 1; my ($seg, $log) = @ARGV; open(my $l, ">", $log) or die "$log: $!";
           $/ = "\r"; while (<STDIN>) { for (split /\n/) { s/\r//g;
             if (/^vortan: frame (\d+)/) { print "P $seg $1\n" } elsif (/\S/) { print $l "$_\n" } } }' "$seg" "seg-$seg.log"
status=$?
if [ $status = 0 ] && mv "seg-$seg.tmp.mkv" "seg-$seg.mkv"; then echo "D $seg"; exit 0; fi
echo "F $seg status $status: $(grep -v '^vortan: [0-9]* frames drawn' "seg-$seg.log" | tail -2 | tr '\n' ' ')"
rm -f "seg-$seg.tmp.mkv"
exit 1
JOB

# A render goes on only with what it began with: the same engine, show and settings.
key=$( (cd "$parts" && cat vortan settings job.sh && find show -type f -print0 | sort -z | xargs -0 cat) | sha256sum | cut -c1-16)
if [ -f "$parts/key" ] && [ "$(cat "$parts/key")" != "$key" ]; then
  say "the engine, the show or the settings changed since the last render: its segments are made again"
  rm -f "$parts"/seg-* "$parts/frames" "$parts/soundtrack.wav"
fi
echo "$key" >"$parts/key"

# --- A display here (the soundtrack, the local segments, the check).
. "$here/scripts/xvfb.sh"
vortan_start_xvfb "$screen"
remote="/tmp/vortan-render-$key"
IFS=, read -r -a host_list <<<"$hosts"
cleanup() {
  kill "$VORTAN_XVFB_PID" 2>/dev/null || true
  for h in "${host_list[@]+"${host_list[@]}"}"; do $ssh_command "$h" "rm -rf '$remote'" </dev/null >/dev/null 2>&1 || true; done
}
trap cleanup EXIT

# --- The machines must draw the same pixels: the same engine and GL renderer, the samples given.
here_info=$(bash "$parts/job.sh" info) || die "the engine cannot open a window here: $here_info"
for h in "${host_list[@]+"${host_list[@]}"}"; do
  say "sending the engine and the show to $h"
  tar -C "$parts" -cf - vortan settings job.sh show |
    $ssh_command "$h" "rm -rf '$remote' && mkdir -p '$remote' && tar -C '$remote' -xf -" ||
    die "cannot send the show to $h (over: $ssh_command)"
  info=$($ssh_command "$h" "bash '$remote/job.sh' info" </dev/null 2>&1) || die "$h cannot run the engine: $info"
  if [ "$info" != "$here_info" ]; then
    { diff <(echo "$here_info") <(echo "$info") || true; } | sed -n 's/^</  here:/p; s/^>/  '"$h"':/p' >&2
    die "refused: $h would draw other pixels than this machine (above)"
  fi
done

# --- The soundtrack, once, which also counts the show's frames (the capture ends at "@end").
most=$(( 7200 * fps ))
if [ ! -s "$parts/frames" ] || [ ! -f "$parts/soundtrack.wav" ]; then
  (cd "$parts/show" && ../vortan --no-dialog --fps "$fps" --script "$script_rel" --frames "0:$most" \
     --soundtrack ../soundtrack.wav 2>../soundtrack.log) || { cat "$parts/soundtrack.log" >&2; die "the soundtrack could not be made"; }
  frames=$(tr '\r' '\n' <"$parts/soundtrack.log" | sed -n 's/^vortan: \([0-9]*\) frames drawn.*/\1/p' | tail -1)
  [ -n "$frames" ] && [ "$frames" -gt 0 ] || die "the soundtrack run did not say how many frames the show has"
  [ "$frames" -lt "$most" ] || die "the show does not end within two hours: give it an @end line"
  echo "$frames" >"$parts/frames"
fi
total=$(cat "$parts/frames")

# --- The segments: the ones not made yet, as "SEGMENT FIRST END".
frames_of() { ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets -of csv=p=0 "$1" 2>/dev/null; }
count=$(( (total + segframes - 1) / segframes ))
todo=() done_frames=0
for (( i = 0; i < count; i++ )); do
  seg=$(printf '%05d' "$i") a=$(( i * segframes )) b=$(( (i + 1) * segframes < total ? (i + 1) * segframes : total ))
  if [ -f "$parts/seg-$seg.mkv" ] && [ "$(frames_of "$parts/seg-$seg.mkv")" = $(( b - a )) ]; then
    done_frames=$(( done_frames + b - a ))
  else
    rm -f "$parts/seg-$seg.mkv"
    todo+=("$seg $a $b")
  fi
done
where="here"
[ -z "$hosts" ] || where="on ${#host_list[@]} host(s)"
say "$total frames at $fps fps in $count segments of $segframes frames, $(( count - ${#todo[@]} )) already made; rendering $where"

# --- The render, with one progress line: frames made, segments done, speed, time left.
declare -A running=()
segments_done=$(( count - ${#todo[@]} )) failures=() start=$EPOCHREALTIME last=0 made=0
progress() {
  local now=$EPOCHREALTIME sum=0 k
  for k in "${!running[@]}"; do sum=$(( sum + running[$k] )); done
  local shown=$(( done_frames + sum ))
  awk -v n="$shown" -v t="$total" -v d="$segments_done" -v c="$count" -v m="$(( made + sum ))" -v s="$start" -v e="$now" 'BEGIN {
    rate = (e > s) ? m / (e - s) : 0; left = (rate > 0) ? (t - n) / rate : 0;
    printf "\rvortan-render: frame %d/%d (%.0f %%), segments %d/%d, %.1f fps, %d:%02d left   ", n, t, 100 * n / t, d, c, rate, left / 60, left % 60 }' >&2
}
status=0
if [ ${#todo[@]} -gt 0 ]; then
  parallel_options=(--will-cite --colsep ' ' --line-buffer --halt never)
  [ -z "$jobs" ] || parallel_options+=(--jobs "$jobs")
  if [ -n "$hosts" ]; then
    parallel_options+=(--ssh "$ssh_command" --sshlogin "$hosts" --workdir "$remote" --return 'seg-{1}.mkv' --return 'seg-{1}.log')
  fi
  seg_len() { local a b; read -r _ a b <<<"$(printf '%s\n' "${todo[@]}" | grep "^$1 ")"; echo $(( b - a )); }
  cd "$parts"
  while read -r kind seg value rest; do
    case "$kind" in
      P) running[$seg]=$value ;;
      D) unset "running[$seg]"; n=$(seg_len "$seg"); done_frames=$(( done_frames + n )); made=$(( made + n ))
         segments_done=$(( segments_done + 1 )) ;;
      F) unset "running[$seg]"; failures+=("segment $seg: $value $rest") ;;
      X) status=$seg; continue ;;
      *) continue ;;
    esac
    if (( ${EPOCHREALTIME/./} - last > 250000 )) || [ "$kind" != P ]; then progress; last=${EPOCHREALTIME/./}; fi
  done < <(printf '%s\n' "${todo[@]}" | parallel "${parallel_options[@]}" bash job.sh {1} {2} {3}; echo "X $?")
  echo >&2
fi
for f in "${failures[@]+"${failures[@]}"}"; do say "$f"; done
[ $status = 0 ] && [ ${#failures[@]} = 0 ] || die "$(( count - segments_done )) segment(s) not made; the others are kept in $parts: run again to finish"

# --- The join: the segments' pictures as they are, one after another, and the soundtrack.
list="$parts/segments.txt"
: >"$list"
for (( i = 0; i < count; i++ )); do
  seg=$(printf '%05d' "$i")
  [ -f "$parts/seg-$seg.mkv" ] || die "segment $seg is missing; run again to make it"
  echo "file 'seg-$seg.mkv'" >>"$list"
done
ffmpeg -nostdin -hide_banner -loglevel error -y -f concat -safe 0 -i "$list" -i "$parts/soundtrack.wav" \
  -map 0:v -map 1:a -c:v copy -c:a "$acodec" -f "$format" "file:$out.part" || die "ffmpeg could not join the segments"
mv "$out.part" "$out"
rm -rf "$parts"
say "wrote $out: $total frames ($(awk -v t="$total" -v f="$fps" 'BEGIN { printf "%.2f", t / f }') s) at $resolution"
