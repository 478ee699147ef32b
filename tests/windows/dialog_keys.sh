#!/usr/bin/env bash
# vortan.exe's native setup dialog under Wine, answered from the keyboard: Enter plays the show
# (a one-second script), Esc quits without playing; and a start from the desktop (no console to
# write to) whose script cannot be read says why in a message box. Usage: dialog_keys.sh VORTAN_EXE WORK
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

# "start" runs the program as Explorer does, without the standard handles of a console, so the
# reason cannot go to a console nobody sees: a message box titled _Vortan_ says it, Enter closes
# it, and the run fails.
dir="$work/notice"
rm -rf "$dir"; mkdir -p "$dir"
(cd "$dir" && exec wine start /wait /unix "$exe" --script missing.qlo </dev/null >/dev/null 2>&1) &
pid=$! box=""
for i in $(seq 1 120); do
  box=$(xdotool search --onlyvisible --name '^_Vortan_$' 2>/dev/null | head -1 || true)
  [ -n "$box" ] && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.5
done
[ -n "$box" ] || { kill $pid 2>/dev/null || true; fail "no message box for an unreadable script"; }
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return
for i in $(seq 1 60); do kill -0 $pid 2>/dev/null || break; sleep 0.5; done
if kill -0 $pid 2>/dev/null; then kill $pid; fail "vortan.exe did not end after its message box"; fi
status=0; wait $pid || status=$?
[ "$status" != 0 ] || fail "an unreadable script ended with status 0"
echo "dialog_keys: Enter played the show, Esc quit, an unreadable script was said in a message box (status $status)"
