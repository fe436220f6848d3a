#!/usr/bin/env bash
# Installs the .deb that scripts/package.sh built, tries it as a new user
# would (tarvel-cli makes a project, Tarvel starts, the manual page and the
# completion are there), removes it and the user again, and checks that the
# user's projects outlived the package. Changes the system, so it runs only as
# root, refuses when a tarvel package is already installed, and removes only
# the user it made itself.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "install-trial.sh installs a package and adds a user: run it as root on a machine of its own" >&2
  exit 1
fi
if dpkg-query -W -f='${Status}' tarvel 2>/dev/null | grep -q "install ok installed"; then
  echo "a tarvel package is installed here: the trial would replace and remove it; not run" >&2
  exit 1
fi
scripts/install-deps.sh xvfb xauth
deb=$(ls "$PWD"/build/release/tarvel_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "no .deb in build/release: run scripts/package.sh first" >&2; exit 1; }

user=tarvel-trial-$$
while id "$user" >/dev/null 2>&1; do user=$user-x; done
installed=no
cleanup() {
  [ $installed = yes ] && DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarvel >/dev/null 2>&1
  userdel -r "$user" >/dev/null 2>&1 || true
}
useradd -m "$user"
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
installed=yes
home=$(getent passwd "$user" | cut -d: -f6)
as_user() { su -s /bin/bash "$user" -c "$1"; }
as_user "tarvel-cli new Field-1"
test -d "$home/.local/share/Tarvel/PROJECTS/Field-1/bin"
test -f "$home/.local/share/Tarvel/PROJECTS/Field-1/pargen.xml"
# The window program, on an X server of its own, until its window is up.
as_user "cd && timeout 10 xvfb-run -a /usr/bin/Tarvel" || [ $? -eq 124 ]
test -d "$home/.local/share/Tarvel/MASTER"
test -f /usr/share/man/man1/tarvel-cli.1.gz
test -f /usr/share/doc/tarvel/changelog.gz
bash -c 'source /usr/share/bash-completion/completions/tarvel-cli && complete -p tarvel-cli' >/dev/null
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarvel >/dev/null
installed=no
test ! -e /usr/bin/Tarvel
test -f "$home/.local/share/Tarvel/PROJECTS/Field-1/pargen.xml"
echo "install trial: installed, used as $user, removed; the user's projects stay"
