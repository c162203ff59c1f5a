# The local site both crawl benchmarks run against: nginx on 127.0.0.1:$port serving /ok/N (200),
# /r/N (301 to /ok/N), /hdr/N (200 with Link and X-Robots-Tag) and /slow/N (200 after 50 ms).
# Sourced from the project folder with the build folder as $1 (default build); sets cli, work (a
# scratch folder, removed at exit), port and base, and stops nginx at exit. Also gives the
# benchmarks their shared helpers: mixed_list, measure, median and ratio.
build=${1:-build}
cli="$build/bin/tallyvane-cli"
[ -x "$cli" ] || { echo "build first: scripts/build.sh" >&2; exit 1; }
scripts/install-deps.sh bench

work=$(mktemp -d)
port=$((20000 + RANDOM % 20000))
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/logs"
cat > "$work/nginx.conf" <<CONF
load_module /usr/lib/nginx/modules/ngx_http_echo_module.so;
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log warn;
events { worker_connections 4096; }
http {
  access_log off;
  keepalive_requests 100000000;
  keepalive_timeout 300s;
  client_body_temp_path $work/body;
  proxy_temp_path $work/proxy;
  fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi;
  scgi_temp_path $work/scgi;
  server {
    listen 127.0.0.1:$port;
    location ~ ^/ok/ { default_type text/html; return 200 "ok\n"; }
    location ~ ^/r/(\d+)$ { return 301 /ok/\$1; }
    location ~ ^/hdr/ {
      add_header Link "</ok/1>; rel=\"canonical\", </de/>; rel=\"alternate\"; hreflang=\"de\"";
      add_header X-Robots-Tag "noindex, nofollow";
      default_type text/html;
      return 200 "ok\n";
    }
    location ~ ^/slow/ { default_type text/html; echo_sleep 0.05; echo "ok"; }
  }
}
CONF
nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/ok/0" && break; sleep 0.1; done

base="http://127.0.0.1:$port"

# Writes n URLs of the site to a file: 70 % /ok/, 20 % /r/ (one redirect), 10 % /hdr/.
mixed_list() {
  awk -v base="$base" -v n="$1" 'BEGIN { for (i = 0; i < n; i++) { k = i % 10;
    if (k < 7) p = "/ok/"; else if (k < 9) p = "/r/"; else p = "/hdr/"; print base p i } }' > "$2"
}

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
ratio() { echo "$1 / $2" | bc -l; }
