#!/usr/bin/env bash
# Builds the release packages (.deb and .tar.gz), validates the desktop entry
# and the AppStream metainfo, then, where it may (as root on a machine of its
# own, as in CI), installs the .deb with apt-get, tries it as an ordinary user
# and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream xvfb xauth
cmake --preset release -DTARVEL_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release
(cd build/release && rm -f tarvel_*.deb tarvel-*.tar.gz && cpack -G "DEB;TGZ")
desktop-file-validate data/io.github.tarvel.tarvel.desktop
appstreamcli validate --no-net --pedantic data/io.github.tarvel.tarvel.metainfo.xml
deb=$(ls "$PWD"/build/release/tarvel_*.deb)
echo "packages: $deb $(ls build/release/tarvel-*.tar.gz)"

if [ "$(id -u)" -ne 0 ] || [ "${TARVEL_PACKAGE_TRIAL:-yes}" = no ]; then
  echo "(not installing the package: that needs root on a machine of its own)"
  exit 0
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
user=tarvel-trial
id "$user" >/dev/null 2>&1 || useradd -m "$user"
home=$(getent passwd "$user" | cut -d: -f6)
trap 'userdel -r "$user" >/dev/null 2>&1 || true' EXIT
as_user() { su -s /bin/bash "$user" -c "$1"; }
as_user "tarvel-cli new Field-1"
test -d "$home/.local/share/Tarvel/PROJECTS/Field-1/bin"
test -f "$home/.local/share/Tarvel/PROJECTS/Field-1/pargen.xml"
# The window program, on an X server of its own, until its window is up.
as_user "cd && timeout 10 xvfb-run -a /usr/bin/Tarvel" || [ $? -eq 124 ]
test -d "$home/.local/share/Tarvel/MASTER"
test -f /usr/share/man/man1/tarvel-cli.1.gz || test -f /usr/share/man/man1/tarvel-cli.1
bash -c 'source /usr/share/bash-completion/completions/tarvel-cli && complete -p tarvel-cli' >/dev/null
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarvel >/dev/null
test ! -e /usr/bin/Tarvel
test -f "$home/.local/share/Tarvel/PROJECTS/Field-1/pargen.xml"
echo "package trial: installed, used as $user, removed; the user's projects stay"
