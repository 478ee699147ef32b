#!/usr/bin/env bash
# vortan.exe's native setup dialog under Wine, answered from the keyboard: Enter plays the show
# (a one-second script), Esc quits without playing. Usage: dialog_keys.sh VORTAN_EXE WORK
set -euo pipefail
exe=$1 work=$2
fail() { echo "dialog_keys: $*" >&2; exit 1; }

answer() {  # answer KEY: runs vortan.exe, presses KEY in its dialog, echoes the exit status
  local key=$1 dir="$work/$1"
  rm -rf "$dir"; mkdir -p "$dir"
  printf '@glsetclearcolor 0|0.2|0.3|0.4\n@end 1\n' >"$dir/short.qlo"
  (cd "$dir" && exec wine "$exe" --script short.qlo >out.txt 2>&1) &
  local pid=$! window="" i
  for i in $(seq 1 120); do
    window=$(xdotool search --onlyvisible --classname vortan.exe 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.5
  done
  [ -n "$window" ] || { kill $pid 2>/dev/null || true; fail "no dialog window appeared ($key)"; }
  sleep 1
  # No window manager under Xvfb: focus the dialog directly and type through XTEST.
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key "$key"
  local status=0
  for i in $(seq 1 240); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
  if kill -0 $pid 2>/dev/null; then kill $pid; fail "vortan.exe did not end after $key"; fi
  wait $pid || status=$?
  echo $status
}

mkdir -p "$work"
status=$(answer Return)
[ "$status" = 0 ] || fail "Enter: exit status $status"
grep -q "start Mainloop" "$work/Return/_vor_.log" || fail "Enter did not start the show"
status=$(answer Escape)
[ "$status" = 0 ] || fail "Esc: exit status $status"
grep -q "start Mainloop" "$work/Escape/_vor_.log" 2>/dev/null && fail "Esc started the show"
echo "dialog_keys: Enter played the show, Esc quit"
