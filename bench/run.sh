#!/usr/bin/env bash
# Link benchmark: a full query, a full submit and a 256 KiB firmware upload of
# a both-ports TA through tactl, against tasim pacing the line at 115200 bit/s.
# For each it prints the measured time, the line-time model of the bytes that
# crossed the line (10 bits per byte, both directions, as the exchange
# alternates), and their ratio; once with readiness wake-ups and once with
# the plain 50 ms receive poll. Then the same query through ser2net's RFC 2217
# accepter on loopback, as a ratio against the query on the pseudo-terminal,
# and through its TLS accepter, as a ratio against plain RFC 2217.
#   bench/run.sh [BUILD_DIR]      (make bench; TACTL, TASIM and SER2NET override the programs)
set -euo pipefail
build=${1:-build}
tactl=${TACTL:-$build/app/tactl/tactl}
tasim=${TASIM:-$build/sim/tasim}
baud=115200
work=$(mktemp -d)
trap 'kill "${sim_pid:-}" "${ser2net_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

"$tasim" --baud $baud --reboot-ms 1000 >"$work/tasim.out" 2>/dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -s "$work/tasim.out" ] && break; sleep 0.1; done
TA_SERIAL_PORTS=$(head -n1 "$work/tasim.out")
export TA_SERIAL_PORTS

head -c 262144 /dev/urandom >"$work/firmware.bin"

stat() { sed -n "s/^$1 = //p" "$2"; }
model_ms() { echo $(( ($1 + $2) * 10 * 1000 / baud )); }

row() { # name measured-ms sent received
    local model; model=$(model_ms "$3" "$4")
    awk -v n="$1" -v m="$2" -v l="$model" -v s="$3" -v r="$4" \
        'BEGIN { printf "%-36s %9d ms %9d ms %8.3f   (%d bytes sent, %d received)\n", n, m, l, m / l, s, r }'
}

run_case() { # label extra-options
    local label=$1; shift
    "$tactl" query --stats -o "$work/q.cfg" "$@" >/dev/null 2>"$work/q.txt"
    row "query ($label)" "$(stat elapsedMs "$work/q.txt")" "$(stat bytesSent "$work/q.txt")" "$(stat bytesReceived "$work/q.txt")"
    "$tactl" submit --stats "$work/q.cfg" "$@" 2>"$work/s.txt"
    row "submit ($label)" "$(stat elapsedMs "$work/s.txt")" "$(stat bytesSent "$work/s.txt")" "$(stat bytesReceived "$work/s.txt")"
    "$tactl" upgrade --stats --profile "$work/q.cfg" "$work/firmware.bin" "$@" 2>"$work/u.txt"
    row "upload 256 KiB ($label)" "$(stat transferMs "$work/u.txt")" "$(stat transferBytesSent "$work/u.txt")" \
        "$(stat transferBytesReceived "$work/u.txt")"
}

printf "%-36s %12s %12s %8s\n" "exchange at $baud bit/s" "measured" "line model" "ratio"
run_case "readiness wake-ups"
run_case "50 ms poll only" --poll-only
echo "targets: query and submit ratio <= 1.25, upload <= 1.05 (with readiness wake-ups)"

# --- The same query over RFC 2217 and in TLS, through ser2net on loopback ---
ser2net=${SER2NET:-$(command -v ser2net || echo /usr/sbin/ser2net)}
listening() { grep -qE "^ *[0-9]+: 0100007F:$(printf %04X "$1") 0+:0000 0A" /proc/net/tcp; }
free_port() {
    local candidate
    for _ in $(seq 20); do
        candidate=$((20000 + RANDOM % 40000))
        listening "$candidate" || { echo "$candidate"; return; }
    done
}
port=$(free_port)
tls_port=$(free_port)
pty=$TA_SERIAL_PORTS
# A certificate for localhost, signed by a CA of the benchmark's own.
(cd "$work" &&
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key -out ca.crt \
        -subj "/CN=bench CA" -days 1 &&
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout server.key -out server.csr \
        -subj "/CN=localhost" &&
    printf 'subjectAltName=DNS:localhost\n' >server.ext &&
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 1 -extfile server.ext \
        -out server.crt) >"$work/openssl.log" 2>&1 || { cat "$work/openssl.log" >&2; exit 1; }
printf '%s\n' '%YAML 1.1' '---' 'connection: &ta' \
    "    accepter: telnet(rfc2217),tcp,127.0.0.1,$port" \
    "    connector: serialdev,$pty,115200n81,local" \
    '    options:' '      chardelay: false' \
    'connection: &tatls' \
    "    accepter: telnet(rfc2217),ssl(key=$work/server.key,cert=$work/server.crt),tcp,127.0.0.1,$tls_port" \
    "    connector: serialdev,$pty,115200n81,local" \
    '    options:' '      chardelay: false' >"$work/ser2net.yaml"
"$ser2net" -n -d -u -c "$work/ser2net.yaml" >"$work/ser2net.log" 2>&1 &
ser2net_pid=$!
for _ in $(seq 100); do listening "$port" && listening "$tls_port" && break; sleep 0.05; done
if ! listening "$port" || ! listening "$tls_port"; then
    echo "ser2net ($ser2net) did not come up:" >&2; cat "$work/ser2net.log" >&2; exit 1
fi

query_ms() { # port [options]
    "$tactl" query --stats --port "$@" -o "$work/n.cfg" >/dev/null 2>"$work/n.txt"
    stat elapsedMs "$work/n.txt"
}
# The shortest of seven of each, taken in turns so that all meet the same load.
pty_ms='' net_ms='' tls_ms=''
for _ in 1 2 3 4 5 6 7; do
    ms=$(query_ms "$pty"); if [ -z "$pty_ms" ] || [ "$ms" -lt "$pty_ms" ]; then pty_ms=$ms; fi
    ms=$(query_ms "rfc2217://127.0.0.1:$port"); if [ -z "$net_ms" ] || [ "$ms" -lt "$net_ms" ]; then net_ms=$ms; fi
    ms=$(query_ms "rfc2217+tls://localhost:$tls_port" --tls-ca "$work/ca.crt")
    if [ -z "$tls_ms" ] || [ "$ms" -lt "$tls_ms" ]; then tls_ms=$ms; fi
done
echo
printf "%-40s %12s %12s %8s\n" "query, the best of seven" "measured" "on the pty" "ratio"
awk -v m="$net_ms" -v p="$pty_ms" \
    'BEGIN { printf "%-40s %9d ms %9d ms %8.3f\n", "over RFC 2217 (ser2net on loopback)", m, p, m / p }'
awk -v m="$tls_ms" -v p="$net_ms" \
    'BEGIN { printf "%-40s %9d ms %9d ms %8.3f   (against plain RFC 2217)\n", "over RFC 2217 in TLS (ser2net ssl)", m, p, m / p }'
echo "targets: over RFC 2217 <= 1.10 of the same query on the pseudo-terminal; in TLS <= 1.10 of plain RFC 2217"
