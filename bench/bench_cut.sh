#!/bin/bash
# `trimbel cut` of a 60 s clip from a 30-minute MP3 beside mp3splt cutting the same range.
# Prints the median wall time of each over several runs and their ratio (lower is better for
# trimbel). Usage: bench/bench_cut.sh [runs]   (TRIMBEL_BUILD_DIR picks the build, default build/)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
runs="${1:-7}"
need_tools mp3splt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# 30 minutes of 128 kbit/s 44.1 kHz frames (FF FB 90 44, 417 bytes each) that decode as silence.
python3 - "$work/long.mp3" <<'PY'
import sys
frame = bytearray(417)
frame[0:4] = b"\xff\xfb\x90\x44"
count = round(30 * 60 * 44100 / 1152)
with open(sys.argv[1], "wb") as out:
    out.write(bytes(frame) * count)
PY

export QT_QPA_PLATFORM=offscreen
timed() {  # prints seconds taken by the command
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
}

t_trimbel=(); t_splt=()
for _ in $(seq "$runs"); do
    rm -f "$work"/clip*.mp3
    t_trimbel+=("$(timed "$trimbel" cut "$work/long.mp3" --start 600 --end 660 --output "$work/clip.mp3")")
    t_splt+=("$(timed mp3splt -q -d "$work" -o clip_splt "$work/long.mp3" 10.00 11.00)")
done
[ -s "$work/clip.mp3" ] || { echo "trimbel cut wrote no clip" >&2; exit 1; }
[ -s "$work/clip_splt.mp3" ] || { echo "mp3splt wrote no clip" >&2; exit 1; }

mt=$(printf '%s\n' "${t_trimbel[@]}" | median)
ms=$(printf '%s\n' "${t_splt[@]}" | median)
printf 'file: %s bytes, clip: 60 s from 600 s, %s runs\n' "$(stat -c %s "$work/long.mp3")" "$runs"
printf 'trimbel cut  median %.3f s  (clip %s bytes)\n' "$mt" "$(stat -c %s "$work/clip.mp3")"
printf 'mp3splt      median %.3f s  (clip %s bytes)\n' "$ms" "$(stat -c %s "$work/clip_splt.mp3")"
awk -v a="$mt" -v b="$ms" 'BEGIN { printf "ratio trimbel/mp3splt: %.2f\n", a / b }'
