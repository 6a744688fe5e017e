#!/usr/bin/env bash
# Link benchmark: a full query, a full submit and a 256 KiB firmware upload of
# a both-ports TA through tactl, against tasim pacing the line at 115200 bit/s,
# once with readiness wake-ups and once with the plain 50 ms receive poll; a
# query of a TA without port prefixes and of one without the clock. For each
# it prints the measured time, the line-time model of the bytes that crossed
# the line (10 bits per byte, both directions, as the exchange alternates),
# their ratio and the spread of the ratio. Then the same query through
# ser2net's RFC 2217 accepter on loopback, as a ratio against the query on the
# pseudo-terminal, and through its TLS accepter, as a ratio against plain RFC
# 2217. Every row is the median of BENCH_RUNS runs (at least 5, the
# default), taken in turns with the other rows so that all meet the same load.
#   bench/run.sh [BUILD_DIR]      (make bench; TACTL, TASIM and SER2NET override the programs)
set -euo pipefail
build=${1:-build}
tactl=${TACTL:-$build/app/tactl/tactl}
tasim=${TASIM:-$build/sim/tasim}
runs=${BENCH_RUNS:-5}
[ "$runs" -ge 5 ] || { echo "bench: BENCH_RUNS must be at least 5" >&2; exit 2; }
baud=115200
# tasim restarts after an upload in this long; the upload rows time the
# transfer alone, so tactl need not wait a real TA's 30 s (tactl(1)).
restart_ms=500
export TA_REBOOT_WAIT_MS=$((restart_ms + 500))
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

# start_tasim NAME OPTIONS...: tasim on a pseudo-terminal of its own; its path in $work/NAME.pty.
start_tasim() {
    local name=$1; shift
    "$tasim" --baud $baud --reboot-ms $restart_ms "$@" >"$work/$name.out" 2>/dev/null &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/$name.out" ] && break; sleep 0.1; done
    head -n1 "$work/$name.out" >"$work/$name.pty"
    [ -s "$work/$name.pty" ] || { echo "bench: tasim $* did not start" >&2; exit 1; }
}
start_tasim both
start_tasim noprefix --no-prefix
start_tasim noclock --no-datetime
pty() { cat "$work/$1.pty"; }

head -c 262144 /dev/urandom >"$work/firmware.bin"

stat() { sed -n "s/^$1 = //p" "$2"; }
# tactl ARGS...: runs it with --stats; the statistics in $work/stats.txt.
tactl_stats() {
    if ! "$tactl" "$@" --stats >/dev/null 2>"$work/stats.txt"; then
        echo "bench: tactl $* failed:" >&2
        cat "$work/stats.txt" >&2
        exit 1
    fi
}
# sample ROW MS-KEY SENT-KEY RECEIVED-KEY: one run's time and bytes, added to the row.
sample() {
    local s=$work/stats.txt
    echo "$(stat "$2" "$s") $(stat "$3" "$s") $(stat "$4" "$s")" >>"$work/row.$1"
}

rows=()
# One run of every row, in turn.
round() {
    local n=0 label
    local -a modes=("" --poll-only)
    for mode in "${modes[@]}"; do
        local -a extra=()
        label="readiness wake-ups"
        if [ -n "$mode" ]; then extra=("$mode"); label="50 ms poll only"; fi
        tactl_stats query --port "$(pty both)" -o "$work/q.cfg" "${extra[@]}"
        sample $((n += 1)) elapsedMs bytesSent bytesReceived
        rows[n]="query ($label)"
        tactl_stats submit "$work/q.cfg" --port "$(pty both)" "${extra[@]}"
        sample $((n += 1)) elapsedMs bytesSent bytesReceived
        rows[n]="submit ($label)"
        tactl_stats upgrade "$work/firmware.bin" --profile "$work/q.cfg" --port "$(pty both)" "${extra[@]}"
        sample $((n += 1)) transferMs transferBytesSent transferBytesReceived
        rows[n]="upload 256 KiB ($label)"
    done
    tactl_stats query --port "$(pty noprefix)" -o "$work/p.cfg"
    sample $((n += 1)) elapsedMs bytesSent bytesReceived
    rows[n]="query, TA without port prefixes"
    tactl_stats query --port "$(pty noclock)" -o "$work/c.cfg"
    sample $((n += 1)) elapsedMs bytesSent bytesReceived
    rows[n]="query, TA without the clock"
}
for _ in $(seq "$runs"); do round; done

