#!/usr/bin/env bash
# The Windows leg: builds the core and its tests with MinGW-w64 (64-bit, and
# 32-bit compiled only) and runs the 64-bit tests under Wine in a fresh
# prefix. A run counts only by the GoogleTest XML reports it leaves: a Wine
# that cannot start a program may exit 0 having printed nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install-deps.sh g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 dpkg-dev \
  nsis xvfb x11-utils xdotool unzip autoconf automake libtool
wine64=/usr/lib/wine/wine64

deps="$root/build/mingw-deps"

# Fetches Debian's source package $1 into the folder $2 (root only: it adds
# Debian's source list for the moment it needs it).
fetch_debian_source() {
  local package=$1 into=$2 source_list=/etc/apt/sources.list.d/tarvel-deb-src.sources
  rm -rf "$into" && mkdir -p "$into"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Building $package for MinGW needs Debian's source package; run this as root once." >&2
    exit 1
  fi
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$source_list"
  trap "rm -f '$source_list'" EXIT
  apt-get update -qq
  (cd "$into" && apt-get source -qq "$package" >/dev/null 2>&1)
  rm -f "$source_list"
  apt-get update -qq
}

# expat is not packaged for MinGW: build it from Debian's source package.
if [ ! -f "$deps/x86_64/lib/libexpat.a" ] || [ ! -f "$deps/i686/lib/libexpat.a" ]; then
  src="$deps/src"
  fetch_debian_source expat "$src"
  expat_source=$(find "$src" -maxdepth 3 -name CMakeLists.txt -path '*/expat/CMakeLists.txt' | head -1)
  for arch in x86_64 i686; do
    build="$src/build-$arch"
    cmake -S "$(dirname "$expat_source")" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTARVEL_MINGW_ARCH=$arch \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps/$arch" \
      -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
      -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF >/dev/null
    # Debian's patches test XML_DTD for 1, as its own build defines it.
    sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$build/expat_config.h"
    cmake --build "$build" --target install >/dev/null
  done
fi

# libsodium is not packaged for MinGW either: Debian's source, cross-built
# with its own autotools, static only.
if [ ! -f "$deps/x86_64/lib/libsodium.a" ] || [ ! -f "$deps/i686/lib/libsodium.a" ]; then
  src="$deps/src-sodium"
  fetch_debian_source libsodium "$src"
  sodium_source=$(find "$src" -maxdepth 2 -name configure.ac -path '*libsodium*' | head -1)
  # Debian's source carries no configure script: its build makes it.
  (cd "$(dirname "$sodium_source")" && autoreconf -fi >/dev/null 2>&1)
  for arch in x86_64 i686; do
    build="$src/build-$arch"
    mkdir -p "$build"
    (cd "$build" && "$(dirname "$sodium_source")/configure" --host=$arch-w64-mingw32 \
      CC=$arch-w64-mingw32-gcc-posix --prefix="$deps/$arch" --disable-shared --enable-static \
      --disable-dependency-tracking >/dev/null && make -j"$(nproc)" install >/dev/null)
  done
fi

# nlohmann-json is header-only: Debian's headers and CMake files serve as they are.
for arch in x86_64 i686; do
  if [ ! -f "$deps/$arch/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake" ]; then
    mkdir -p "$deps/$arch/include" "$deps/$arch/share/cmake"
    cp -r /usr/include/nlohmann "$deps/$arch/include/"
    cp -r /usr/share/cmake/nlohmann_json "$deps/$arch/share/cmake/"
  fi
done

# What the Windows programs are held against: the Linux tarvel-cli.
cmake --preset release -DTARVEL_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release --target tarvel-cli >/dev/null

cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686
cmake --preset mingw >/dev/null
cmake --build --preset mingw

export WINEPREFIX="$root/build/mingw/wineprefix" WINEDEBUG=-all
rm -rf "$WINEPREFIX"
"$wine64" wineboot --init >/dev/null 2>&1
reports="$root/build/mingw/reports"
rm -rf "$reports" && mkdir -p "$reports"
status=0
passed=0
failed=0

