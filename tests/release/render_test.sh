#!/usr/bin/env bash
# scripts/render.sh on a small generated show: rendered in segments by two jobs, stopped and
# resumed, or through ssh to this machine (an sshd of the test's own), the joined video decodes to
# exactly the frames of one unbroken `--video --video-codec ffv1` run, with the sound of its
# frames; a host whose GL renderer differs is refused.
# Arguments: the checkout, the build folder, "local" or "ssh". Needs the test display (DISPLAY).
set -euo pipefail
src="$1" build="$2" mode="$3"
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$mode" = ssh ]; then
  [ "$(id -u)" = 0 ] || { echo "skipped: the ssh render needs root to start an sshd of its own (runs as $(id -un))"; exit 77; }
  [ -x /usr/sbin/sshd ] || { echo "skipped: no /usr/sbin/sshd (Debian package openssh-server)"; exit 77; }
fi
tmp="$(mktemp -d "${TMPDIR:-/tmp}/vortan-render-test.XXXXXX")"
sshd_pid="" holder=""
trap 'kill $sshd_pid $holder 2>/dev/null; rm -rf "$tmp"' EXIT
# A client held open: the X server resets when its last client leaves and refuses the next one.
if command -v xev >/dev/null; then
  xev -root >/dev/null 2>&1 &
  holder=$!
fi
export VORTAN_BUILD_DIR="$build" SDL_AUDIODRIVER=dummy
show="$tmp/myshow"
"$src/tests/release/make_show.sh" "$build" "$show"
# Its files, in a show where every frame differs: a picture drifting and fading in over the scene.
cat >"$show/render.qlo" <<'QLO'
@setresourcedir 0|datas/
@initsound 0|tune.wav|44100
@glloadtextureslot 0|brick.tga|0|1
@glloadtextureslot 0|maps/logo.tga|1|1
@glloadsceneslot 0|0|box.3ds
@glsetcurrentscene 0|0
@playsound 0
@glsetlayerparam 0|2|maps/logo.tga|1|0|1|1
@glsetlayerpos 0|2|1|0.4|60|240|256|256
@glsetlayerparamex 0|2|150|-20|0|0
@glsetclearcolor 1|0.2|0|0.3
@end 3
QLO
fps=10 size=160x120

# The reference: one unbroken run, lossless.
(cd "$show" && "$build/vortan" --no-dialog --resolution $size --fps $fps --script render.qlo \
   --video "$tmp/single.mkv" --video-codec ffv1 2>"$tmp/single.err") || { cat "$tmp/single.err"; fail "the single run failed"; }
pictures() { ffmpeg -nostdin -v error -i "$1" -map 0:v -fps_mode passthrough -f framemd5 -pix_fmt rgb24 - | grep -v '^#' | cut -d, -f6; }
sound() { ffmpeg -nostdin -v error -i "$1" -map 0:a -f s16le -ac 2 -ar 44100 - | md5sum; }
frames=$(pictures "$tmp/single.mkv" | wc -l)
[ "$frames" -ge 20 ] || fail "the single run made $frames frames"
[ "$(pictures "$tmp/single.mkv" | sort -u | wc -l)" -ge $(( frames - 8 )) ] || fail "the show's frames are too alike to prove an order"

# $1: a render's video. Its frames are the single run's, in order, and its sound is as long as
# they are (44100 / fps samples a frame) and the same samples.
same_as_single() {
  diff <(pictures "$tmp/single.mkv") <(pictures "$1") >/dev/null || fail "$1: the frames differ from the single run's"
  [ "$(ffmpeg -nostdin -v error -i "$1" -map 0:a -f s16le -ac 2 - | wc -c)" = $(( frames * 44100 / fps * 4 )) ] ||
    fail "$1: the sound is not $frames frames long"
  [ "$(sound "$1")" = "$(sound "$tmp/single.mkv")" ] || fail "$1: the sound differs from the single run's"
}

