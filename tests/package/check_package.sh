#!/usr/bin/env bash
# Checks a built tarnvik .deb as a user would get it: unpacked into a scratch
# root, every program answers --version from there, the expected files are
# in it, its desktop entry and AppStream metainfo validate, the control
# data names the dependencies and the licence, and lintian finds no error
# and no warning.
set -euo pipefail
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

dpkg-deb -x "$deb" "$root"

for program in tarnvik tarnvik-cli tarnbox-sim; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version 2>&1) ||
    fail "$program --version exited with $?"
  case $out in
    "$program (Tarnvik Ver."*) ;;
    *) fail "$program --version printed '$out'" ;;
  esac
done

for file in usr/bin/tarnvik usr/bin/tarnvik-cli usr/bin/tarnbox-sim \
  usr/share/applications/tarnvik.desktop usr/share/icons/hicolor/scalable/apps/tarnvik.svg \
  usr/share/metainfo/org.tarnvik.Tarnvik.metainfo.xml \
  usr/share/man/man1/tarnvik.1.gz usr/share/man/man1/tarnvik-cli.1.gz usr/share/man/man1/tarnbox-sim.1.gz \
  usr/share/bash-completion/completions/tarnvik-cli \
  usr/share/doc/tarnvik/copyright usr/share/doc/tarnvik/changelog.gz \
  usr/share/doc/tarnvik/examples/70-tarnbox.rules \
  usr/share/doc/tarnvik/examples/firmware.asm usr/share/doc/tarnvik/examples/firmware.hex; do
  [ -f "$root/$file" ] || fail "missing /$file"
done
# Nothing of the developer's build: no tests, benchmarks or static libraries.
extra=$(cd "$root" && find . -type f | grep -E 'test|bench|\.a$|tarnvik-grab' || true)
[ -z "$extra" ] || fail "unexpected files: $extra"

desktop-file-validate "$root/usr/share/applications/tarnvik.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.tarnvik.Tarnvik.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"
grep -q "GPL-3.0-or-later" "$root/usr/share/doc/tarnvik/copyright" || fail "copyright names no licence"

depends=$(dpkg-deb -f "$deb" Depends)
case $depends in *libqt6widgets6*) ;; *) fail "Depends lacks Qt: '$depends'" ;; esac
recommends=$(dpkg-deb -f "$deb" Recommends)
for p in gputils-common bash-completion; do
  case $recommends in *"$p"*) ;; *) fail "Recommends lacks $p: '$recommends'" ;; esac
done

# Lintian's errors and warnings fail the check, and of its notes (I:) the
# missing hardening of a program (the release preset's flags give it).
status=0
report=$(lintian --display-info --tag-display-limit 0 "$deb" 2>&1) || status=$?
# Status 1 only says tags were found; 2 and more: lintian itself failed.
[ $status -le 1 ] || fail "lintian could not check the package (status $status): $report"
tags=$(grep -E '^[EW]: |^I: [^ ]+ hardening-' <<<"$report" || true)
[ -z "$tags" ] || fail "lintian:
$tags"

[ $failed -eq 0 ] && echo "package OK: $(basename "$deb")"
exit $failed
