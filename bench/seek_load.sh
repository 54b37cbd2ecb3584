#!/bin/bash
# Runs a command on a busy machine: a busy loop per core and a large file copied over and over
# (reads and writes competing with the player's), all stopped when the command ends.
#
#   bench/seek_load.sh build/bench/bench_playback --seek
set -uo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/trimbel-load.XXXXXX")
pids=()
stop_load() {
  # Each load runs in a process group of its own, so its children (a cp) stop with it.
  for pid in "${pids[@]}"; do kill -- "-$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap stop_load EXIT
# 1.5 GB of data to copy: more than the page cache keeps next to everything else.
dd if=/dev/urandom of="$work/source" bs=1M count=1536 status=none
for _ in $(seq "$(nproc)"); do
  setsid bash -c 'while :; do :; done' &
  pids+=($!)
done
setsid bash -c "while :; do cp '$work/source' '$work/copy' && sync '$work/copy' && rm -f '$work/copy'; done" &
pids+=($!)
sleep 2
echo "load: $(nproc) busy loops and a 1.5 GB copy loop; load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$@"
status=$?
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
