#!/usr/bin/env bash
# Renders the hicolor PNG sizes of the icon from tallyvane.svg; run after changing the drawing and
# commit the PNGs with it (rsvg-convert: scripts/install-deps.sh package).
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 128 256; do
  rsvg-convert --width "$size" --height "$size" tallyvane.svg --output "tallyvane-$size.png"
done