# Runs a Windows program under Wine, within a limit that only a hang reaches.
on_wine() {
  timeout -k 10 300 "$wine64" "$@"
}

# Ends every Windows process of the prefix: a program killed for its time
# limit may leave children that still hold its output open.
end_wine_processes() {
  /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
}

# Judges a GoogleTest program by its XML report: a Wine that cannot start a
# program may exit 0 having printed nothing. The output goes to a file, never
# a pipe, so that nothing a hung test started can keep the leg waiting.
run_gtest() {
  local folder=$1 program=$2 report="$reports/$2.xml" output="$reports/$2.txt"
  echo "== $program under Wine"
  (cd "$folder" && timeout -k 10 600 "$wine64" "./$program.exe" --gtest_output="xml:Z:$report" \
    </dev/null >"$output" 2>&1 || true)
  end_wine_processes
  tr -d '\r' <"$output" | grep -E '^\[  (FAILED|SKIPPED) |Failure' || true
  local summary
  summary=$(sed -n 's/.*<testsuites tests="\([0-9]*\)" failures="\([0-9]*\)" disabled="[0-9]*" errors="\([0-9]*\)".*/\1 \2 \3/p' "$report" 2>/dev/null)
  if [ -z "$summary" ]; then
    echo "$program left no report: it did not run or did not end; its last test:" >&2
    tr -d '\r' <"$output" | grep '^\[ RUN' | tail -1 >&2 || true
    status=1 && failed=$((failed + 1))
    return
  fi
  local tests failures errors skipped
  read -r tests failures errors <<<"$summary"
  skipped=$(grep -c 'result="skipped"' "$report" || true)
  echo "$program: $tests tests, $failures failed, $errors errors, $skipped skipped"
  passed=$((passed + tests - failures - errors - skipped))
  failed=$((failed + failures + errors))
  if [ "$tests" -eq 0 ] || [ "$failures" -ne 0 ] || [ "$errors" -ne 0 ]; then
    status=1
  fi
}

# Judges a QtTest program by its XML report, one count a test function.
# Wine does not pass QT_QPA_PLATFORM on: the platform is an argument.
run_qtest() {
  local folder=$1 program=$2 report="$reports/$2.xml"
  echo "== $program under Wine"
  (cd "$folder" && timeout -k 10 600 "$wine64" "./$program.exe" -platform offscreen \
    -o "Z:$report,xml" </dev/null >/dev/null 2>&1 || true)
  end_wine_processes
  if ! grep -q '<TestFunction' "$report" 2>/dev/null; then
    echo "$program left no report: it did not run" >&2
    status=1 && failed=$((failed + 1))
    return
  fi
  local counts
  counts=$(python3 - "$report" <<'PY'
import sys, xml.etree.ElementTree as tree
# One result a test function, or a data row of one, as QtTest counts them.
ok = bad = skipped = 0
for function in tree.parse(sys.argv[1]).getroot().iter("TestFunction"):
    if function.get("name") in ("initTestCase", "cleanupTestCase"):
        continue
    results = {}
    for incident in function.iter("Incident"):
        tag = incident.findtext("DataTag") or ""
        kind = incident.get("type")
        if kind in ("fail", "xpass") or results.get(tag) not in ("fail", "xpass"):
            results[tag] = kind
    for tag, kind in results.items():
        if kind in ("fail", "xpass"):
            bad += 1
            print(f"  FAILED {function.get('name')} {tag}", file=sys.stderr)
        elif kind == "skip":
            skipped += 1
        else:
            ok += 1
print(ok, bad, skipped)
PY
)
  local ok bad skipped
  read -r ok bad skipped <<<"$counts"
  echo "$program: $((ok + bad + skipped)) test functions and data rows, $bad failed, $skipped skipped"
  passed=$((passed + ok))
  failed=$((failed + bad))
  [ "$bad" -eq 0 ] || status=1
}

for program in core_tests launcher_tests cli_tests; do
  run_gtest build/mingw/tests "$program"
done

