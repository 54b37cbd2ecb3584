#!/bin/bash
# `trimbel split` of a 30-minute lame file beside mp3splt and ffmpeg, in one run:
#   by time:   trimbel split --every 60  |  mp3splt -t 1.0  |  ffmpeg -f segment -segment_time 60 -c copy
#   by pauses: trimbel split --pauses    |  mp3splt -s
# Prints the median wall time of each over several runs and the ratios (below 1: trimbel is
# faster). Usage: bench/bench_split.sh [runs]   (TRIMBEL_BUILD_DIR picks the build, default build/)
# The test file (ten 3-minute pieces of noise and sweeps with 2 s of silence between them) is
# encoded once and kept in the build folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
runs="${1:-5}"
need_tools mp3splt ffmpeg sox lame

long="$build/bench/split-30min.mp3"
if [ ! -s "$long" ]; then
    mkdir -p "$build/bench"
    tmp=$(mktemp -d)
    noise_wav 178 "$tmp/piece.wav"
    sox -n -r 44100 -c 2 "$tmp/pause.wav" trim 0 2
    pieces=()
    for _ in $(seq 10); do pieces+=("$tmp/piece.wav" "$tmp/pause.wav"); done
    sox "${pieces[@]}" "$tmp/long.wav"
    lame --quiet -b 128 "$tmp/long.wav" "$long.part" && mv "$long.part" "$long"
    rm -rf "$tmp"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
timed() {  # runs the command in a fresh folder $out, prints the seconds it took
    local start end
    rm -rf "$out" && mkdir -p "$out"
    rm -f "$work/mp3splt.log"  # mp3splt -s keeps the levels it found there and reuses them
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
}
count() { find "$out" -name '*.mp3' | wc -l; }

declare -A times parts
run() {  # name, command...
    local name="$1"; shift
    local list=()
    for _ in $(seq "$runs"); do list+=("$(timed "$@")"); done
    times[$name]=$(printf '%s\n' "${list[@]}" | median)
    parts[$name]=$(count)
}
out="$work/t"; run trimbel_every "$trimbel" split "$long" --every 60 --output-dir "$out"
out="$work/s"; run mp3splt_t mp3splt -q -t 1.0 -d "$out" "$long"
out="$work/f"; run ffmpeg_segment ffmpeg -v error -i "$long" -f segment -segment_time 60 -c copy "$out/part%03d.mp3"
out="$work/p"; run trimbel_pauses "$trimbel" split "$long" --pauses --output-dir "$out"
out="$work/q"; run mp3splt_s mp3splt -q -s -d "$out" "$long"

printf 'file: %s bytes (30 min, 128 kbit/s lame), %s runs, median wall time\n' "$(stat -c %s "$long")" "$runs"
for name in trimbel_every mp3splt_t ffmpeg_segment trimbel_pauses mp3splt_s; do
    printf '%-16s %7.3f s  (%s parts)\n' "$name" "${times[$name]}" "${parts[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { printf "ratio %-34s %.2f\n", n, a / b }'; }
ratio "${times[trimbel_every]}" "${times[mp3splt_t]}" "trimbel --every 60 / mp3splt -t 1.0"
ratio "${times[trimbel_every]}" "${times[ffmpeg_segment]}" "trimbel --every 60 / ffmpeg segment"
ratio "${times[trimbel_pauses]}" "${times[mp3splt_s]}" "trimbel --pauses / mp3splt -s"
