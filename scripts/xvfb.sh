# Sourced by test.sh and play.sh: starts an Xvfb display of our own on a free number, exports
# DISPLAY, and stops it when the calling script exits. An argument WxH makes the screen that size
# (a video's window must fit on it); the default is 1280x1024.
vortan_start_xvfb() {
  local display="" n screen="${1:-1280x1024}"
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  if [ -z "$display" ]; then
    echo "vortan: no free X display number for Xvfb" >&2
    return 1
  fi
  Xvfb "$display" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
  VORTAN_XVFB_PID=$!
  trap 'kill $VORTAN_XVFB_PID 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
  done
  export DISPLAY="$display"
  export LIBGL_ALWAYS_SOFTWARE=1
}