# tarvel-cli.exe gives the same bytes as the Linux build, or the leg fails.
echo "== tarvel-cli.exe against tarvel-cli, byte for byte"
smoke=$(mktemp -d)
steps=("new Smoke" "set Smoke mode=1 rtu.baud=19200 rtu.parity=even ascii.line=RS232 ascii.timeout=500"
       "image Smoke")
for step in "${steps[@]}"; do
  # shellcheck disable=SC2086
  on_wine build/mingw/tarvel-cli.exe --workspace "Z:$smoke/windows" $step >/dev/null
  # shellcheck disable=SC2086
  "$root/build/release/tarvel-cli" --workspace "$smoke/linux" $step >/dev/null
done
for file in pargen.xml var.xml bin/bank.bin; do
  if cmp "$smoke/windows/PROJECTS/Smoke/$file" "$smoke/linux/PROJECTS/Smoke/$file"; then
    echo "  $file: the same bytes"
  else
    status=1
  fi
done

# A station given a port that is not there (COM200) stops before the first
# converter, says so and writes no log.
echo "== tarvel-cli.exe station refuses an absent port before the first converter"
printf 'name\nBench-1\n' >"$smoke/queue.csv"
if ! on_wine build/mingw/tarvel-cli.exe --workspace "Z:$smoke/windows" station \
  "Z:$smoke/queue.csv" --port COM200 --yes </dev/null >/dev/null 2>"$smoke/station.txt" &&
  grep -q 'COM200.*no such port' "$smoke/station.txt" && [ ! -s "$smoke/queue.audit.jsonl" ]; then
  echo "  station: COM200 refused, nothing written"
  passed=$((passed + 1))
else
  echo "  station: COM200 not refused as it should be:" >&2
  tr -d '\r' <"$smoke/station.txt" >&2
  status=1 && failed=$((failed + 1))
fi

# Names outside every ANSI code page, in a folder of such names inside the
# Wine user's profile: made, set, imaged and shown, and found by Linux under
# the same UTF-8 name.
echo "== tarvel-cli.exe with names outside the code page"
wine_user=$(ls "$WINEPREFIX/drive_c/users" | grep -v '^Public$' | head -1)
unicode="$WINEPREFIX/drive_c/users/$wine_user/Zoë/Área"
name='Zürich-Ω 東京'
mkdir -p "$unicode"
cp build/mingw/tarvel-cli.exe "$unicode/"
if (cd "$unicode" && export LANG=C.UTF-8 && on_wine ./tarvel-cli.exe new "$name" &&
  on_wine ./tarvel-cli.exe set "$name" rtu.baud=19200 &&
  on_wine ./tarvel-cli.exe image "$name" && on_wine ./tarvel-cli.exe show "$name") \
  >"$smoke/unicode.txt" 2>&1 && grep -q 'rtu.baud: 19200' "$smoke/unicode.txt" &&
  [ "$(stat -c %s "$unicode/PROJECTS/$name/bin/bank.bin")" = 19 ]; then
  echo "  $name: made, set, imaged and shown in Zoë\\Área"
  passed=$((passed + 1))
else
  echo "  $name failed:" >&2
  cat "$smoke/unicode.txt" >&2
  status=1 && failed=$((failed + 1))
fi

# A log signed by the Linux build, proven by tarvel-cli.exe, and the same log
# with one byte changed refused; a key made under Wine.
echo "== tarvel-cli.exe proves a signed log, and sees a changed byte"
signed="$smoke/signed"
mkdir -p "$signed/ws/MASTER" "$signed/anchor"
printf 'name\nBench-1\n' >"$signed/queue.csv"
"$root/build/release/tarvel-cli" keygen "$signed/bench.key" 2>/dev/null
# The Linux station waits for an adapter to appear (a link to /dev/null,
# made once it waits), cannot raise its DTR and records a port error.
watched="$signed/by-id"
mkdir -p "$watched"
: >"$signed/ws/MASTER/sim40917.sim"
printf '#!/bin/sh\n' >"$signed/ws/Ser_40917_Update.exe" && chmod +x "$signed/ws/Ser_40917_Update.exe"
"$root/build/release/tarvel-cli" --workspace "$signed/ws" station "$signed/queue.csv" --wait-port \
  --watch "$watched" --yes --key "$signed/bench.key" --anchor "$signed/anchor" </dev/null \
  >/dev/null 2>"$signed/station.txt" &
