#!/usr/bin/env bash
# Side-by-side comparison of assets.dat (the vandrel tool and AssetBundle) with asar
# (@electron/asar) and tar on one synthetic app tree: time to pack the tree, and for each packed
# archive the time to open it and index its directory, to look up every name once and to read
# every file's bytes once. Prints one table and where each target stands. See bench/README.md.
#
# usage: bench/compare.sh        (from anywhere; everything it makes goes under build/)
#
# Environment: PACK_RUNS (default 3, the best is kept), PROBE_RUNS (default 7, the median is
# kept). All timings are taken with a warm page cache: dropping caches is not possible here.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly ASAR_VERSION=3.4.1  # the last @electron/asar line (3.4.x) that runs on Node 20
readonly BUILD=build/bench
readonly ASAR_DIR=build/bench-asar
readonly WORK=build/bench-compare
readonly PACK_RUNS=${PACK_RUNS:-3}
readonly PROBE_RUNS=${PROBE_RUNS:-7}

say() { printf '== %s\n' "$*" >&2; }

# ---- What it needs: Debian packages only when missing, asar into build/ with npm.
missing=()
need_command() {  # command package
    command -v "$1" >/dev/null 2>&1 || missing+=("$2")
}
need_package() {  # package
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$1")
}
need_command node nodejs
need_command npm npm
need_command cmake cmake
need_command ninja ninja-build
need_command clang++ clang
need_command tar tar
need_package libbenchmark-dev
need_package nlohmann-json3-dev
need_package googletest
if [ ${#missing[@]} -gt 0 ]; then
    say "installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

asar_module="$PWD/$ASAR_DIR/node_modules/@electron/asar"
installed_version=$(node -p "require('$asar_module/package.json').version" 2>/dev/null || true)
if [ "$installed_version" != "$ASAR_VERSION" ]; then
    say "installing @electron/asar@$ASAR_VERSION into $ASAR_DIR"
    mkdir -p "$ASAR_DIR"
    npm install --prefix "$ASAR_DIR" --no-audit --no-fund --loglevel=error \
        "@electron/asar@$ASAR_VERSION" >/dev/null
fi
asar_cli="$asar_module/bin/asar.js"

# ---- Optimised, non-sanitized build of the tool and the probes.
say "building vandrel, bundle_probe and vandrel_bench in $BUILD"
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVANDREL_SANITIZE=OFF >/dev/null
cmake --build "$BUILD" --target vandrel vandrel_bench bundle_probe >/dev/null
vandrel="$BUILD/bin/vandrel"
probe="$BUILD/bin/bundle_probe"

# ---- The synthetic app tree, made again only when its generator changed.
mkdir -p "$WORK"
tree="$WORK/app"
names="$WORK/names.txt"
stamp=$(sha256sum bench/make_app_tree.js | cut -d' ' -f1)
if [ ! -d "$tree" ] || [ "$(cat "$WORK/app.stamp" 2>/dev/null)" != "$stamp" ]; then
    say "making the app tree in $tree"
    rm -rf "$tree" "$WORK/app.stamp"
    node bench/make_app_tree.js "$tree" "$names" >&2
    echo "$stamp" >"$WORK/app.stamp"
fi
tree_files=$(find "$tree" -type f | wc -l)
tree_bytes=$(find "$tree" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')

out="$WORK/out"
mkdir -p "$out"
results="$WORK/results.jsonl"
: >"$results"

now_us() { echo "${EPOCHREALTIME/./}"; }
# Runs a command with its output discarded; prints its wall time in milliseconds.
time_ms() {
    local start end
    start=$(now_us)
    "$@" >/dev/null
    end=$(now_us)
    awk -v us=$((end - start)) 'BEGIN { printf "%.3f", us / 1000 }'
}

# ---- Packing: the three tools in turn, PACK_RUNS rounds. Each run starts without its output file
# and with no dirty pages pending (sync, not timed), and reads the tree from the warm page cache.
# The last round leaves the three archives for the reads.
pack_vandrel() { "$vandrel" pack "$tree" -o "$out/assets.dat"; }
pack_asar() { node "$asar_cli" pack "$tree" "$out/app.asar"; }
pack_tar() { tar -cf "$out/app.tar" -C "$tree" .; }
declare -A archive=([vandrel]=assets.dat [asar]=app.asar [tar]=app.tar)
say "packing, $PACK_RUNS rounds"
for ((run = 1; run <= PACK_RUNS; run++)); do
    for tool in vandrel asar tar; do
        rm -f "$out/${archive[$tool]}"
        sync
        ms=$(time_ms "pack_$tool")
        echo "{\"tool\": \"$tool\", \"pack_ms\": $ms}" >>"$results"
    done
done
sync

# ---- Reading: each probe is a fresh process; PROBE_RUNS rounds.
say "opening, looking up and reading, $PROBE_RUNS rounds"
for ((run = 1; run <= PROBE_RUNS; run++)); do
    "$probe" "$out/assets.dat" "$names" |
        sed 's/^{/{"tool": "vandrel", /' >>"$results"
    node bench/asar_probe.js "$asar_module" "$out/app.asar" "$names" |
        sed 's/^{/{"tool": "asar", /' >>"$results"
    # tar has no index: listing it scans every member header; reading extracts every member to
    # standard output.
    index_ms=$(time_ms tar -tf "$out/app.tar")
    read_ms=$(time_ms tar -xOf "$out/app.tar")
    echo "{\"tool\": \"tar\", \"open_index_ms\": $index_ms, \"read_ms\": $read_ms}" >>"$results"
done

sizes="{\"tree_files\": $tree_files, \"tree_bytes\": $tree_bytes"
sizes+=", \"vandrel_bytes\": $(stat -c %s "$out/assets.dat")"
sizes+=", \"asar_bytes\": $(stat -c %s "$out/app.asar")"
sizes+=", \"tar_bytes\": $(stat -c %s "$out/app.tar")}"
node bench/compare_table.js "$results" "$sizes" "$PACK_RUNS" "$PROBE_RUNS"
