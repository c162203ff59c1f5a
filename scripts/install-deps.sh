#!/usr/bin/env bash
# Installs the Debian packages Tallyvane builds with, or an optional group: "bench" (what the crawl
# benchmark runs), "docs" (what the screenshot script runs), "a11y" (what the accessibility tour
# runs), "fuzz" (clang for the fuzz targets),
# "package" (what scripts/package.sh and scripts/try-packages.sh run).
# Safe to run again: it only installs what is missing. Needs root (or sudo).
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libcurl4-openssl-dev   # libcurl header; the library itself is loaded at run time
  zlib1g-dev             # gzip sitemaps; the CRC-32 the URL index is checked against
  liblz4-dev             # compressed raw header blocks in the result store
  libssl-dev             # AES for the stored proxy password; TLS of the test server
  libpcre2-dev           # regular expressions of mapping rules
  libexpat1-dev          # XML sitemaps
  liburiparser-dev       # URL normalisation and link resolution
  libidn2-dev            # international host names in their ASCII form
  libcli11-dev           # command line of tallyvane-cli
  nlohmann-json3-dev     # JSON Lines of tallyvane-cli
  qt6-base-dev           # the desktop application (Widgets) and its tests (Qt Test)
  help2man               # the manual page of tallyvane-cli, made from its --help
  qt6-charts-dev         # the desktop application's overview charts
  libqt6opengl6-dev      # Qt Charts' CMake package needs Qt OpenGL's, which the package above does not pull in
  libgtest-dev libgmock-dev
  parallel               # GNU parallel: the test of deploy/parallel's shard recipe
)

# "bench" adds what bench/crawl_bench.sh runs beside Tallyvane.
if [ "${1:-}" = bench ]; then
  packages=(nginx libnginx-mod-http-echo curl time bc)
fi
# "docs" adds what docs/screenshots.sh runs: a virtual display, a screen grabber and a headless
# browser for the HTML summary.
if [ "${1:-}" = docs ]; then
  packages=(xvfb xauth imagemagick chromium)
fi
# "a11y" adds what scripts/accessibility-tour.sh runs: a virtual display, a session bus and the
# accessibility bus with its Python client, as a screen reader reaches the window.
if [ "${1:-}" = a11y ]; then
  packages=(xvfb xauth dbus at-spi2-core python3-pyatspi)
fi
# "fuzz" adds clang and its runtime for the libFuzzer targets (-DTALLYVANE_FUZZ=ON).
if [ "${1:-}" = fuzz ]; then
  packages=(clang libclang-rt-14-dev)
fi

# "package" adds what builds, checks and tries the Debian packages.
if [ "${1:-}" = package ]; then
  packages=(dpkg-dev lintian desktop-file-utils appstream librsvg2-bin debootstrap)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
