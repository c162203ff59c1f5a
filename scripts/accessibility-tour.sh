#!/usr/bin/env bash
# Reads the desktop application as a screen reader does: over the accessibility bus (AT-SPI) of a
# virtual display. A crawl of a small loopback site is started through the menus, then the status
# fields, the search, the list's cells and the overview's charts are read back and checked.
#   scripts/accessibility-tour.sh [build folder]      (default: build)
# Prints each reading; ends with status 1 when one differs from what the window should say.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -x "$build/bin/tallyvane" ] || { echo "build first: scripts/build.sh" >&2; exit 1; }
scripts/install-deps.sh a11y

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/site/folder" "$work/home"
echo "a" > "$work/site/a.html"
echo "b" > "$work/site/b.html"
port=$((20000 + RANDOM % 20000))
/usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" > /dev/null 2>&1 &

export TALLYVANE_PROGRAM="$PWD/$build/bin/tallyvane" TOUR_BASE="http://127.0.0.1:$port" TOUR_HOME="$work/home"
xvfb-run --auto-servernum --server-args="-screen 0 1600x1000x24" \
  dbus-run-session -- /usr/bin/python3 scripts/accessibility_tour.py 2> >(grep -v -e '^dbus-daemon' -e 'fd limit' >&2)
