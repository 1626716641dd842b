#!/usr/bin/env bash
# Live-poll benchmark: the whole program polling the virtual meter (qr512-sim on a
# pseudo-terminal) in real time. Prints the CPU time each process used as a share of one core
# and the frames decoded per second. Usage: bench/poll/run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
seconds=${1:-60}
build=${2:-build}
cd "$(dirname "$0")/../.."
cmake --build "$build" --target qr512 qr512-sim >/dev/null

cpu_share() { # pid -> utime+stime in clock ticks
    awk '{print $14 + $15}' "/proc/$1/stat"
}

"$build/src/sim/qr512-sim" --fixed > /tmp/qr512-bench-sim.out &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s /tmp/qr512-bench-sim.out ] && break; sleep 0.1; done
device=$(head -n1 /tmp/qr512-bench-sim.out)
hz=$(getconf CLK_TCK)

# Headless: one line per decoded frame.
"$build/src/app/qr512" live --port "$device" > /tmp/qr512-bench-live.out &
live=$!
sleep "$seconds"
ticks=$(cpu_share $live)
kill -INT $live; wait $live || true
frames=$(wc -l < /tmp/qr512-bench-live.out)

# The window, drawing every frame (offscreen, so no display is needed).
QT_QPA_PLATFORM=offscreen "$build/src/app/qr512" --port "$device" &
win=$!
sleep "$seconds"
wticks=$(cpu_share $win)
kill $win; wait $win 2>/dev/null || true
simticks=$(cpu_share $sim)

awk -v s="$seconds" -v f="$frames" -v t="$ticks" -v w="$wticks" -v m="$simticks" -v hz="$hz" 'BEGIN {
    printf "polling for %d s per run\n", s
    printf "frames decoded per second (qr512 live): %.2f\n", f / s
    printf "CPU of qr512 live:   %.2f %% of one core\n", 100 * t / hz / s
    printf "CPU of the window:   %.2f %% of one core\n", 100 * w / hz / s
    printf "CPU of qr512-sim:    %.2f %% of one core (both runs)\n", 100 * m / hz / (2 * s)
}'
