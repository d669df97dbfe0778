#!/usr/bin/env bash
# Runs every benchmark against the release build in BUILD-DIR and prints one table.
#
#   bench/run.sh BUILD-DIR
#
# The tables are written once into BUILD-DIR/tables and reused; the raw results and the table
# go to BUILD-DIR/bench-results. REPETITIONS (default 10) and ROUNDS (default 30) may be set in
# the environment for a quicker or a steadier run.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "$1" && pwd)
BIN=$BUILD/bench
TABLES=$BUILD/tables
OUT=$BUILD/bench-results
REPETITIONS=${REPETITIONS:-10}
ROUNDS=${ROUNDS:-30}
JET_FILE=$(cd "$HERE/../.." && pwd)/shared/fixtures/jet/big.mdb

mkdir -p "$OUT"
rm -f "$OUT"/*.json "$OUT"/*.txt "$OUT"/table.md

# Widgets draw offscreen, and the program's single-copy marker lives in a folder of this run
# only, so a copy of the program that is running already changes nothing.
export QT_QPA_PLATFORM=offscreen
RUNTIME=$(mktemp -d)
chmod 700 "$RUNTIME"
export XDG_RUNTIME_DIR=$RUNTIME
trap 'rm -rf "$RUNTIME"' EXIT

step() { printf 'bench: %s\n' "$*" >&2; }

{
    echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB memory; $(uname -sr)"
    echo "Qt $(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo '?'), SQLite $(dpkg-query -W -f='${Version}' libsqlite3-0 2>/dev/null || echo '?'), Google Benchmark $(dpkg-query -W -f='${Version}' libbenchmark-dev 2>/dev/null || echo '?')"
    echo "Run $(date -u '+%Y-%m-%d %H:%M UTC'); load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$OUT/machine.txt"

step "tables (written once, then reused) in $TABLES"
"$BIN/somnara-bench-tables" "$TABLES"

step "in-process lookups, $REPETITIONS repetitions each (about two minutes)"
"$BIN/somnara-lookup-bench" --tables="$TABLES" --repetitions="$REPETITIONS" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_out="$OUT/lookup.json" --benchmark_out_format=json >"$OUT/lookup.txt" ||
    step "some lookups failed: see $OUT/lookup.txt"

step "the real window: lookup to paint, and 10,000 lookups in a row"
"$BIN/somnara-window-bench" --tables="$TABLES" --repetitions="$REPETITIONS" \
    --benchmark_out="$OUT/window.json" --benchmark_out_format=json >"$OUT/window.txt" ||
    step "the window benchmark failed: see $OUT/window.txt"

step "whole processes, start to first paint: program and reference in turn, $ROUNDS rounds"
"$BIN/somnara-process-bench" --rounds="$ROUNDS" --out="$OUT/startup.json" \
    --case program_1000000 "$TABLES/1000000" "$BIN/somnara-first-paint" \
    --case reference "$TABLES/1000" "$BIN/somnara-reference" \
    --case program_1000 "$TABLES/1000" "$BIN/somnara-first-paint" 2>"$OUT/startup.txt" ||
    step "a start-up run failed: see $OUT/startup.txt"

if [ -f "$JET_FILE" ] && command -v mdb-export >/dev/null && "$BIN/somnara-bench-connect" --jet; then
    step "Access: connecting to big.mdb against mdb-export, in turn, $REPETITIONS rounds"
    "$BIN/somnara-process-bench" --rounds="$REPETITIONS" --out="$OUT/jet.json" \
        --case ours "$(dirname "$JET_FILE")" "$BIN/somnara-bench-connect" big.mdb \
        --case mdb-export "$(dirname "$JET_FILE")" --quiet mdb-export big.mdb Somnara \
        2>"$OUT/jet.txt" || step "an Access run failed: see $OUT/jet.txt"
else
    step "Access: not available (no big.mdb, no mdb-export, or this build reads no Access files)"
fi

echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)" >>"$OUT/machine.txt"
python3 "$HERE/report.py" "$OUT" | tee "$OUT/table.md"
