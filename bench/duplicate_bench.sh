#!/usr/bin/env bash
# What duplicate lines cost a crawl: URLS mixed URLs alone, beside the same list followed by
# DUPLICATES lines drawn from it (each is looked up in the store and skipped, never requested).
#   bench/duplicate_bench.sh [build folder]      (default: build; URLS=1200000, DUPLICATES=1000000,
#                                                 ROUNDS=3, THREADS=50)
# Prints the medians of ROUNDS interleaved rounds and their ratio, paired round by round; the goal
# is at most 1.10x.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/local_site.sh

urls=${URLS:-1200000}
duplicates=${DUPLICATES:-1000000}
rounds=${ROUNDS:-3}
threads=${THREADS:-50}
mixed_list "$urls" "$work/unique.txt"
cp "$work/unique.txt" "$work/doubled.txt"
shuf -n "$duplicates" --random-source=<(yes) "$work/unique.txt" >> "$work/doubled.txt"

echo "$urls URLs, then $duplicates duplicate lines; $threads threads; $rounds interleaved rounds."
for _ in $(seq "$rounds"); do
  for list in unique doubled; do
    measure "$work/$list.runs" "$cli" --settings "$work/settings.prefs" check -q -t "$threads" "$work/$list.txt"
  done
done
printf '%-8s %10s %10s\n' list seconds "CPU s"
for list in unique doubled; do
  printf '%-8s %10.2f %10.2f\n' "$list" "$(median "$work/$list.runs" 1)" "$(median "$work/$list.runs" 2)"
done
paste "$work/unique.runs" "$work/doubled.runs" | awk '{ printf "%.3f\n", $4 / $1 }' > "$work/ratios"
printf 'With the duplicates: %.3fx the time (rounds: %s; goal <= 1.10)\n' "$(median "$work/ratios" 1)" \
  "$(paste -sd' ' "$work/ratios")"
