#!/bin/sh
# Runs a window program on a Wayland display of its own: weston's headless
# backend in a private runtime folder, the program on Qt's wayland platform.
# Both end with the program. Without weston or Qt's Wayland plugin the
# program is not run (status 77, a skipped test).
test_binary=$1
if ! command -v weston >/dev/null 2>&1 || ! ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1; then
  echo "SKIP: the Wayland test needs weston and qt6-wayland (scripts/setup installs them)"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnvik-wayland.XXXXXX") || exit 1
chmod 700 "$work"
compositor=""
cleanup() {
  [ -n "$compositor" ] && kill "$compositor" 2>/dev/null && wait "$compositor" 2>/dev/null
  [ -n "$TARNVIK_KEEP_WESTON_LOG" ] && cp "$work/weston.log" "$TARNVIK_KEEP_WESTON_LOG"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

# The display by its full path: the tests give each program a runtime folder
# of its own.
XDG_RUNTIME_DIR=$work weston --no-config --backend=headless-backend.so --socket=tarnvik-wayland \
  --idle-time=0 --width=1024 --height=768 >"$work/weston.log" 2>&1 &
compositor=$!
WAYLAND_DISPLAY=$work/tarnvik-wayland
export WAYLAND_DISPLAY
unset DISPLAY
tries=0
while [ ! -S "$WAYLAND_DISPLAY" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 "$compositor" 2>/dev/null; then
    echo "run_with_weston: weston did not start" >&2
    cat "$work/weston.log" >&2
    exit 1
  fi
  sleep 0.1
done

shift
# Widgets draw into shared memory; without the EGL buffer integration no GPU
# driver is loaded (and unloaded with memory the leak checker cannot name).
QT_QPA_PLATFORM=wayland QT_WAYLAND_CLIENT_BUFFER_INTEGRATION=none "$test_binary" "$@"
