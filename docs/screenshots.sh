#!/usr/bin/env bash
# Makes the README's screenshots of the desktop window under a virtual display.
# Needs the "docs" packages (scripts/install-deps.sh docs) and a build (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
tour=build/bin/screenshot_tour
[ -x "$tour" ] || { echo "Build first: scripts/build.sh" >&2; exit 1; }
# Run on our own display number, so a desktop session is never touched.
xvfb-run --auto-servernum --server-args="-screen 0 1600x1000x24" env QT_QPA_PLATFORM=xcb "$tour" docs
# The HTML summary the tour wrote, as a browser shows it; the page itself is not kept.
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1200,1500 \
  --screenshot="$PWD/docs/html-summary.png" "file://$PWD/docs/html-summary.html" 2>/dev/null
rm -f docs/html-summary.html