if [ "$mode" = local ]; then
  # Stopped once a segment is made, then run again: it keeps what was made.
  setsid "$src/scripts/render.sh" "$show/render.qlo" "$tmp/out.mkv" --jobs 2 --lossless --segment 0.4 \
    --resolution $size --fps $fps >"$tmp/first.out" 2>"$tmp/first.err" &
  render=$!
  for _ in $(seq 600); do
    compgen -G "$tmp/out.mkv.parts/seg-*[0-9].mkv" >/dev/null && break
    kill -0 $render 2>/dev/null || break
    sleep 0.1
  done
  kill -INT -- -$render 2>/dev/null || true
  wait $render && fail "the stopped render ended well" || true
  # Its jobs end on their own signal: a segment may still be finished meanwhile.
  for _ in $(seq 300); do pgrep -g $render >/dev/null || break; sleep 0.1; done
  [ ! -e "$tmp/out.mkv" ] || fail "a stopped render left a video"
  kept=$(ls "$tmp/out.mkv.parts" | grep -c '^seg-[0-9]*\.mkv$' || true)
  [ "$kept" -ge 1 ] || fail "no finished segment was kept: $(ls "$tmp/out.mkv.parts")"
  "$src/scripts/render.sh" "$show/render.qlo" "$tmp/out.mkv" --jobs 2 --lossless --segment 0.4 --resolution $size \
    --fps $fps 2>"$tmp/second.err" || { cat "$tmp/second.err"; fail "the resumed render failed"; }
  grep -q "in $(( (frames + 3) / 4 )) segments of 4 frames, $kept already made" "$tmp/second.err" ||
    fail "the resumed render did not keep the $kept segments made: $(cat "$tmp/second.err")"
  [ "$(tr '\r' '\n' <"$tmp/second.err" | grep -c '^vortan-render: frame ')" -ge 1 ] || fail "no progress line"
  [ ! -e "$tmp/out.mkv.parts" ] || fail "the segments' folder is left after the join"
  [ "$(ffprobe -v error -select_streams v -show_entries stream=codec_name,width,height -of csv=p=0 "$tmp/out.mkv")" = \
    "ffv1,160,120" ] || fail "the joined video is not FFV1 at $size"
  same_as_single "$tmp/out.mkv"
  # Lossless into .mp4: RGB H.264 at quantiser 0, the same frames.
  "$src/scripts/render.sh" "$show/render.qlo" "$tmp/out.mp4" --jobs 2 --lossless --segment 1 --resolution $size \
    --fps $fps 2>"$tmp/mp4.err" || { cat "$tmp/mp4.err"; fail "the .mp4 render failed"; }
  diff <(pictures "$tmp/single.mkv") <(pictures "$tmp/out.mp4") >/dev/null || fail "out.mp4: the frames differ from the single run's"
  # Each segment (10 frames) starts with a key frame.
  keys=$(ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 "$tmp/out.mp4" | grep -n '^K' | cut -d: -f1 | xargs)
  for k in $(seq 1 10 "$frames"); do [[ " $keys " == *" $k "* ]] || fail "out.mp4: no key frame at packet $k (only at $keys)"; done
  # Refusals: a bad option is a usage error.
  status=0
  "$src/scripts/render.sh" "$show" "$tmp/x.mp4" --samples 3 2>"$tmp/bad.err" || status=$?
  [ $status = 2 ] || fail "--samples 3 ended with status $status, not 2"
  grep -q "bad --samples '3' (2, 4 or 8)" "$tmp/bad.err" || fail "no reason for --samples 3: $(cat "$tmp/bad.err")"
  echo "render.sh: $frames frames, stopped with $kept segments made and resumed, identical to the single run"
  exit 0
fi

# --- Through ssh to 127.0.0.1: an sshd of our own on a high port, with its own host key, and
# two client keys; the second one's sessions draw with another renderer (softpipe).
mkdir -p /run/sshd "$tmp/ssh"
chmod 700 "$tmp/ssh"
ssh-keygen -q -t ed25519 -N '' -f "$tmp/ssh/host" -C host
ssh-keygen -q -t ed25519 -N '' -f "$tmp/ssh/client" -C client
ssh-keygen -q -t ed25519 -N '' -f "$tmp/ssh/other" -C other
{ cat "$tmp/ssh/client.pub"; printf 'environment="GALLIUM_DRIVER=softpipe" '; cat "$tmp/ssh/other.pub"; } >"$tmp/ssh/authorized_keys"
port=$(( 20000 + RANDOM % 20000 ))
cat >"$tmp/ssh/sshd_config" <<CONF
Port $port
ListenAddress 127.0.0.1
HostKey $tmp/ssh/host
AuthorizedKeysFile $tmp/ssh/authorized_keys
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitUserEnvironment yes
StrictModes no
UsePAM no
PidFile $tmp/ssh/sshd.pid
CONF
/usr/sbin/sshd -f "$tmp/ssh/sshd_config" -D -e 2>"$tmp/ssh/sshd.log" &
sshd_pid=$!
ssh_with() { echo "ssh -p $port -i $tmp/ssh/$1 -o IdentitiesOnly=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o BatchMode=yes -o LogLevel=ERROR"; }
for _ in $(seq 50); do $(ssh_with client) root@127.0.0.1 true 2>/dev/null && break; sleep 0.2; done
$(ssh_with client) root@127.0.0.1 true || fail "the test's sshd does not answer: $(cat "$tmp/ssh/sshd.log")"
# The remote sessions have no display: the job starts an Xvfb of its own there.
VORTAN_SSH="$(ssh_with client)" "$src/scripts/render.sh" "$show/render.qlo" "$tmp/ssh.mkv" --hosts root@127.0.0.1 \
  --jobs 2 --lossless --segment 0.5 --resolution $size --fps $fps 2>"$tmp/ssh.err" || { cat "$tmp/ssh.err"; fail "the ssh render failed"; }
grep -q "sending the engine and the show to root@127.0.0.1" "$tmp/ssh.err" || fail "nothing was sent: $(cat "$tmp/ssh.err")"
same_as_single "$tmp/ssh.mkv"
# Each segment was rendered over a session of its own (the sshd says so), not here.
[ "$(grep -c 'Accepted publickey' "$tmp/ssh/sshd.log")" -ge $(( (frames + 4) / 5 + 2 )) ] ||
  fail "fewer ssh sessions than segments: $(cat "$tmp/ssh/sshd.log")"
ls /tmp | grep -E -q '^vortan-render-[0-9a-f]{16}$' && fail "the host's folder is left after the render"
# Another renderer on the host: refused before anything is rendered.
VORTAN_SSH="$(ssh_with other)" "$src/scripts/render.sh" "$show/render.qlo" "$tmp/other.mkv" --hosts root@127.0.0.1 \
  --lossless --resolution $size --fps $fps 2>"$tmp/other.err" && fail "a host with another renderer was taken"
grep -q "refused: root@127.0.0.1 would draw other pixels" "$tmp/other.err" || fail "no refusal: $(cat "$tmp/other.err")"
grep -q "root@127.0.0.1: renderer: softpipe" "$tmp/other.err" || fail "the refusal does not name the renderers: $(cat "$tmp/other.err")"
[ ! -e "$tmp/other.mkv" ] || fail "the refused render made a video"
echo "render.sh over ssh: $frames frames identical to the single run; another renderer refused"
