#!/usr/bin/env bash
# Tries the Windows installer under Wine, in a Wine prefix of its own below
# build/: a silent install into the user's programs folder (Start-menu entry
# and uninstall entry included), Tarvel.exe started from there until its main
# window shows (under an Xvfb of its own), its station window on a port that
# is not there, a project made with the installed
# tarvel-cli.exe, an upgrade over it, and a silent uninstall that removes the
# programs and keeps the operator's projects.
#
# usage: scripts/windows-installer-trial.sh SETUP.exe
set -euo pipefail
cd "$(dirname "$0")/.."
setup=$(realpath "$1")
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINEPREFIX="$PWD/build/mingw/wineprefix-installer" WINEDEBUG=-all
rm -rf "$WINEPREFIX"
# Wine's desktop keeps the display of the first program of the prefix: every
# program here runs on this Xvfb.
display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; "$wineserver" -k >/dev/null 2>&1 || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$wine64" wineboot --init >/dev/null 2>&1 || true

user=$(ls "$WINEPREFIX/drive_c/users" | grep -v '^Public$' | head -1)
folder="$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Tarvel"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvel'
"$wine64" "$setup" /S
test -f "$folder/Tarvel.exe" && test -f "$folder/tarvel-cli.exe" && test -f "$folder/Uninstall.exe"
menu="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
test -f "$menu/Tarvel.lnk" && test -f "$menu/Tarvel Station.lnk"
"$wine64" reg query "$key" /v Publisher | tr -d '\r' | grep -q "The Tarvel developers"
echo "  installed into $folder, with its Start-menu and uninstall entries"

(cd "$folder" && exec "$wine64" ./Tarvel.exe) >/dev/null 2>&1 &
timeout 60 xdotool search --sync --onlyvisible --name "Mirelo Tarvel" >/dev/null
test -d "$folder/MASTER" && test -d "$folder/PROJECTS"
"$wineserver" -k >/dev/null 2>&1 || true
echo "  Tarvel.exe showed its main window and made MASTER and PROJECTS beside itself"

# The station's window on a port that is not there: it shows, and the log
# stays unwritten (the window tests check its words).
printf 'name\nBench-1\nBench-2\n' >"$folder/queue.csv"
(cd "$folder" && exec "$wine64" ./Tarvel.exe --station queue.csv --port COM200) >/dev/null 2>&1 &
timeout 60 xdotool search --sync --onlyvisible --name "Tarvel Station - queue.csv" >/dev/null
sleep 2
test ! -s "$folder/queue.audit.jsonl"
"$wineserver" -k >/dev/null 2>&1 || true
rm -f "$folder/queue.csv" "$folder/queue.audit.jsonl"
rm -rf "$folder/PROJECTS/Bench-1" "$folder/PROJECTS/Bench-2"
echo "  Tarvel.exe --station showed the station's window on COM200 and wrote no log"

(cd "$folder" && "$wine64" ./tarvel-cli.exe new Field-1 >/dev/null)
test -f "$folder/PROJECTS/Field-1/pargen.xml"
# What the operator keeps beside the programs.
printf '[lastproj]\r\nprojectname=Field-1\r\n' >"$folder/Tarvel.ini"
printf 'the operator'"'"'s updater' >"$folder/Ser_40917_Update.exe"
printf 'the operator'"'"'s notes' >"$folder/docs/notes.txt"
kept() {
  cat "$folder/Tarvel.ini" "$folder/Ser_40917_Update.exe" "$folder/PROJECTS/Field-1/pargen.xml" \
    "$folder/docs/notes.txt"
}
before=$(kept | sha256sum)
"$wine64" "$setup" /S
[ "$(kept | sha256sum)" = "$before" ]
echo "  an upgrade over it kept the project, Tarvel.ini, the updater and docs\\notes.txt"

"$wine64" "$folder/Uninstall.exe" /S
# The uninstaller runs on from a copy of itself: wait for its work.
for _ in $(seq 60); do [ -e "$folder/Uninstall.exe" ] || break; sleep 0.5; done
for gone in Tarvel.exe tarvel-cli.exe README.md LICENSE docs/guide.md docs/images; do
  test ! -e "$folder/$gone"
done
[ "$(kept | sha256sum)" = "$before" ] && test -d "$folder/MASTER"
! "$wine64" reg query "$key" >/dev/null 2>&1
test ! -e "$menu/Tarvel.lnk" && test ! -e "$menu/Tarvel Station.lnk"
echo "  uninstalled: the programs are gone; the project, MASTER, Tarvel.ini, the updater and docs\\notes.txt stay"
