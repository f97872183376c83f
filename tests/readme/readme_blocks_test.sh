#!/usr/bin/env bash
# Runs every ```sh block of README.md as pasted, one after the other, in a
# scratch folder: PATH leads to the built programs, firmware.hex (the example
# program) is copied in as the README says, and tarnbox-sim boards stand
# behind COM3 (PIC16F877A) and COM5 (PIC18F4550) through the settings file
# in the scratch XDG_CONFIG_HOME. What would change the machine is checked
# instead of run, by stand-ins first on PATH: sudo (the packages must be
# exactly those scripts/setup installs, the package file must be this
# version's, the group must exist, the copied file must be one the package
# ships), cmake's preset and install forms (the preset must exist) and
# scripts/demo and scripts/test (they must be there and parse). It also checks
# that every package scripts/tools names is one scripts/setup installs.
set -euo pipefail
src=$1
build=$2
real_cmake=$(command -v cmake)
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnvik-readme.XXXXXX")
# Every board a block or this test detached leaves its pid file in work.
cleanup() {
  local f
  for f in $(find "$work" -name '*.pid' 2>/dev/null); do
    kill "$(cat "$f")" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

mkdir -p "$work/bin" "$work/run/scripts" "$work/home" "$work/config/tarnvik" "$work/boards"
export HOME=$work/home XDG_CONFIG_HOME=$work/config USER=${USER:-$(id -un)}
export PATH="$work/bin:$build/src/cli:$build/src/sim:$PATH"
export TARNVIK_README_SOURCE=$src TARNVIK_README_CMAKE=$real_cmake
cp "$build/examples/firmware.hex" "$work/run/"

for board in "COM3 PIC16F877A" "COM5 PIC18F4550"; do
  set -- $board
  tarnbox-sim --chip "$2" --link "$work/boards/$1" --pid-file "$work/boards/$1.pid" --detach >/dev/null
done
{
  echo "[ports]"
  for n in 1 2 3 4 5 6 7 8 9 10; do
    path=""
    [ -e "$work/boards/COM$n" ] && path=$work/boards/COM$n
    echo "com$n=$path"
  done
} >"$work/config/tarnvik/tarnvik.ini"

# The stand-ins.
cat >"$work/bin/sudo" <<'STANDIN'
#!/usr/bin/env bash
set -u
src=$TARNVIK_README_SOURCE
no() { echo "sudo stand-in: $*" >&2; exit 1; }
setup_packages() {
  (eval "$(sed -n '/^packages=(/,/^)/p' "$src/scripts/setup")"; printf '%s\n' "${packages[@]}")
}
case "${1:-}" in
apt-get)
  [ "${2:-}" = install ] || no "apt-get $2 is not install"
  shift 2
  version=$(sed -n 's/^project(Tarnvik VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
  if [ $# -eq 1 ] && [[ $1 == ./build-release/*.deb ]]; then
    # The name CPack gives the release, or the pattern that also matches a
    # build between releases.
    arch=$(dpkg --print-architecture)
    [[ $1 == "./build-release/tarnvik_${version}_$arch.deb" || $1 == "./build-release/tarnvik_*_$arch.deb" ]] ||
      no "$1 is not the package CPack names for version $version"
  else
    want=$(setup_packages | sort)
    got=$(printf '%s\n' "$@" | sort)
    [ "$want" = "$got" ] || no "the README installs other packages than scripts/setup:
$(diff <(echo "$want") <(echo "$got"))"
  fi
  ;;
usermod)
  [ "${2:-}" = -aG ] && [ "${4:-}" = "$USER" ] || no "usermod $*: expected -aG GROUP \$USER"
  getent group "$3" >/dev/null || no "there is no group $3"
  ;;
cp)
  case "${2:-}" in /usr/share/doc/tarnvik/examples/*) ;; *) no "cp $2: not a file of the package's examples" ;; esac
  name=${2##*/}
  [ -f "$src/data/$name" ] || [ -f "$src/examples/$name" ] || no "the package ships no $name"
  [ "${3:-}" = /etc/udev/rules.d/ ] || no "cp to $3, not to /etc/udev/rules.d/"
  ;;
udevadm)
  [ "$*" = "udevadm control --reload" ] || [ "$*" = "udevadm trigger" ] || no "unknown: $*"
  ;;
cmake)
  shift
  exec "$(dirname "$0")/cmake" "$@"
  ;;
*) no "a README block runs 'sudo $*', which this test does not know" ;;
esac
echo "sudo stand-in: checked, not run: $*" >&2
STANDIN
cat >"$work/bin/cmake" <<'STANDIN'
#!/usr/bin/env bash
set -u
src=$TARNVIK_README_SOURCE
no() { echo "cmake stand-in: $*" >&2; exit 1; }
presets() { (cd "$src" && "$TARNVIK_README_CMAKE" "$@" 2>/dev/null) | sed -n 's/^ *"\([^"]*\)".*/\1/p'; }
case "${1:-}" in
--preset) presets --list-presets | grep -qx "$2" || no "no configure preset $2" ;;
--build)
  [ "${2:-}" = --preset ] || no "cmake --build without a preset"
  grep -q "\"name\": \"$3\", \"configurePreset\"" "$src/CMakePresets.json" || no "no build preset $3"
  ;;
--install)
  grep -q "\"binaryDir\": \"\${sourceDir}/$2\"" "$src/CMakePresets.json" || no "no preset builds into $2"
  ;;
*) exec "$TARNVIK_README_CMAKE" "$@" ;;
esac
echo "cmake stand-in: checked, not run: cmake $*" >&2
STANDIN
for script in demo test; do
  cat >"$work/run/scripts/$script" <<STANDIN
#!/usr/bin/env bash
[ -x "$src/scripts/$script" ] && bash -n "$src/scripts/$script" && echo "scripts/$script: present, not run here" >&2
STANDIN
done
chmod +x "$work/bin/"* "$work/run/scripts/"*

# The blocks, numbered in the order of the file.
awk -v dir="$work" '
  /^```sh$/ { n++; out = sprintf("%s/block%02d.sh", dir, n); inblock = 1; next }
  /^```/ { inblock = 0; next }
  inblock { print > out }
' "$src/README.md"
blocks=$(ls "$work"/block*.sh 2>/dev/null | wc -l)
[ "$blocks" -gt 0 ] || { echo "FAIL: README.md has no sh block"; exit 1; }

failed=0
# What scripts/test checks for must come from a package scripts/setup installs.
packages=$(eval "$(sed -n '/^packages=(/,/^)/p' "$src/scripts/setup")"; printf '%s\n' "${packages[@]}")
while read -r what package; do
  case $what in '' | '#'*) continue ;; esac
  grep -qx "$package" <<<"$packages" || { echo "FAIL: scripts/tools: $what comes from $package, which scripts/setup does not install"; failed=1; }
done <"$src/scripts/tools"

for block in "$work"/block*.sh; do
  if ! out=$(cd "$work/run" && timeout 120 bash -e "$block" </dev/null 2>&1); then
    failed=1
    echo "FAIL: this README block failed:"
    sed 's/^/    /' "$block"
    echo "  its output:"
    sed 's/^/    /' <<<"$out"
  fi
done
[ $failed -eq 0 ] && echo "README.md: $blocks blocks ran as pasted"
exit $failed
