# Sourced by test.sh and play.sh: starts an Xvfb display of our own on a free number, exports
# DISPLAY, and stops it when the calling script exits.
vortan_start_xvfb() {
  local display="" n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  if [ -z "$display" ]; then
    echo "vortan: no free X display number for Xvfb" >&2
    return 1
  fi
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  VORTAN_XVFB_PID=$!
  trap 'kill $VORTAN_XVFB_PID 2>/dev/null || true' EXIT
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
  done
  export DISPLAY="$display"
  export LIBGL_ALWAYS_SOFTWARE=1
}
