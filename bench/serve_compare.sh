#!/usr/bin/env bash
# Side-by-side comparison of `vandrel serve` with Debian's nginx and `python3 -m http.server`,
# serving the same files on loopback, each driven by wrk: requests per second, MiB/s, the 99th
# percentile of latency and the ratio to nginx, for files of 1 KiB, 100 KiB and 50 MiB and a
# range in the middle of the large one, at 1, 16 and 64 connections. Prints one table and where
# each target stands. See bench/README.md.
#
# usage: bench/serve_compare.sh   (from anywhere; everything it makes goes under build/)
#
# Environment: DURATION (seconds per run, default 10), ROUNDS (default 3, the median is kept),
# SERVERS (default "vandrel nginx python").
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly BUILD=build/bench
readonly WORK=$PWD/build/bench-serve
readonly DURATION=${DURATION:-10}
readonly ROUNDS=${ROUNDS:-3}
read -r -a SERVERS <<< "${SERVERS:-vandrel nginx python}"

say() { printf '== %s\n' "$*" >&2; }

# ---- What it needs: Debian packages, only when missing.
missing=()
for package in nginx-core wrk python3 cmake ninja-build clang libboost-dev zlib1g-dev \
               nlohmann-json3-dev googletest libbenchmark-dev; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# ---- Optimised, non-sanitized build of the tool.
say "building vandrel in $BUILD"
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVANDREL_SANITIZE=OFF >/dev/null
cmake --build "$BUILD" --target vandrel >/dev/null
readonly VANDREL=$PWD/$BUILD/bin/vandrel

# ---- The files: one app folder whose www every server serves.
app=$WORK/app
www=$app/www
mkdir -p "$www"
printf '{"name":"serve-bench"}' > "$app/package.json"
printf '<!DOCTYPE html><title>bench</title>' > "$www/index.html"
make_file() {  # name bytes
    [ "$(stat -c %s "$www/$1" 2>/dev/null || echo 0)" = "$2" ] ||
        head -c "$2" /dev/urandom > "$www/$1"
}
make_file 1k.bin 1024
make_file 100k.bin 102400
make_file 50m.bin 52428800

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

wait_for() {  # url
    for _ in $(seq 100); do
        curl -s -o /dev/null "$1" && return 0
        sleep 0.1
    done
    echo "serve_compare: no answer from $1" >&2
    exit 1
}

declare -A PORT
start_vandrel() {
    PORT[vandrel]=$(free_port)
    "$VANDREL" serve "$app" --port "${PORT[vandrel]}" > "$WORK/vandrel.log" 2>&1 &
    pids+=($!)
}
start_nginx() {
    PORT[nginx]=$(free_port)
    local prefix=$WORK/nginx
    mkdir -p "$prefix/logs"
    cat > "$prefix/nginx.conf" <<EOF
worker_processes auto;
pid $prefix/nginx.pid;
error_log $prefix/logs/error.log;
events { worker_connections 1024; }
http {
    access_log $prefix/logs/access.log;
    sendfile on;
    tcp_nopush on;
    tcp_nodelay on;
    keepalive_requests 100000;
    types { application/octet-stream bin; text/html html; }
    server {
        listen 127.0.0.1:${PORT[nginx]};
        root $www;
    }
}
EOF
    nginx -p "$prefix" -c "$prefix/nginx.conf" -g 'daemon off;' &
    pids+=($!)
}
start_python() {
    PORT[python]=$(free_port)
    python3 -m http.server --bind 127.0.0.1 --directory "$www" "${PORT[python]}" \
        > /dev/null 2>&1 &
    pids+=($!)
}
for server in "${SERVERS[@]}"; do
    "start_$server"
    wait_for "http://127.0.0.1:${PORT[$server]}/index.html"
done

