#!/usr/bin/env bash
# Peak resident memory of low-memory checks of 100,000 and 1,000,000 URLs against a local nginx:
# it must stay flat in the number of URLs (each URL is written to the report and forgotten).
#   bench/low_memory_bench.sh [build folder]      (default: build; ROUNDS=n for medians of n runs)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/local_site.sh

rounds=${ROUNDS:-1}
threads=${THREADS:-50}
echo "Low-memory check, $threads threads, standard report; medians of $rounds run(s) each."
printf '%10s %10s %10s %14s %14s\n' URLs seconds "URLs/s" "peak RSS" "report lines"
peaks=()
for urls in 100000 1000000; do
  mixed_list "$urls" "$work/list.txt"
  rm -f "$work/runs"
  for _ in $(seq "$rounds"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$cli" --settings "$work/settings.prefs" check -q -t "$threads" \
      --low-memory --report "standard=$work/report.csv" "$work/list.txt" > "$work/out" 2> "$work/err" || {
      echo "failed" >&2; tail -5 "$work/err" >&2; exit 1; }
    cat "$work/time" >> "$work/runs"
  done
  seconds=$(sort -g -k1 "$work/runs" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  peak_kib=$(sort -g -k2 "$work/runs" | awk '{ v[NR] = $2 } END { print v[int((NR + 1) / 2)] }')
  peaks+=("$peak_kib")
  printf '%10d %10.1f %10.0f %10.1f MiB %14d\n' "$urls" "$seconds" "$(echo "$urls / $seconds" | bc -l)" \
    "$(echo "$peak_kib / 1024" | bc -l)" "$(wc -l < "$work/report.csv")"
done
printf 'Peak RSS of 1,000,000 URLs over 100,000: %+.1f %%\n' "$(echo "100 * (${peaks[1]} - ${peaks[0]}) / ${peaks[0]}" | bc -l)"
