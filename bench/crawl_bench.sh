#!/usr/bin/env bash
# Crawl speed beside two ceilings, on the same lists, at the same concurrency, against a local
# nginx: bench/bare_client (one libcurl handle per thread looping curl_easy_perform with HEAD,
# nothing else) and curl itself. Then the fast list crawled into a store already holding
# 5,000,000 results, beside the same crawl into an empty store.
#   bench/crawl_bench.sh [build folder]      (default: build; ROUNDS=5, PRELOAD=5000000)
# Prints, per run: URLs per second, CPU seconds per 10,000 URLs, peak resident memory, and
# Tallyvane's ratios to the bare client and to curl; for the slow list the share of the limit
# N / 50 ms. Every figure is the median of ROUNDS interleaved rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/local_site.sh
bare="$build/bin/bare_client"
preloaded="$build/bin/preloaded_crawl"

mixed_list 100000 "$work/fast.txt"
awk -v base="$base" 'BEGIN { for (i = 0; i < 20000; i++) print base "/slow/" i }' > "$work/slow.txt"
for list in fast slow; do sed 's/.*/url = "&"/' "$work/$list.txt" > "$work/$list.curl"; done

rounds=${ROUNDS:-5}
echo "Medians of $rounds interleaved rounds (curl, bare client, Tallyvane in each round)."
printf '%-5s %-4s %-10s %12s %16s %12s\n' list N client "URLs/s" "CPU s/10k URLs" "peak RSS"
for list in fast slow; do
  urls=$(wc -l < "$work/$list.txt")
  for n in 50 200; do
    rm -f "$work"/*.runs
    for _ in $(seq "$rounds"); do
      measure "$work/curl.runs" curl --parallel --parallel-max "$n" --parallel-immediate -s -I -L -K "$work/$list.curl"
      measure "$work/bare.runs" "$bare" "$n" "$work/$list.txt"
      measure "$work/tv.runs" "$cli" --settings "$work/settings.prefs" check -q --stats -t "$n" "$work/$list.txt"
    done
    store_bytes=$(sed -n 's/^Result store: \([0-9]*\) bytes.*/\1/p' "$work/err")
    declare -A rate cpu
    for client in curl bare tv; do
      rate[$client]=$(echo "$urls / $(median "$work/$client.runs" 1)" | bc -l)
      cpu[$client]=$(echo "$(median "$work/$client.runs" 2) * 10000 / $urls" | bc -l)
      name=$client; [ "$client" = tv ] && name=tallyvane
      printf '%-5s %-4s %-10s %12.0f %16.3f %9.1f MiB\n' "$list" "$n" "$name" "${rate[$client]}" "${cpu[$client]}" \
        "$(echo "$(median "$work/$client.runs" 3) / 1024" | bc -l)"
    done
    peak_kib=$(median "$work/tv.runs" 3)
    printf '%-5s %-4s Tallyvane: %.2fx the bare client'"'"'s URLs/s (goal >= 0.95), %.2fx its CPU per URL (goal <= 1.1);' \
      "$list" "$n" "$(ratio "${rate[tv]}" "${rate[bare]}")" "$(ratio "${cpu[tv]}" "${cpu[bare]}")"
    printf ' %.2fx curl'"'"'s URLs/s, %.2fx its CPU per URL; store %.1f MiB, peak RSS above it %.1f MiB' \
      "$(ratio "${rate[tv]}" "${rate[curl]}")" "$(ratio "${cpu[tv]}" "${cpu[curl]}")" \
      "$(echo "$store_bytes / 1048576" | bc -l)" "$(echo "($peak_kib * 1024 - $store_bytes) / 1048576" | bc -l)"
    if [ "$list" = slow ]; then
      printf '; %.1f%% of the limit N / 50 ms' "$(echo "100 * ${rate[tv]} / ($n / 0.05)" | bc -l)"
    fi
    printf '\n'
  done
done

preload=${PRELOAD:-5000000}
echo
echo "The fast list at N = 50 into an empty store and into one holding $preload results (crawl only, medians of $rounds)."
rm -f "$work"/*.runs
for _ in $(seq "$rounds"); do
  for records in 0 "$preload"; do
    "$preloaded" --preload "$records" --threads 50 "$work/fast.txt" 2> "$work/err" |
      sed -n 's/.*: \([0-9.]*\) s wall, \([0-9.]*\) s CPU/\1 \2/p' >> "$work/preload-$records.runs"
  done
done
urls=$(wc -l < "$work/fast.txt")
for records in 0 "$preload"; do
  printf 'store holding %-8s %10.0f URLs/s %12.3f CPU s/10k URLs\n' "$records" \
    "$(echo "$urls / $(median "$work/preload-$records.runs" 1)" | bc -l)" \
    "$(echo "$(median "$work/preload-$records.runs" 2) * 10000 / $urls" | bc -l)"
done
printf 'URLs/s with %s results stored: %.2fx the empty store'"'"'s (goal >= 0.90)\n' "$preload" \
  "$(ratio "$(median "$work/preload-0.runs" 1)" "$(median "$work/preload-$preload.runs" 1)")"
echo "nginx $(nginx -v 2>&1 | sed 's/.*\///'), curl $(curl --version | head -1 | cut -d' ' -f2), $(nproc) cores"
