#!/usr/bin/env bash
# Builds the Debian packages tallyvane-cli and tallyvane into build/packages/, then checks them
# with lintian and their desktop entry and AppStream metainfo with desktop-file-validate and
# appstreamcli. Fails on any error those report.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
# Built with the flags a Debian build uses, hardening included (fortified functions, read-only
# relocations bound at start). They stay in build/'s cache for the builds after this one.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
scripts/build.sh
rm -f build/packages/*.deb
(cd build && cpack)

packages=(build/packages/tallyvane-cli_*.deb build/packages/tallyvane_*.deb)
for package in "${packages[@]}"; do
  echo "== $package"
  dpkg-deb --field "$package" Package Version Depends
done
echo "== lintian"
lintian --display-info --fail-on error "${packages[@]}"
echo "== desktop-file-validate, appstreamcli"
desktop-file-validate packaging/*.desktop
appstreamcli validate --no-net packaging/*.metainfo.xml