# ---- One wrk run: "requests/s MiB/s p99-ms".
measure() {  # server file connections [range]
    local url="http://127.0.0.1:${PORT[$1]}/$2" threads=$(( $3 < 2 ? 1 : 2 ))
    local args=(-t "$threads" -c "$3" -d "${DURATION}s" --latency --timeout 10s)
    [ -n "${4:-}" ] && args+=(-H "Range: bytes=$4")
    wrk "${args[@]}" "$url" | awk '
        /^Requests\/sec:/ { rps = $2 }
        /^Transfer\/sec:/ { v = $2; sub(/[A-Za-z]+$/, "", v); unit = $2; sub(/^[0-9.]+/, "", unit)
                            mib = v / (unit == "GB" ? 1/1024 : unit == "MB" ? 1 : unit == "KB" ? 1024 : 1048576) }
        $1 == "99%" { v = $2; sub(/[a-z]+$/, "", v); unit = $2; sub(/^[0-9.]+/, "", unit)
                      p99 = v * (unit == "s" ? 1000 : unit == "us" ? 0.001 : 1) }
        END { printf "%.0f %.1f %.2f\n", rps, mib, p99 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The middle 1 MiB of the large file.
readonly RANGE="26214400-27262975"
workloads=("1k.bin 1" "1k.bin 16" "1k.bin 64" "100k.bin 1" "100k.bin 16" "100k.bin 64"
           "50m.bin 1" "50m.bin 16" "50m.bin 64" "range 1" "range 16" "range 64")
declare -A RPS MIB P99
for workload in "${workloads[@]}"; do
    read -r file connections <<< "$workload"
    for server in "${SERVERS[@]}"; do
        say "$server: $file at $connections connection(s)"
        results=()
        for _ in $(seq "$ROUNDS"); do
            if [ "$file" = range ]; then
                results+=("$(measure "$server" 50m.bin "$connections" "$RANGE")")
            else
                results+=("$(measure "$server" "$file" "$connections")")
            fi
        done
        key="$server $workload"
        RPS[$key]=$(printf '%s\n' "${results[@]}" | cut -d' ' -f1 | median)
        MIB[$key]=$(printf '%s\n' "${results[@]}" | cut -d' ' -f2 | median)
        P99[$key]=$(printf '%s\n' "${results[@]}" | cut -d' ' -f3 | median)
    done
done

# ---- The table, and the targets.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf (b > 0 ? "%.2f" : "n/a"), (b > 0 ? a / b : 0) }'; }
printf '\n| Workload | Connections |'
for server in "${SERVERS[@]}"; do printf ' %s req/s | MiB/s | p99 ms |' "$server"; done
printf ' vandrel/nginx |\n|---|---|'
for _ in "${SERVERS[@]}"; do printf '%s' '---|---|---|'; done
printf '%s\n' '---|'
for workload in "${workloads[@]}"; do
    read -r file connections <<< "$workload"
    label=$file
    [ "$file" = range ] && label="1 MiB range of 50m.bin"
    printf '| %s | %s |' "$label" "$connections"
    for server in "${SERVERS[@]}"; do
        key="$server $workload"
        printf ' %s | %s | %s |' "${RPS[$key]}" "${MIB[$key]}" "${P99[$key]}"
    done
    if [ -n "${PORT[nginx]:-}" ] && [ -n "${PORT[vandrel]:-}" ]; then
        printf ' %s |' "$(ratio "${RPS[vandrel $workload]}" "${RPS[nginx $workload]}")"
    fi
    printf '\n'
done

if [ -n "${PORT[nginx]:-}" ] && [ -n "${PORT[vandrel]:-}" ]; then
    printf '\nTargets:\n'
    verdict() {  # text value limit direction(ge|le)
        local ok
        ok=$(awk -v v="$2" -v l="$3" -v d="$4" 'BEGIN { print ((d == "ge" ? v >= l : v <= l) ? "met" : "NOT met") }')
        printf -- '- %s: %s (%s)\n' "$1" "$2" "$ok"
    }
    for workload in "1k.bin 16" "1k.bin 64" "100k.bin 16" "100k.bin 64"; do
        verdict "requests/s of nginx's, $workload connections, at least 0.8" \
            "$(ratio "${RPS[vandrel $workload]}" "${RPS[nginx $workload]}")" 0.8 ge
    done
    verdict "MiB/s of nginx's, 50m.bin at 1 connection, at least 1.0" \
        "$(ratio "${MIB[vandrel 50m.bin 1]}" "${MIB[nginx 50m.bin 1]}")" 1.0 ge
    verdict "p99 in ms, 1k.bin at 16 connections, below 5" "${P99[vandrel 1k.bin 16]}" 5 le
fi
