#!/usr/bin/env bash
# Checks a built tarnvik .deb as a user would get it: unpacked into a scratch
# root, every program answers --version from there with the package's
# version, the expected files are in it, its desktop entry and AppStream
# metainfo validate, the changelog and the release list lead with the
# version, the manual pages read without a warning in the C locale, the
# programs carry the hardening, the control data names the dependencies,
# the sources compiled in and the licences, and lintian finds no error and
# no warning.
set -euo pipefail
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)

for program in tarnvik tarnvik-cli tarnbox-sim; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version 2>&1) ||
    fail "$program --version exited with $?"
  case $out in
    "$program (Tarnvik Ver."*", $version"[,\)]*) ;;
    *) fail "$program --version printed '$out', not version $version" ;;
  esac
done

# A build between releases sorts after the release it follows.
case $version in
  *+git*)
    dpkg --compare-versions "$version" gt "${version%%+git*}" ||
      fail "$version does not sort after ${version%%+git*}"
    [[ $version =~ \+git[0-9]{8}\.[0-9a-f]{7}$ ]] || fail "version $version is not <release>+git<date>.<hash>"
    ;;
esac
entry=$(zcat "$root/usr/share/doc/tarnvik/changelog.gz" | head -n1)
[ "$entry" = "tarnvik ($version) unstable; urgency=medium" ] || fail "changelog begins '$entry', not $version"
release=$(grep -m1 -o '<release version="[^"]*"' "$root/usr/share/metainfo/org.tarnvik.Tarnvik.metainfo.xml")
[ "$release" = "<release version=\"$version\"" ] || fail "AppStream's first release is $release, not $version"

for file in usr/bin/tarnvik usr/bin/tarnvik-cli usr/bin/tarnbox-sim \
  usr/share/applications/tarnvik.desktop usr/share/icons/hicolor/scalable/apps/tarnvik.svg \
  usr/share/metainfo/org.tarnvik.Tarnvik.metainfo.xml \
  usr/share/man/man1/tarnvik.1.gz usr/share/man/man1/tarnvik-cli.1.gz usr/share/man/man1/tarnbox-sim.1.gz \
  usr/share/bash-completion/completions/tarnvik-cli \
  usr/share/doc/tarnvik/copyright usr/share/doc/tarnvik/changelog.gz usr/share/doc/tarnvik/README.md \
  usr/lib/udev/rules.d/70-tarnvik.rules \
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
# Every folder as Debian has them, whatever umask the builder had.
dirs=$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x" { print $1, $6 }')
[ -z "$dirs" ] || fail "folders not 0755: $dirs"

# The header-only libraries compiled in: their sources named with the
# versions built against, their licences in the copyright file.
static=$(dpkg-deb -f "$deb" Static-Built-Using)
for dev in libcli11-dev nlohmann-json3-dev libsimpleini-dev; do
  want=$(dpkg-query -W -f='${source:Package} (= ${source:Version})' "$dev")
  case $static in *"$want"*) ;; *) fail "Static-Built-Using lacks $want: '$static'" ;; esac
done
for licence in GPL-3.0-or-later BSD-3-Clause Expat; do
  grep -q "^License: $licence$" "$root/usr/share/doc/tarnvik/copyright" || fail "copyright lacks $licence"
done
for library in CLI11 nlohmann-json SimpleIni; do
  grep -q "$library" "$root/usr/share/doc/tarnvik/copyright" || fail "copyright does not name $library"
done

# The udev rule opens every adapter it names to the seated user, and sets
# the latency timer of FTDI's driver only.
rules=$root/usr/lib/udev/rules.d/70-tarnvik.rules
rules=$(grep -v '^#' "$rules")
bad=$(grep 'idVendor' <<<"$rules" | grep -v 'TAG+="uaccess"' || true)
[ -z "$bad" ] || fail "udev rule lines not for the seat: $bad"
[ "$(grep -c 'TAG+="uaccess"' <<<"$rules")" -ge 4 ] || fail "the udev rule names too few adapters"
bad=$(grep 'latency_timer' <<<"$rules" | grep -v 'DRIVER=="ftdi_sio"' || true)
[ -z "$bad" ] || fail "udev rule sets latency_timer beyond ftdi_sio: $bad"

# The manual pages read the same in every locale: the C locale (a new
# account without LANG) shows no warning and keeps what each Japanese text
# means; the command line's page documents every option the program has.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page") in the C locale:
$warnings"
done
cli_page=$(LC_ALL=C MANWIDTH=200 man -l "$root/usr/share/man/man1/tarnvik-cli.1.gz" 2>/dev/null)
for words in "no programmer" "permission denied" "unavailable" "--names"; do
  grep -qF -- "$words" <<<"$cli_page" || fail "tarnvik-cli.1 in the C locale lacks '$words'"
done

# The release preset's hardening, as Debian's checker sees it.
for program in "$root"/usr/bin/*; do
  report=$(hardening-check "$program") || fail "hardening-check $(basename "$program"):
$report"
done

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
