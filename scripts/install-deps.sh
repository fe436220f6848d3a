#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing,
# and any further packages named on the command line.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev libexpat1-dev libsodium-dev nlohmann-json3-dev libgtest-dev libgmock-dev "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
else
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
