#!/usr/bin/env bash
# Peak memory of batch checks of one FTP item whose listing is MB megabytes of
# minimal lines: a first check that stores it, then a check of a listing of the
# same size that shares no name with it (every file added or removed).
# Usage: bench/ftp_batch_memory.sh [MB] [build folder]
set -euo pipefail
MB=${1:-60}
BUILD=${2:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
case $BUILD in /*) TERVANE="$BUILD/tervane" ;; *) TERVANE="$ROOT/$BUILD/tervane" ;; esac
[ -x "$TERVANE" ] || { echo "build first: $TERVANE not found" >&2; exit 1; }

WORK=$(mktemp -d /tmp/tervane-ftp-memory.XXXXXX)
trap 'kill "$SERVER" 2>/dev/null || true; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/data/cache"
for name in a b; do
  /usr/bin/python3 - "$WORK/$name.lst" "$name" "$MB" <<'PY'
import sys
path, prefix, mb = sys.argv[1], sys.argv[2], int(sys.argv[3])
with open(path, "w") as f:
    i, size = 0, 0
    while size < mb * 1000000:
        line = "- 1 o g 1 Jan 1 2020 %s%07d\r\n" % (prefix, i)
        f.write(line)
        size += len(line)
        i += 1
PY
done

# A scripted FTP server on 127.0.0.1 that lists the file served.lst.
/usr/bin/python3 - "$WORK" <<'PY' &
import socket, sys
work = sys.argv[1]
server = socket.socket()
server.bind(("127.0.0.1", 0))
server.listen(4)
open(work + "/port", "w").write(str(server.getsockname()[1]))
while True:
    conn, _ = server.accept()
    out = conn.makefile("rwb", buffering=0)
    send = lambda text: out.write((text + "\r\n").encode())
    send("220 ready")
    data = None
    for raw in out:
        verb, _, arg = raw.decode("latin-1").strip().partition(" ")
        verb = verb.upper()
        if verb in ("USER", "PASS"): send("230 in")
        elif verb in ("PWD", "XPWD"): send('257 "/"')
        elif verb == "PORT":
            n = [int(x) for x in arg.split(",")]
            data = (".".join(map(str, n[:4])), n[4] * 256 + n[5])
            send("200 ok")
        elif verb == "LIST":
            send("150 here")
            with socket.create_connection(data) as d, open(work + "/served.lst", "rb") as f:
                d.sendfile(f)
            send("226 done")
        elif verb == "QUIT":
            send("221 bye")
            break
        else: send("502 no")
    conn.close()
PY
SERVER=$!
for _ in $(seq 1 50); do [ -s "$WORK/port" ] && break; sleep 0.1; done
PORT=$(cat "$WORK/port")
printf '1\n|ftp|Big|0|127.0.0.1|%s|||3600|0|0|0|anonymous|guest@localhost|9|cache\\00000001.mon||\n' "$PORT" \
  > "$WORK/data/vigil.dat"

run() {
  cp "$WORK/$1.lst" "$WORK/served.lst"
  ( cd "$WORK/data" && env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/time -f "%M" -o "$WORK/rss" \
      "$TERVANE" /batch /quiet /text report.txt >/dev/null 2>&1 )
  printf '%-36s %5d MB peak; %s\n' "$2" $(( $(cat "$WORK/rss") / 1024 )) \
    "$(awk '/^The following/ {s = $0} /^  Big/ {print s, $0}' "$WORK/data/report.txt")"
}
printf 'listing: %s bytes, %s lines\n' "$(stat -c %s "$WORK/a.lst")" "$(wc -l < "$WORK/a.lst")"
run a "first check (stores the listing)"
run b "second check (every name differs)"
