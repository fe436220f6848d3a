#!/usr/bin/env bash
# Builds the release packages (.deb and .tar.gz) and validates them: the
# desktop entry, the AppStream metainfo, and the .deb with lintian. Installs
# nothing but the packages it declares for the build; scripts/install-trial.sh
# tries the .deb as a user would.
#
# The packages are reproducible: the file times are those of the last commit
# (SOURCE_DATE_EPOCH), so that two builds of one commit give the same bytes
# (scripts/check-reproducible.sh compares them).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh dpkg-dev file desktop-file-utils appstream lintian
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
cmake --preset release -DTARVEL_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release
(cd build/release && rm -f tarvel_*.deb tarvel-*.tar.gz && cpack -G "DEB;TGZ" >/dev/null)
desktop-file-validate data/io.github.tarvel.tarvel.desktop data/io.github.tarvel.tarvel.station.desktop
appstreamcli validate --no-net --pedantic data/io.github.tarvel.tarvel.metainfo.xml
deb=$(ls "$PWD"/build/release/tarvel_*.deb)
# Errors fail the build; the warnings that remain are explained in docs/development.md.
lintian --fail-on error --tag-display-limit 0 "$deb"
echo "packages: $deb $(ls "$PWD"/build/release/tarvel-*.tar.gz)"