linux_station=$!
for _ in $(seq 600); do
  grep -q 'Waiting for a new port' "$signed/station.txt" && break
  sleep 0.1
done
ln -s /dev/null "$watched/usb-bench-port0"
timeout 60 tail --pid="$linux_station" -f /dev/null || kill "$linux_station"
sed 's/"Bench-1"/"Bench-7"/' "$signed/queue.audit.jsonl" >"$signed/changed.jsonl"
if on_wine build/mingw/tarvel-cli.exe keygen "Z:$signed/wine.key" 2>/dev/null &&
  grep -q '^tarvel-key 1 ed25519 ' "$signed/wine.key.pub" &&
  on_wine build/mingw/tarvel-cli.exe audit "Z:$signed/queue.audit.jsonl" \
    --key "Z:$signed/bench.key.pub" --anchor "Z:$signed/anchor" >/dev/null 2>&1 &&
  ! on_wine build/mingw/tarvel-cli.exe audit "Z:$signed/changed.jsonl" \
    --key "Z:$signed/bench.key.pub" >/dev/null 2>&1; then
  echo "  keygen, audit --key of a Linux log, a changed byte refused"
  passed=$((passed + 1))
else
  echo "  signing under Wine failed" >&2
  status=1 && failed=$((failed + 1))
fi
rm -rf "$smoke" "$WINEPREFIX/drive_c/users/$wine_user/Zoë"

# The whole program, against the Qt that scripts/build-mingw-qt.sh keeps.
qt="${TARVEL_MINGW_QT:-${XDG_CACHE_HOME:-$HOME/.cache}/tarvel/mingw-qt/current}"
if [ -f "$qt/tarvel-build-key" ]; then
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
  cmake --preset mingw-full >/dev/null
  cmake --build --preset mingw-full
  (cd build/mingw-full && rm -f tarvel-*.zip tarvel-*-setup.exe && cpack -G ZIP >/dev/null)
  zip=$(ls "$root"/build/mingw-full/tarvel-*.zip)
  stage=$(mktemp -d)
  unzip -q "$zip" -d "$stage"
  find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  setup="${zip%.zip}-setup.exe"
  # What the uninstaller removes of docs: each file the installer puts
  # there, then each of its folders from the deepest, only if left empty.
  docs_uninstall=$(mktemp)
  (
    cd "$stage"
    find docs -type f | sort | while IFS= read -r file; do
      printf '  Delete "$INSTDIR\\%s"\n' "${file//\//\\}"
    done
    find docs -depth -type d | while IFS= read -r dir; do
      printf '  RMDir "$INSTDIR\\%s"\n' "${dir//\//\\}"
    done
  ) >"$docs_uninstall"
  makensis -V2 -DVERSION="$(sed -n 's/^project(Tarvel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" \
    -DSTAGE="$stage" -DOUTFILE="$setup" -DDOCS_UNINSTALL="$docs_uninstall" packaging/tarvel.nsi
  rm -rf "$stage" "$docs_uninstall"
  echo "packages: $zip $setup"
  run_gtest build/mingw-full/tests message_tests
  for program in main_window_test parameter_dialog_test new_project_test serial_wizard_test \
    station_window_test; do
    run_qtest build/mingw-full/tests "$program"
  done
  echo "== $(basename "$setup") under Wine"
  if scripts/windows-installer-trial.sh "$setup"; then
    passed=$((passed + 1))
  else
    echo "  the installer trial failed" >&2
    status=1 && failed=$((failed + 1))
  fi
else
  echo "(no Qt for MinGW: run scripts/build-mingw-qt.sh for the window program and its tests)"
fi

end_wine_processes
echo "$passed passed, $failed failed"
exit $status
