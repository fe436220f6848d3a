#!/usr/bin/env bash
# Builds a static, release, qtbase-only Qt 6 for 64-bit Windows (MinGW-w64,
# -posix) from Debian's qt6-base source package, into build/mingw-qt/install,
# for the Windows build of the window program and its tests. The work is
# skipped when a build with the same key is there: Debian's version of the
# source, the compiler's version and a hash of this script.
#
# One change to Qt's source, visible here: with direct2d off, Qt 6.4.2 still
# constructs its DirectWrite font database, whose sources it builds only with
# direct2d; the guard in qwindowsintegration.cpp must require direct2d too.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install-deps.sh g++-mingw-w64-x86-64-posix qt6-base-dev-tools dpkg-dev perl python3
start=$(date +%s)
out="$root/build/mingw-qt"
install="$out/install"
version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
key="qt6-base $version; x86_64-w64-mingw32-g++-posix $compiler; script $(sha256sum "$0" | cut -c1-16)"
if [ -f "$install/tarvel-build-key" ] && [ "$(cat "$install/tarvel-build-key")" = "$key" ]; then
  echo "Qt for MinGW: a matching build is there ($key)"
  exit 0
fi
rm -rf "$out" && mkdir -p "$out/src"

if [ "$(id -u)" -ne 0 ]; then
  echo "Fetching Qt's source needs a deb-src entry; run this as root once." >&2
  exit 1
fi
# A deb-src entry for the same suite, only while the source is fetched.
source_list=/etc/apt/sources.list.d/tarvel-qt-src.sources
trap 'rm -f "$source_list"' EXIT
printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
  'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$source_list"
apt-get update -qq
(cd "$out/src" && apt-get source -qq "qt6-base=$version" >/dev/null 2>&1)
rm -f "$source_list"
apt-get update -qq
source=$(find "$out/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)

integration="$source/src/plugins/platforms/windows/qwindowsintegration.cpp"
grep -q '#if QT_CONFIG(directwrite3)$' "$integration"
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$integration"
echo "patched: $(grep -c 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$integration") guard(s) in $integration"

mkdir -p "$out/build"
cd "$out/build"
"$source/configure" -prefix "$install" -release -static -static-runtime -qt-host-path /usr \
  -nomake examples -nomake tests \
  -no-opengl -no-dbus -no-vulkan -no-feature-sql -no-feature-network -no-feature-xml \
  -no-feature-concurrent -no-feature-printsupport -no-feature-tabletevent \
  -no-feature-direct2d -qt-zlib -qt-libpng -no-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
  -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTARVEL_MINGW_ARCH=x86_64 \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$out/configure.log" 2>&1 ||
  { tail -40 "$out/configure.log"; exit 1; }
cmake --build . --parallel >"$out/build.log" 2>&1 || { grep -E 'error|Error' "$out/build.log" | head -20; exit 1; }
cmake --install . >/dev/null
echo "$key" >"$install/tarvel-build-key"
rm -rf "$out/build" "$out/src"
echo "Qt for MinGW built in $(( ($(date +%s) - start) / 60 )) min $(( ($(date +%s) - start) % 60 )) s: $install"
