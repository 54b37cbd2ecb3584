#!/bin/bash
# `trimbel join` of twenty 4-minute lame files beside a byte concatenation and two joiners:
#   trimbel join A..T --output OUT  |  cat A..T > OUT  |  cat A..T | dd conv=fsync (cat, on disk)
#   ffmpeg -f concat -c copy        |  mp3wrap
# trimbel's join is on disk when it returns (it flushes before naming the file); cat is not, so
# both cats are shown. Prints the median wall time of each and the ratios (below 1: trimbel is
# faster). Usage: bench/bench_join.sh [runs]   (TRIMBEL_BUILD_DIR picks the build, default build/)
# The input (4 minutes of noise and sweeps, 128 kbit/s) is encoded once and kept in the build folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
runs="${1:-5}"
need_tools mp3wrap ffmpeg sox lame

piece="$build/bench/join-4min.mp3"
if [ ! -s "$piece" ]; then
    mkdir -p "$build/bench"
    tmp=$(mktemp -d)
    noise_wav 240 "$tmp/piece.wav"
    lame --quiet -b 128 "$tmp/piece.wav" "$piece.part" && mv "$piece.part" "$piece"
    rm -rf "$tmp"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
inputs=()
for i in $(seq -w 1 20); do
    cp "$piece" "$work/in$i.mp3"
    inputs+=("$work/in$i.mp3")
done
printf "file '%s'\n" "${inputs[@]}" > "$work/list.txt"
out="$work/out.mp3"

timed() {  # prints the seconds the command took, the output removed before
    local start end
    rm -f "$out" "$work"/wrapped*.mp3
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
}
declare -A times
run() {  # name, command...
    local name="$1"; shift
    local list=()
    for _ in $(seq "$runs"); do list+=("$(timed "$@")"); done
    times[$name]=$(printf '%s\n' "${list[@]}" | median)
}
cat_plain() { cat "${inputs[@]}" > "$out"; }
cat_synced() { cat "${inputs[@]}" | dd of="$out" bs=1M conv=fsync status=none; }
cat "${inputs[@]}" > /dev/null  # the inputs in the page cache for everyone alike
run trimbel "$trimbel" join "${inputs[@]}" --output "$out"
run cat cat_plain
run cat_fsync cat_synced
run ffmpeg_concat ffmpeg -v error -f concat -safe 0 -i "$work/list.txt" -c copy "$out"
run mp3wrap mp3wrap "$work/wrapped.mp3" "${inputs[@]}"

printf 'inputs: 20 x %s bytes (4 min, 128 kbit/s lame), %s runs, median wall time\n' "$(stat -c %s "$piece")" "$runs"
for name in trimbel cat cat_fsync ffmpeg_concat mp3wrap; do
    printf '%-14s %7.3f s\n' "$name" "${times[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { printf "ratio %-28s %.2f\n", n, a / b }'; }
ratio "${times[trimbel]}" "${times[cat]}" "trimbel join / cat"
ratio "${times[trimbel]}" "${times[cat_fsync]}" "trimbel join / cat + fsync"
ratio "${times[trimbel]}" "${times[ffmpeg_concat]}" "trimbel join / ffmpeg concat"
ratio "${times[trimbel]}" "${times[mp3wrap]}" "trimbel join / mp3wrap"
