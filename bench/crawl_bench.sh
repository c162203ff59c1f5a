#!/usr/bin/env bash
# Crawl speed beside curl, on the same lists, at the same concurrency, against a local nginx.
#   bench/crawl_bench.sh [build folder]      (default: build)
# Prints, per run: URLs per second, CPU seconds per 10,000 URLs, peak resident memory,
# Tallyvane's ratio to curl, and for the slow list the share of the limit N / 50 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/local_site.sh

awk -v base="$base" 'BEGIN { for (i = 0; i < 100000; i++) { k = i % 10;
  if (k < 7) p = "/ok/"; else if (k < 9) p = "/r/"; else p = "/hdr/"; print base p i } }' > "$work/fast.txt"
awk -v base="$base" 'BEGIN { for (i = 0; i < 20000; i++) print base "/slow/" i }' > "$work/slow.txt"
for list in fast slow; do sed 's/.*/url = "&"/' "$work/$list.txt" > "$work/$list.curl"; done

# Runs a command under GNU time; appends "seconds cpu peak_kib" to the file named first.
measure() {
  local into=$1; shift
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" > "$work/out" 2> "$work/err" || {
    echo "failed: $*" >&2; tail -5 "$work/err" >&2; exit 1; }
  read -r seconds user system peak_kib < "$work/time"
  echo "$seconds $(echo "$user + $system" | bc -l) $peak_kib" >> "$into"
}

# The median of column k of a file of runs.
median() { awk -v k="$2" '{ print $k }' "$1" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

rounds=${ROUNDS:-3}
echo "Medians of $rounds interleaved runs each (this machine's speed drifts; single runs vary by 10-30 %)."
printf '%-5s %-4s %-10s %12s %16s %12s\n' list N client "URLs/s" "CPU s/10k URLs" "peak RSS"
for list in fast slow; do
  urls=$(wc -l < "$work/$list.txt")
  for n in 50 200; do
    rm -f "$work/curl.runs" "$work/tv.runs"
    for _ in $(seq "$rounds"); do
      measure "$work/curl.runs" curl --parallel --parallel-max "$n" --parallel-immediate -s -I -L -K "$work/$list.curl"
      measure "$work/tv.runs" "$cli" --settings "$work/settings.prefs" check -q --stats -t "$n" "$work/$list.txt"
    done
    store_bytes=$(sed -n 's/^Result store: \([0-9]*\) bytes.*/\1/p' "$work/err")
    curl_rate=$(echo "$urls / $(median "$work/curl.runs" 1)" | bc -l)
    curl_cpu=$(echo "$(median "$work/curl.runs" 2) * 10000 / $urls" | bc -l)
    rate=$(echo "$urls / $(median "$work/tv.runs" 1)" | bc -l)
    tv_cpu=$(echo "$(median "$work/tv.runs" 2) * 10000 / $urls" | bc -l)
    peak_kib=$(median "$work/tv.runs" 3)
    printf '%-5s %-4s %-10s %12.0f %16.3f %9.1f MiB\n' "$list" "$n" curl "$curl_rate" "$curl_cpu" \
      "$(echo "$(median "$work/curl.runs" 3) / 1024" | bc -l)"
    printf '%-5s %-4s %-10s %12.0f %16.3f %9.1f MiB   store %.1f MiB\n' "$list" "$n" tallyvane "$rate" "$tv_cpu" \
      "$(echo "$peak_kib / 1024" | bc -l)" "$(echo "$store_bytes / 1048576" | bc -l)"
    printf '%-5s %-4s ratio to curl: %.2fx URLs/s, %.2fx CPU per URL; peak RSS above store %.1f MiB' "$list" "$n" \
      "$(echo "$rate / $curl_rate" | bc -l)" "$(echo "$tv_cpu / $curl_cpu" | bc -l)" \
      "$(echo "($peak_kib * 1024 - $store_bytes) / 1048576" | bc -l)"
    if [ "$list" = slow ]; then
      printf '; %.1f%% of the limit N / 50 ms' "$(echo "100 * $rate / ($n / 0.05)" | bc -l)"
    fi
    printf '\n'
  done
done
echo "nginx $(nginx -v 2>&1 | sed 's/.*\///'), curl $(curl --version | head -1 | cut -d' ' -f2), $(nproc) cores"
