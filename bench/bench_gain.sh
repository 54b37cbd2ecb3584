#!/bin/bash
# `trimbel gain` beside the tools users know, in one run over the same files:
#   20 files of 4 minutes:  trimbel gain --db 3 -j 2     vs  mp3gain -g 2         (aim: no slower)
#                           trimbel gain --replaygain -j 2 vs loudgain -s i       (aim: faster)
#   one 60-minute file:     the loudness and true-peak analysis of --normalize
#                           (timed through --replaygain, whose only write is a tag in its padding)
#                           vs decoding the file with mpg123                      (aim: within 1.3x)
# Every run works on fresh copies; prints the median wall time of each and the ratios (below 1:
# trimbel is faster). Usage: bench/bench_gain.sh [runs]   (TRIMBEL_BUILD_DIR picks the build)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
runs="${1:-3}"
need_tools mp3gain loudgain mpg123 sox lame
[ -x /usr/bin/python3 ] && /usr/bin/python3 -c "import mutagen" 2>/dev/null ||
    { echo "python3-mutagen is not installed" >&2; exit 1; }

# Music-like input (noise and a sweep), encoded once and kept in the build folder.
data="$build/bench/gain-data"
if [ ! -s "$data/long.mp3" ]; then
    mkdir -p "$data"
    tmp=$(mktemp -d)
    noise_wav 240 "$tmp/piece.wav" 0.15
    lame --quiet -V 2 "$tmp/piece.wav" "$data/piece.mp3"
    for i in $(seq -w 1 20); do cp "$data/piece.mp3" "$data/song$i.mp3"; done
    sox "$tmp/piece.wav" "$tmp/piece.wav" "$tmp/piece.wav" "$tmp/piece.wav" "$tmp/piece.wav" "$tmp/hour.wav"
    sox "$tmp/hour.wav" "$tmp/hour.wav" "$tmp/hour.wav" "$tmp/hour3.wav"
    lame --quiet -b 128 "$tmp/hour3.wav" "$data/long.mp3.part"
    # A tag with padding, so that ReplayGain values fit into it.
    /usr/bin/python3 -c "import sys, mutagen.id3 as m; t = m.ID3(); t.add(m.TIT2(encoding=0, text='hour')); t.save(sys.argv[1])" \
        "$data/long.mp3.part"
    mv "$data/long.mp3.part" "$data/long.mp3"
    rm -rf "$tmp"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fresh() {  # a fresh copy of the 20 files in $work/set
    rm -rf "$work/set"
    mkdir -p "$work/set"
    cp "$data"/song*.mp3 "$work/set/"
    sync
}
timed() {  # seconds taken by the command
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
}

declare -A t
for _ in $(seq "$runs"); do
    fresh; t[gain]+="$(timed "$trimbel" gain --db 3 -j 2 "$work"/set/*.mp3) "
    fresh; t[mp3gain]+="$(timed mp3gain -q -g 2 "$work"/set/*.mp3) "
    fresh; t[rg]+="$(timed "$trimbel" gain --replaygain -j 2 "$work"/set/*.mp3) "
    fresh; t[rg1]+="$(timed "$trimbel" gain --replaygain "$work"/set/*.mp3) "
    fresh; t[loudgain]+="$(timed loudgain -q -s i "$work"/set/*.mp3) "
    cp "$data/long.mp3" "$work/long.mp3"
    t[analysis]+="$(timed "$trimbel" gain --replaygain "$work/long.mp3") "
    t[mpg123]+="$(timed mpg123 -q -s "$data/long.mp3") "
    t[normalize]+="$(timed "$trimbel" gain --normalize "$work/long.mp3") "
done
m() { echo "${t[$1]}" | tr ' ' '\n' | grep . | median; }
printf "20 x 4 min   trimbel gain --db 3 -j 2        %7.2f s\n" "$(m gain)"
printf "             mp3gain -g 2                     %7.2f s   trimbel/mp3gain  %.2fx\n" "$(m mp3gain)" "$(echo "$(m gain) / $(m mp3gain)" | bc -l)"
printf "             trimbel gain --replaygain -j 2  %7.2f s\n" "$(m rg)"
printf "             trimbel gain --replaygain -j 1  %7.2f s\n" "$(m rg1)"
printf "             loudgain -s i                    %7.2f s   trimbel/loudgain %.2fx (-j 1: %.2fx)\n" "$(m loudgain)" \
    "$(echo "$(m rg) / $(m loudgain)" | bc -l)" "$(echo "$(m rg1) / $(m loudgain)" | bc -l)"
printf "60 min       loudness + true-peak analysis    %7.2f s\n" "$(m analysis)"
printf "             mpg123 decode                    %7.2f s   analysis/mpg123  %.2fx\n" "$(m mpg123)" "$(echo "$(m analysis) / $(m mpg123)" | bc -l)"
printf "             trimbel gain --normalize (all)   %7.2f s\n" "$(m normalize)"
