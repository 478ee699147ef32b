#!/usr/bin/env bash
# CTest's way into Wine: runs a Windows test program with its output going through a file, so no
# Wine service started meanwhile can keep CTest's pipe open, and stops a run that hangs (Wine
# now and then waits for good on a service starting beside it) to try it once more.
# Usage: wine_run.sh PROGRAM ARGS...
log=$(mktemp)
trap 'rm -f "$log"' EXIT
limit=${VORTAN_WINE_LIMIT:-240}
for attempt in 1 2; do
  timeout -k 10 "$limit" wine "$@" >"$log" 2>&1 </dev/null
  status=$?
  cat "$log"
  case $status in
    124|137) echo "wine_run: $(basename "$1") did not end in $limit s (attempt $attempt)" >&2 ;;
    *) exit $status ;;
  esac
done
exit $status
