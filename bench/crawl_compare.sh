#!/usr/bin/env bash
# Two builds of tallyvane-cli crawling the same list of the local nginx, in interleaved rounds, so
# a change to the crawl is judged by ratios paired round by round rather than by runs minutes
# apart on a machine whose load drifts.
#   bench/crawl_compare.sh BEFORE_BUILD AFTER_BUILD      (URLS=100000, ROUNDS=7, THREADS="50 200")
# Prints, per thread count, the medians of after/before for URLs per second and CPU per URL, with
# their lowest and highest round.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: bench/crawl_compare.sh BEFORE_BUILD AFTER_BUILD" >&2; exit 2; }
before="$1/bin/tallyvane-cli"
[ -x "$before" ] || { echo "no $before" >&2; exit 1; }
source bench/local_site.sh "$2"
after="$cli"

urls=${URLS:-100000}
rounds=${ROUNDS:-7}
mixed_list "$urls" "$work/list.txt"
echo "$urls URLs; after / before, paired by round, median [lowest, highest] of $rounds rounds."
printf '%-8s %-28s %-28s\n' threads "URLs/s" "CPU s per URL"
for n in ${THREADS:-50 200}; do
  rm -f "$work"/*.runs "$work/ratios"
  for _ in $(seq "$rounds"); do
    for build in before after; do
      measure "$work/$build.runs" "${!build}" --settings "$work/settings.prefs" check -q -t "$n" "$work/list.txt"
    done
    # Wall and CPU of this round's pair: a higher rate is a lower wall time.
    paste -d' ' <(tail -1 "$work/before.runs") <(tail -1 "$work/after.runs") |
      awk '{ print $1 / $4, $5 / $2 }' >> "$work/ratios"
  done
  summary() { sort -g -k"$1" "$work/ratios" | awk -v k="$1" '{ v[NR] = $k }
    END { printf "%.3f [%.3f, %.3f]", v[int((NR + 1) / 2)], v[1], v[NR] }'; }
  printf '%-8s %-28s %-28s\n' "$n" "$(summary 1)" "$(summary 2)"
done
