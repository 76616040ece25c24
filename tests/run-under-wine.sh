#!/bin/sh
# Runs one Windows program of the build under wine (the Windows presets' emulator), with the
# prefix and WINEDEBUG the preset sets in the environment.
#
# Two things of wine's own are kept away from the caller here:
# - Helper processes that wine starts for a program (a console host, for one) inherit its
#   output and may outlive it; writing to files instead of the caller's pipes lets ctest see
#   the test end when the program ends, not when the last helper does.
# - Now and then wine ends with status 1 at once, without the program having written a byte
#   (a test program always writes at least its first line). That start is tried again, twice at
#   most, and said on standard error.
out=$(mktemp) || exit 1
err=$(mktemp) || exit 1
trap 'rm -f "$out" "$err"' EXIT
attempt=1
while :; do
  wine "$@" >"$out" 2>"$err"
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -ge 3 ]; then
    break
  fi
  echo "run-under-wine: wine ended with status $status before $1 wrote anything; starting it again" >&2
  attempt=$((attempt + 1))
done
cat "$out"
cat "$err" >&2
exit "$status"
