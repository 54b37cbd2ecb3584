#!/bin/bash
# `trimbel edit` deleting 3 ranges from a 60-minute lame file, beside:
#   cp + sync --data   the floor: copying the file and flushing it (trimbel's writes are flushed)
#   ffmpeg concat      four `-c copy` segments joined by the concat demuxer (no reservoir repair)
#   re-encode          mpg123 decode, sox cutting the ranges, lame encode at the same bitrate
# Prints the median wall time of each and the ratios, then what a decoder makes of each result:
# mpg123's complaints, and the decoded length against the samples really kept (drift).
# Usage: bench/bench_edit.sh [runs]   (TRIMBEL_BUILD_DIR picks the build, default build/;
# SKIP_REENCODE=1 leaves out the re-encode, which takes minutes)
# The test file is encoded once and kept in the build folder.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
runs="${1:-5}"
need_tools ffmpeg sox lame mpg123 python3

long="$build/bench/edit-60min.mp3"
if [ ! -s "$long" ]; then
    mkdir -p "$build/bench"
    sox -n -r 44100 -c 2 -b 16 -t wav - synth 3600 pinknoise vol 0.2 synth 3600 sine mix 200-3000 vol 0.6 tremolo 0.3 50 |
        lame --quiet -b 128 - "$long.part" && mv "$long.part" "$long"
fi

# Deleted: 10:00-10:30, 25:00-27:15.5, 48:12.3-50:00; ffmpeg and sox get the kept pieces.
deletes=(--delete 10:00-10:30 --delete 25:00-27:15.5 --delete 48:12.3-50:00)
kept=("0 600" "630 1500" "1635.5 2892.3" "3000 3600")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
timed() {  # prints the seconds the command took
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
}
declare -A times
run() {  # name, count, command...
    local name="$1" count="$2"; shift 2
    local list=()
    for _ in $(seq "$count"); do list+=("$(timed "$@")"); done
    times[$name]=$(printf '%s\n' "${list[@]}" | median)
}

copy_sync() { rm -f copy.mp3; cp "$long" copy.mp3 && sync --data copy.mp3; }
ffmpeg_concat() {
    rm -f seg*.mp3 list.txt concat.mp3
    local i=0
    for k in "${kept[@]}"; do
        set -- $k
        ffmpeg -v error -nostdin -ss "$1" -to "$2" -i "$long" -c copy "seg$i.mp3"
        echo "file 'seg$i.mp3'" >> list.txt
        i=$((i + 1))
    done
    ffmpeg -v error -nostdin -f concat -safe 0 -i list.txt -c copy concat.mp3 && sync --data concat.mp3
}
reencode() {
    mpg123 -q -s "$long" |
        sox -t raw -r 44100 -e signed -b 16 -c 2 - -t raw - trim 0 =600 =630 =1500 =1635.5 =2892.3 =3000 |
        lame --quiet -r -s 44.1 -b 128 - reencoded.mp3 && sync --data reencoded.mp3
}
trimbel_edit() { "$trimbel" edit "$long" "${deletes[@]}" --output edited.mp3 --overwrite; }

cat "$long" > /dev/null  # every contender reads from the page cache
# The floor and trimbel take turns, so that both see the same load on a shared machine.
copies=(); edits=()
for _ in $(seq "$runs"); do copies+=("$(timed copy_sync)"); edits+=("$(timed trimbel_edit)"); done
times[copy_sync]=$(printf '%s\n' "${copies[@]}" | median)
times[trimbel_edit]=$(printf '%s\n' "${edits[@]}" | median)
run ffmpeg_concat "$runs" ffmpeg_concat
if [ "${SKIP_REENCODE:-0}" = 1 ]; then times[reencode]=nan; : > reencoded.mp3; else run reencode 1 reencode; fi

printf 'file: %s bytes (60 min, 128 kbit/s lame), median wall time of %s runs (re-encode: 1)\n' "$(stat -c %s "$long")" "$runs"
for name in copy_sync trimbel_edit ffmpeg_concat reencode; do printf '%-14s %8.3f s\n' "$name" "${times[$name]}"; done
ratio() { awk -v a="$1" -v b="$2" -v n="$3" 'BEGIN { printf "ratio %-32s %.2f\n", n, a / b }'; }
ratio "${times[trimbel_edit]}" "${times[copy_sync]}" "trimbel edit / cp + sync --data"
ratio "${times[trimbel_edit]}" "${times[ffmpeg_concat]}" "trimbel edit / ffmpeg concat"
ratio "${times[trimbel_edit]}" "${times[reencode]}" "trimbel edit / re-encode"

# What mpg123 says about each result, and its length against the samples kept.
expected=$("$trimbel" edit "$long" "${deletes[@]}" --output edited.mp3 --overwrite --json |
    python3 -c 'import json,sys; print(json.load(sys.stdin)["samples"])')
asked=$(awk 'BEGIN { printf "%d\n", (600 + 870 + 1256.8 + 600) * 44100 }')
for f in edited.mp3 concat.mp3 reencoded.mp3; do
    samples=$(( $(mpg123 -s "$f" 2>"$f.log" | wc -c) / 4 ))
    complaints=$(grep -ciE 'note:|warning|error' "$f.log" || true)
    printf '%-14s decoded %d samples: %+d against the kept %d (%+.1f ms), %+d against the ranges asked (%+.1f ms); mpg123: %s complaints\n' \
        "$f" "$samples" $((samples - expected)) "$expected" "$(awk -v d=$((samples - expected)) 'BEGIN { print d / 44.1 }')" \
        $((samples - asked)) "$(awk -v d=$((samples - asked)) 'BEGIN { print d / 44.1 }')" "$complaints"
done
