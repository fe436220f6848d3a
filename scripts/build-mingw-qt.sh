#!/usr/bin/env bash
# Builds a static, release, qtbase-only Qt 6 for 64-bit Windows (MinGW-w64,
# -posix) from Debian's qt6-base source package, trimmed to what Tarvel uses
# (Core, Gui, Widgets, Test; no network, SQL, XML, printing, OpenGL, D-Bus and
# none of the widgets, dialogs and text formats it never shows), for the
# Windows build of the window program and its tests.
#
# The build is kept outside the clone, in
# ${XDG_CACHE_HOME:-~/.cache}/tarvel/mingw-qt/<key>, and reused while its key
# holds: Debian's version of the source, the compiler's version, and a hash of
# the configure options and the patch below. "current" beside it leads to the
# build in use; the toolchain file finds it through TARVEL_MINGW_QT.
#
# One change to Qt's source, visible here: with direct2d off, Qt 6.4.2 still
# constructs its DirectWrite font database, whose sources it builds only with
# direct2d; the guard in qwindowsintegration.cpp must require direct2d too.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install-deps.sh g++-mingw-w64-x86-64-posix qt6-base-dev-tools dpkg-dev perl python3
start=$(date +%s)

options=(-release -static -static-runtime -qt-host-path /usr -nomake examples -nomake tests
  -no-opengl -no-dbus -no-vulkan -no-feature-sql -no-feature-network -no-feature-xml
  -no-feature-concurrent -no-feature-printsupport -no-feature-tabletevent -no-feature-direct2d
  -qt-zlib -qt-libpng -no-libjpeg -no-gif -qt-pcre -qt-freetype -qt-harfbuzz
  -no-feature-pdf -no-feature-textodfwriter -no-feature-textmarkdownreader
  -no-feature-textmarkdownwriter -no-feature-movie -no-feature-calendarwidget
  -no-feature-datetimeedit -no-feature-lcdnumber -no-feature-dial -no-feature-mdiarea
  -no-feature-undocommand -no-feature-undostack -no-feature-undogroup -no-feature-undoview
  -no-feature-colordialog -no-feature-fontdialog -no-feature-wizard -no-feature-systemtrayicon
  -no-feature-sessionmanager)
patch_from='^#if QT_CONFIG(directwrite3)$'
patch_to='#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)'

version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
compiler=$(x86_64-w64-mingw32-g++-posix -dumpfullversion)
recipe=$(printf '%s\n' "${options[@]}" "$patch_from" "$patch_to" | sha256sum | cut -c1-16)
key="qt6-base $version; x86_64-w64-mingw32-g++-posix $compiler; options and patch $recipe"
cache="${XDG_CACHE_HOME:-$HOME/.cache}/tarvel/mingw-qt"
install="$cache/$(printf '%s' "$key" | sha256sum | cut -c1-16)"
if [ -f "$install/tarvel-build-key" ] && [ "$(cat "$install/tarvel-build-key")" = "$key" ]; then
  ln -sfn "$install" "$cache/current"
  echo "Qt for MinGW: reusing $install ($key)"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Fetching Qt's source needs a deb-src entry; run this as root once." >&2
  exit 1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvel-mingw-qt.XXXXXX")
source_list=/etc/apt/sources.list.d/tarvel-qt-src.sources
trap 'rm -f "$source_list"; rm -rf "$work"' EXIT
# A deb-src entry for the same suite, only while the source is fetched.
printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
  'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$source_list"
apt-get update -qq
(cd "$work" && apt-get source -qq "qt6-base=$version" >/dev/null 2>&1)
rm -f "$source_list"
apt-get update -qq
source=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -1)

integration="$source/src/plugins/platforms/windows/qwindowsintegration.cpp"
grep -q "$patch_from" "$integration"
sed -i "s/$patch_from/$patch_to/" "$integration"
echo "patched: $(grep -c 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$integration") guard(s) in $integration"

rm -rf "$install" && mkdir -p "$work/build"
cd "$work/build"
"$source/configure" -prefix "$install" "${options[@]}" \
  -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTARVEL_MINGW_ARCH=x86_64 \
  -DTARVEL_MINGW_QT="$install" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1 ||
  { tail -40 "$work/configure.log"; exit 1; }
cmake --build . --parallel >"$work/build.log" 2>&1 || { grep -E 'error|Error' "$work/build.log" | head -20; exit 1; }
cmake --install . >/dev/null
echo "$key" >"$install/tarvel-build-key"
ln -sfn "$install" "$cache/current"
echo "Qt for MinGW built in $(( ($(date +%s) - start) / 60 )) min $(( ($(date +%s) - start) % 60 )) s: $install"
