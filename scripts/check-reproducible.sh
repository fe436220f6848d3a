#!/usr/bin/env bash
# Builds the release packages a second time, from a copy of this commit in
# another folder, and compares them byte for byte with those in build/release
# (which scripts/package.sh made). With --windows it does the same for the
# Windows zip in build/mingw-full (which scripts/test-windows.sh made).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
windows=no
[ "${1:-}" = --windows ] && windows=yes
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
second=$(mktemp -d "${TMPDIR:-/tmp}/tarvel-second-build.XXXXXX")
trap 'rm -rf "$second"' EXIT
git worktree add --detach "$second/tarvel" HEAD >/dev/null 2>&1
trap 'git -C "$root" worktree remove --force "$second/tarvel" >/dev/null 2>&1; rm -rf "$second"' EXIT
cd "$second/tarvel"
status=0
compare() {
  local first=$1 again=$2
  if cmp -s "$first" "$again"; then
    echo "the same bytes: $(basename "$first")"
  else
    echo "differs: $(basename "$first") ($first, $again)" >&2
    status=1
  fi
}
if [ $windows = yes ]; then
  mkdir -p build && cp -r "$root/build/mingw-deps" build/
  cmake --preset mingw-full >/dev/null
  cmake --build --preset mingw-full >/dev/null
  (cd build/mingw-full && cpack -G ZIP >/dev/null)
  for first in "$root"/build/mingw-full/tarvel-*.zip; do
    compare "$first" "build/mingw-full/$(basename "$first")"
  done
else
  cmake --preset release -DTARVEL_BUILD_TESTS=OFF >/dev/null
  cmake --build --preset release >/dev/null
  (cd build/release && cpack -G "DEB;TGZ" >/dev/null)
  for first in "$root"/build/release/tarvel_*.deb "$root"/build/release/tarvel-*.tar.gz; do
    compare "$first" "build/release/$(basename "$first")"
  done
fi
exit $status
