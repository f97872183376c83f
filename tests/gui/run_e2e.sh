#!/bin/sh
# Runs the end-to-end window test on an X display of its own: xvfb-run when
# there is one, else a bare Xvfb. Without either the test is skipped (77).
test_binary=$1
if command -v xvfb-run >/dev/null 2>&1; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb "$test_binary"
fi
if command -v Xvfb >/dev/null 2>&1; then
  display=:$((90 + $$ % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  server=$!
  sleep 1
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$test_binary"
  status=$?
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
  exit $status
fi
echo "SKIP: neither xvfb-run nor Xvfb is installed; the end-to-end window test needs an X display"
exit 77
