#!/usr/bin/env bash
# Live-poll benchmark: the whole program polling the virtual meter (qr512-sim on a
# pseudo-terminal) in real time. Prints the CPU time each process used as a share of one core,
# how often its threads woke up (all threads together) and the frames decoded per
# second. Start-up (loading Qt, fonts, the first search) is counted
# apart: the share is taken over SECONDS of polling after a warm-up of WARMUP seconds.
# The window runs three times: trend hidden, shown, hidden again.
# Usage: bench/poll/run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
seconds=${1:-60}
build=${2:-build}
cd "$(dirname "$0")/../.."
cmake --build "$build" --target qr512 qr512-sim >/dev/null

cpu_share() { # pid -> utime+stime in clock ticks
    awk '{print $14 + $15}' "/proc/$1/stat"
}
wakeups() { # pid -> times any of its threads went to sleep so far (each ends in a wake-up;
    # being preempted while running is not counted)
    cat /proc/"$1"/task/*/status | awk '/^voluntary_ctxt_switches/ {n += $2} END {print n}'
}

# Its own folder for the outputs, so that two runs at once do not read each other's.
out=$(mktemp -d)
"$build/src/sim/qr512-sim" --fixed > "$out/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -rf "$out"' EXIT
for _ in $(seq 50); do [ -s "$out/sim.out" ] && break; sleep 0.1; done
device=$(head -n1 "$out/sim.out")
hz=$(getconf CLK_TCK)
warmup=5

# Headless: one line per decoded frame.
"$build/src/app/qr512" live --port "$device" > "$out/live.out" &
live=$!
sleep "$warmup"
startticks=$(cpu_share $live)
startwakes=$(wakeups $live)
startframes=$(wc -l < "$out/live.out")
sleep "$seconds"
ticks=$(($(cpu_share $live) - startticks))
wakes=$(($(wakeups $live) - startwakes))
frames=$(($(wc -l < "$out/live.out") - startframes))
kill -INT $live; wait $live || true

# The window, drawing every frame (offscreen, so no display is needed), with the trend chart
# hidden and then shown, each from a settings file of its own; the chart's paints are counted
# from its debug log.
config=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$config" "$out"' EXIT
run_window() { # trend shown (true/false) -> sets wticks, wwakes, simticks, paints
    mkdir -p "$config/$1/qr512"
    printf '[view]\ntrend=%s\n' "$1" > "$config/$1/qr512/qr512.ini"
    XDG_CONFIG_HOME="$config/$1" QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qr512.trend.debug=true" \
        "$build/src/app/qr512" --port "$device" 2> "$config/$1.log" &
    win=$!
    sleep "$warmup"
    wstartticks=$(cpu_share $win)
    wstartwakes=$(wakeups $win)
    simstart=$(cpu_share $sim)
    startpaints=$(grep -c paint "$config/$1.log" || true)
    sleep "$seconds"
    wticks=$(($(cpu_share $win) - wstartticks))
    wwakes=$(($(wakeups $win) - wstartwakes))
    simticks=$(($(cpu_share $sim) - simstart))
    paints=$(($(grep -c paint "$config/$1.log" || true) - startpaints))
    kill $win; wait $win 2>/dev/null || true
}
run_window false
wst=$wstartticks w1=$wticks k1=$wwakes m1=$simticks
run_window true
tticks=$wticks twakes=$wwakes tpaints=$paints
run_window false # again, so that a drift of the machine shows between the two plain runs
pticks=$wticks pwakes=$wwakes

awk -v s="$seconds" -v f="$frames" -v t="$ticks" -v w="$w1" -v m="$m1" -v hz="$hz" \
    -v st="$startticks" -v wst="$wst" -v wu="$warmup" \
    -v k="$wakes" -v wk="$k1" -v tt="$tticks" -v tk="$twakes" -v tp="$tpaints" \
    -v pt="$pticks" -v pk="$pwakes" 'BEGIN {
    printf "polling for %d s per run, after %d s of start-up\n", s, wu
    printf "start-up CPU: qr512 live %.2f s, the window %.2f s\n", st / hz, wst / hz
    printf "frames decoded per second (qr512 live): %.2f\n", f / s
    printf "CPU of qr512 live:   %.2f %% of one core\n", 100 * t / hz / s
    printf "CPU of the window:   %.2f %% of one core (trend hidden; %.2f %% in a second run)\n", 100 * w / hz / s, 100 * pt / hz / s
    printf "CPU of the window with the trend shown: %.2f %% of one core\n", 100 * tt / hz / s
    printf "wake-ups of qr512 live: %.1f per second (all threads)\n", k / s
    printf "wake-ups of the window: %.1f per second (all threads; %.1f in a second run)\n", wk / s, pk / s
    printf "wake-ups of the window with the trend shown: %.1f per second\n", tk / s
    printf "trend chart repaints: %.2f per second\n", tp / s
    printf "CPU of qr512-sim:    %.2f %% of one core (window run)\n", 100 * m / hz / s
}'
