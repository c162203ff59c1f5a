#!/usr/bin/env bash
# What checkpoints cost a long run: the same list against the local nginx, saved with checkpoints
# off and with one every MINUTES, in interleaved rounds. Each run's time includes its final save,
# the same for both. A run shorter than MINUTES writes no checkpoint: where 1,000,000 URLs take
# less than a minute, a shorter interval shows the cost (of more checkpoints than a minute gives).
#   bench/checkpoint_bench.sh [build folder]      (URLS=1000000, MINUTES=1, ROUNDS=3, THREADS=50)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/local_site.sh

urls=${URLS:-1000000}
rounds=${ROUNDS:-3}
threads=${THREADS:-50}
interval=${MINUTES:-1}
mixed_list "$urls" "$work/list.txt"
echo "$urls URLs, $threads threads, --save; medians of $rounds interleaved rounds."
for _ in $(seq "$rounds"); do
  for minutes in 0 "$interval"; do
    rm -f "$work/run.tvl"
    measure "$work/every-$minutes.runs" "$cli" --settings "$work/settings.prefs" check -q -t "$threads" \
      --save "$work/run.tvl" --checkpoint "$minutes" "$work/list.txt"
  done
done
printf '%-22s %10s %12s %12s %12s\n' checkpoints seconds "URLs/s" "spread (s)" "CPU s"
for minutes in 0 "$interval"; do
  runs="$work/every-$minutes.runs"
  label=$([ "$minutes" = 0 ] && echo none || echo "every $minutes min")
  printf '%-22s %10.1f %12.0f %12.1f %12.1f\n' "$label" "$(median "$runs" 1)" "$(echo "$urls / $(median "$runs" 1)" | bc -l)" \
    "$(echo "$(sort -g "$runs" | tail -1 | cut -d' ' -f1) - $(sort -g "$runs" | head -1 | cut -d' ' -f1)" | bc -l)" \
    "$(median "$runs" 2)"
done
seconds=$(median "$work/every-$interval.runs" 1)
printf 'URLs/s with a checkpoint every %s min (%d in a run): %.3fx those without (goal >= 0.95)\n' "$interval" \
  "$(echo "$seconds / ($interval * 60)" | bc)" "$(ratio "$(median "$work/every-0.runs" 1)" "$seconds")"
echo "results file $(du -m "$work/run.tvl" | cut -f1) MiB, $(nproc) cores"
