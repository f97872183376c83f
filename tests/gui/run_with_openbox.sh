#!/bin/sh
# Runs a window program (a test, the demo's driver) on a virtual X display of
# its own with the openbox window manager on it, so windows get real frames as
# on a desktop. Xvfb picks a free display number; openbox reports that it has
# started by running the command it is given. Both end with the program.
# Without Xvfb or openbox the program is not run (status 77, a skipped test).
test_binary=$1
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v openbox >/dev/null 2>&1; then
  echo "SKIP: the window test needs Xvfb and openbox (scripts/setup installs them)"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnvik-x11.XXXXXX") || exit 1
server=""
manager=""
cleanup() {
  [ -n "$manager" ] && kill "$manager" 2>/dev/null && wait "$manager" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
server=$!
# The server writes its display number once it accepts clients.
tries=0
while [ ! -s "$work/display" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 "$server" 2>/dev/null; then
    echo "run_with_openbox: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  sleep 0.1
done
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY

openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
manager=$!
tries=0
while [ ! -e "$work/wm-ready" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 "$manager" 2>/dev/null; then
    echo "run_with_openbox: openbox did not start" >&2
    cat "$work/openbox.log" >&2
    exit 1
  fi
  sleep 0.1
done

shift
QT_QPA_PLATFORM=xcb "$test_binary" "$@"
