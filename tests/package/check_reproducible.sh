#!/usr/bin/env bash
# Builds the package a second time in its own folder, configured and built
# under umask 0002 (or 0022 when the first build ran under 0002), and
# compares it byte for byte with the first: a package must not carry the
# builder's folder, umask or clock. diffoscope shows what differs.
#   check_reproducible.sh FIRST.deb FOLDER   (SOURCE_DATE_EPOCH set)
set -euo pipefail
first=$1
folder=$2
cd "$(dirname "$0")/../.."
: "${SOURCE_DATE_EPOCH:?the time stamp both builds share}"

other=0002
[ "$(umask)" != 0002 ] || other=0022
second=$(
  umask $other
  cmake --preset release -B "$folder" >/dev/null
  cmake --build "$folder" -j "$(nproc)" | { grep -v '^\[[0-9]*/[0-9]*\] ' || [ $? -eq 1 ]; } >&2
  rm -f "$folder"/tarnvik_*.deb
  # cpack packs as scripts/package does, under 0022 (the ar container's
  # modes); the files inside must come out the same all the same.
  (cd "$folder" && umask 0022 && cpack -G DEB >/dev/null)
  ls "$folder"/tarnvik_*.deb
)
if cmp -s "$first" "$second"; then
  echo "package reproducible: $(basename "$first") (second build under umask $other in $folder)"
  exit 0
fi
echo "FAIL: $first and $second (umask $other) differ:"
# The first screens of the report: a differing binary alone runs to
# thousands of lines.
diffoscope --text - "$first" "$second" | head -n 300 || true
exit 1
