#!/bin/sh
# Runs a command (usually run_with_openbox.sh and a window test) on a desktop
# session with accessibility turned on, as under a screen reader: a private
# session bus, and on it the desktop's accessibility bus launcher saying that
# a screen reader is running. Qt's AT-SPI bridge finds the launcher there,
# connects to the accessibility bus it gives and reports itself active. The
# session bus starts nothing else, so nothing of the machine's own desktop
# answers; everything ends with the command.
# Without dbus-daemon or the launcher the command is not run (status 77, a
# skipped test).
launcher=/usr/libexec/at-spi-bus-launcher
if ! command -v dbus-daemon >/dev/null 2>&1 || [ ! -x "$launcher" ]; then
  echo "SKIP: the screen reader test needs Debian's dbus-daemon and at-spi2-core"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnvik-a11y.XXXXXX") || exit 1
bus=""
a11y=""
cleanup() {
  # The launcher ends the accessibility bus it started, and the registry on
  # it leaves with the bus.
  [ -n "$a11y" ] && kill "$a11y" 2>/dev/null && wait "$a11y" 2>/dev/null
  [ -n "$bus" ] && kill "$bus" 2>/dev/null && wait "$bus" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF

# The daemon writes its address once it accepts clients.
dbus-daemon --config-file="$work/bus.conf" --nofork --nosyslog --print-address=3 \
  3>"$work/address" >"$work/bus.log" 2>&1 &
bus=$!
tries=0
while [ ! -s "$work/address" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 "$bus" 2>/dev/null; then
    echo "run_with_a11y_bus: dbus-daemon did not start" >&2
    cat "$work/bus.log" >&2
    exit 1
  fi
  sleep 0.1
done
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/address")
export DBUS_SESSION_BUS_ADDRESS
# A bus named here directly would keep Qt 6.4 from turning the bridge on: it
# would connect to it but never report itself active.
unset AT_SPI_BUS_ADDRESS

# The launcher puts its accessibility bus under the runtime folder, keeps
# its settings in memory and, without a display, marks no X server's root
# window; so it touches nothing outside the work folder.
mkdir -m 700 "$work/run"
env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work/run" GSETTINGS_BACKEND=memory \
  "$launcher" --launch-immediately --a11y=1 --screen-reader=1 >"$work/launcher.log" 2>&1 &
a11y=$!
tries=0
while [ ! -S "$work/run/at-spi/bus" ]; do
  tries=$((tries + 1))
  if [ $tries -gt 100 ] || ! kill -0 "$a11y" 2>/dev/null; then
    echo "run_with_a11y_bus: at-spi-bus-launcher did not start its bus" >&2
    cat "$work/launcher.log" >&2
    exit 1
  fi
  sleep 0.1
done

"$@"