# The median and the ends of a column of numbers (mawk has no sort of its own).
column_stats() { sort -g | awk '{ v[NR] = $1 } END { printf "%s %s %s\n", v[int((NR + 1) / 2)], v[1], v[NR] }'; }
# Lines "measured-ms sent received" in, "median-ms median-model-ms median-ratio lowest highest" out.
summary() {
    local ms model ratio low high
    awk -v baud=$baud '{ printf "%d %d\n", $1, ($2 + $3) * 10 * 1000 / baud }' >"$work/runs"
    read -r ms _ _ < <(cut -d' ' -f1 "$work/runs" | column_stats)
    read -r model _ _ < <(cut -d' ' -f2 "$work/runs" | column_stats)
    read -r ratio low high < <(awk '{ print $1 / $2 }' "$work/runs" | column_stats)
    echo "$ms $model $ratio $low $high"
}
printf "%-36s %12s %12s %8s   %s\n" "exchange at $baud bit/s" "measured" "line model" "ratio" "ratio from - to ($runs runs)"
for n in "${!rows[@]}"; do
    read -r ms model ratio low high < <(summary <"$work/row.$n")
    printf "%-36s %9d ms %9d ms %8.3f   %.3f - %.3f\n" "${rows[n]}" "$ms" "$model" "$ratio" "$low" "$high"
done
echo "targets: query and submit ratio <= 1.25, upload <= 1.05 (with readiness wake-ups);"
echo "a TA without port prefixes or without the clock as near the both-ports query as its"
echo "bytes allow (its first run waits out the probe while the TA's echo is still off)"

# --- The same query over RFC 2217 and in TLS, through ser2net on loopback ---
ser2net=${SER2NET:-$(command -v ser2net || echo /usr/sbin/ser2net)}
listening() { grep -qE "^ *[0-9]+: 0100007F:$(printf %04X "$1") 0+:0000 0A" /proc/net/tcp; }
# Two ports the system gives as free, bound and let go just before ser2net takes them.
read -r port tls_port < <(python3 -c 'import socket
ports = [socket.socket() for _ in range(2)]
for s in ports:
    s.bind(("127.0.0.1", 0))
print(*(s.getsockname()[1] for s in ports))')
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
    "    connector: serialdev,$(pty both),115200n81,local" \
    '    options:' '      chardelay: false' \
    'connection: &tatls' \
    "    accepter: telnet(rfc2217),ssl(key=$work/server.key,cert=$work/server.crt),tcp,127.0.0.1,$tls_port" \
    "    connector: serialdev,$(pty both),115200n81,local" \
    '    options:' '      chardelay: false' >"$work/ser2net.yaml"
"$ser2net" -n -d -u -c "$work/ser2net.yaml" >"$work/ser2net.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do listening "$port" && listening "$tls_port" && break; sleep 0.05; done
if ! listening "$port" || ! listening "$tls_port"; then
    echo "ser2net ($ser2net) did not come up:" >&2; cat "$work/ser2net.log" >&2; exit 1
fi

query_ms() { # port [options]
    tactl_stats query --port "$@" -o "$work/n.cfg"
    stat elapsedMs "$work/stats.txt"
}
# The three queries in turns, so that all meet the same load.
for _ in $(seq "$runs"); do
    pty_ms=$(query_ms "$(pty both)")
    net_ms=$(query_ms "rfc2217://127.0.0.1:$port")
    tls_ms=$(query_ms "rfc2217+tls://localhost:$tls_port" --tls-ca "$work/ca.crt")
    echo "$pty_ms $net_ms $tls_ms"
done >"$work/net"
# network-row LABEL MEASURED-COLUMN BASE-COLUMN [NOTE]: the median of each and of their ratio.
network_row() {
    local measured base ratio low high
    read -r measured _ _ < <(cut -d' ' -f"$2" "$work/net" | column_stats)
    read -r base _ _ < <(cut -d' ' -f"$3" "$work/net" | column_stats)
    read -r ratio low high < <(awk -v m="$2" -v b="$3" '{ print $m / $b }' "$work/net" | column_stats)
    printf "%-40s %9d ms %9d ms %8.3f   %.3f - %.3f%s\n" "$1" "$measured" "$base" "$ratio" "$low" "$high" "${4:-}"
}
echo
printf "%-40s %12s %12s %8s   %s\n" "query" "measured" "against" "ratio" "ratio from - to ($runs runs)"
network_row "over RFC 2217 (ser2net on loopback)" 2 1 "   (against the pty)"
network_row "over RFC 2217 in TLS (ser2net ssl)" 3 2 "   (against plain RFC 2217)"
echo "targets: over RFC 2217 <= 1.10 of the same query on the pseudo-terminal; in TLS <= 1.10 of plain RFC 2217"
