#!/usr/bin/env bash
# The version a build gets from git (cmake/GitVersion.cmake), on scratch
# repositories: the plain version at the release's tag and without git, the
# commit's UTC date and hash between releases, and dpkg ordering them.
set -euo pipefail
src=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnvik-version.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0

cat >"$work/version.cmake" <<SCRIPT
include($src/cmake/GitVersion.cmake)
tarnvik_git_version(\${TREE} 2.53 version epoch revision dirty)
message("\${version}")
SCRIPT
version_of() { cmake -DTREE="$1" -P "$work/version.cmake" 2>&1 || echo "(cmake failed)"; }
expect() { # what, got, wanted
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: '$2', not '$3'"
    failed=1
  fi
}

mkdir "$work/tarball"
expect "a tree without git" "$(version_of "$work/tarball")" 2.53

repo=$work/repo
git init -q "$repo"
# 23:30 two hours west of UTC is the next day in UTC.
GIT_COMMITTER_DATE="2026-12-09T23:30:00-02:00" git -C "$repo" -c user.name=t -c user.email=t@t.invalid \
  commit -q --allow-empty -m one
hash=$(git -C "$repo" rev-parse --short=7 HEAD)
between=$(version_of "$repo")
expect "a commit between releases" "$between" "2.53+git20261210.$hash"
git -C "$repo" tag v2.52
expect "another release's tag" "$(version_of "$repo")" "$between"
git -C "$repo" tag v2.53
expect "the release's tag" "$(version_of "$repo")" 2.53
# Unpacked inside someone else's checkout, a tarball is still no commit.
mkdir "$repo/unpacked"
expect "a tree inside another repository" "$(version_of "$repo/unpacked")" 2.53

dpkg --compare-versions 2.53 lt "$between" || { echo "FAIL: $between sorts before 2.53"; failed=1; }
dpkg --compare-versions "$between" lt 2.54 || { echo "FAIL: $between sorts after 2.54"; failed=1; }
dpkg --compare-versions "$between" lt "2.53+git20261211.0000000" || { echo "FAIL: a later day sorts first"; failed=1; }

[ $failed -eq 0 ] && echo "version OK"
exit $failed
