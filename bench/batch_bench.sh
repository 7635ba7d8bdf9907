#!/usr/bin/env bash
# Times a batch run over N Web Vigils served by a local nginx, beside a plain
# sequential loop of the same N HTTP/1.0 requests (ab -n N -c 1), and prints the ratio
# and how many of the second run's requests nginx answered with 304.
# Usage: bench/batch_bench.sh [N] [build folder]
set -euo pipefail
N=${1:-200}
BUILD=${2:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TERVANE="$ROOT/$BUILD/tervane"
[ -x "$TERVANE" ] || { echo "build first: $TERVANE not found" >&2; exit 1; }

WORK=$(mktemp -d /tmp/tervane-batch-bench.XXXXXX)
chmod 755 "$WORK"  # nginx's workers, nobody under a run as root, read the pages
trap 'kill $(cat "$WORK/nginx.pid" 2>/dev/null) 2>/dev/null || true; rm -rf "$WORK"' EXIT
PORT=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

mkdir -p "$WORK/www" "$WORK/data/cache" "$WORK/tmp"
for i in $(seq 1 "$N"); do
  { echo "<html><head><title>Page $i</title></head><body><h1>Page $i</h1>"
    for j in $(seq 1 40); do echo "<p>Paragraph $j of page $i with some words in it.</p>"; done
    echo "</body></html>"; } > "$WORK/www/page$i.html"
done
cat > "$WORK/nginx.conf" <<CONF
worker_processes 2;
pid $WORK/nginx.pid;
error_log $WORK/error.log;
events { worker_connections 1024; }
http {
  access_log $WORK/access.log;
  client_body_temp_path $WORK/tmp; proxy_temp_path $WORK/tmp; fastcgi_temp_path $WORK/tmp;
  uwsgi_temp_path $WORK/tmp; scgi_temp_path $WORK/tmp;
  server { listen 127.0.0.1:$PORT; root $WORK/www; }
}
CONF
nginx -p "$WORK" -c "$WORK/nginx.conf"
for _ in $(seq 1 50); do (exec 3<>/dev/tcp/127.0.0.1/$PORT) 2>/dev/null && break; sleep 0.1; done

{ echo "$N"
  for i in $(seq 1 "$N"); do
    echo "|http|Page $i|2|127.0.0.1|$PORT|/page$i.html|3600|0|0|1|0|0|0|9|||"
  done; } > "$WORK/data/vigil.dat"
# Pages edited a while ago, as most are: their dates can vouch for them.
touch -d '1 hour ago' "$WORK"/www/page*.html

now() { date +%s.%N; }
cd "$WORK/data"
# The first run fetches every page once; the second compares against the copies.
t0=$(now); env -u DISPLAY -u WAYLAND_DISPLAY "$TERVANE" /batch /quiet >/dev/null; t1=$(now)
: > "$WORK/access.log"
"$TERVANE" /batch /quiet >/dev/null; t2=$(now)
answered304=$(grep -c '" 304 ' "$WORK/access.log" || true)
ab -q -n "$N" -c 1 -0 "http://127.0.0.1:$PORT/page1.html" > "$WORK/ab.txt" 2>&1 || true
abt=$(awk '/Time taken for tests/ {print $5}' "$WORK/ab.txt")

first=$(awk "BEGIN {print $t1 - $t0}"); second=$(awk "BEGIN {print $t2 - $t1}")
printf 'Vigils: %d\n' "$N"
printf 'tervane /batch, first run:  %.3f s\n' "$first"
printf 'tervane /batch, second run: %.3f s\n' "$second"
printf 'ab -n %d -c 1 (HTTP/1.0):   %.3f s\n' "$N" "$abt"
printf 'ratio second run / ab:      %.1f\n' "$(awk "BEGIN {print $second / $abt}")"
printf 'second run answered 304:    %d of %d\n' "$answered304" "$N"
