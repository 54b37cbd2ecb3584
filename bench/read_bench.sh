#!/bin/bash
# Reading the tags of 5,000 small tagged files: this program's reader beside TagLib and mutagen,
# in the same run over the same files. Prints each median pass and the ratios (>1: we are faster).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TRIMBEL_BUILD_DIR:-$root/build}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

ours=$("$build/bench/bench_readtags" "$work/files")
echo "$ours"
ours_ms=$(echo "$ours" | awk '{print $2}')

g++ -O2 -std=c++17 "$root/bench/taglib_reader.cpp" -o "$work/taglib_reader" $(pkg-config --cflags --libs taglib)
theirs=$("$work/taglib_reader" "$work/files")
echo "$theirs"
taglib_ms=$(echo "$theirs" | awk '{print $2}')

py=$(/usr/bin/python3 "$root/bench/mutagen_reader.py" "$work/files")
echo "$py"
mutagen_ms=$(echo "$py" | awk '{print $2}')

awk -v o="$ours_ms" -v t="$taglib_ms" -v m="$mutagen_ms" \
  'BEGIN { printf "TagLib / trimbel: %.2fx   mutagen / trimbel: %.2fx\n", t / o, m / o }'
