#!/usr/bin/env bash
# Installs the Debian packages Tallyvane builds with (or, with "bench", those the crawl benchmark uses). Safe to run again: it only installs what
# is missing. Needs root (or sudo).
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libcurl4-openssl-dev   # libcurl header; the library itself is loaded at run time
  zlib1g-dev             # CRC-32 of the URL index
  libzstd-dev            # compressed raw header blocks in the result store
  libssl-dev             # AES for the stored proxy password
  libexpat1-dev          # XML sitemaps
  liburiparser-dev       # URL normalisation and link resolution
  libcli11-dev           # command line of tallyvane-cli
  libgtest-dev libgmock-dev
)

# "bench" adds what bench/crawl_bench.sh runs beside Tallyvane.
if [ "${1:-}" = bench ]; then
  packages=(nginx libnginx-mod-http-echo curl time bc)
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
