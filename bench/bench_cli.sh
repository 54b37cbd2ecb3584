#!/bin/bash
# The command line beside the lean tools it should match, side by side in one run:
#   trimbel info on a small file     vs a QtCore-only "hello"           (aim: within 1.5x, <= 8 MiB)
#   trimbel cut, 60 s of a 30-minute  vs mp3splt on the same range       (aim: no slower)
#   trimbel tag, an edit that fits    vs a minimal TagLib program that   (aim: within 1.5x)
#     the padding of a 200 MB file       also flushes the file to disk
# Runs are interleaved; prints the median and fastest wall time and the peak memory of each, and
# the ratios.
# Usage: bench/bench_cli.sh [runs]   (TRIMBEL_BUILD_DIR picks the build, default build/)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
runs="${1:-11}"
need_tools mp3splt lame sox python3 pkg-config /usr/bin/time

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The encoded inputs take a while to make: kept between runs beside the build.
data="$build/bench-cli-data"
mkdir -p "$data"

g++ -O2 -std=c++17 -fPIC "$root/bench/qtcore_hello.cpp" -o "$work/qtcore_hello" $(pkg-config --cflags --libs Qt6Core)
g++ -O2 -std=c++17 "$root/bench/taglib_tagedit.cpp" -o "$work/taglib_tagedit" $(pkg-config --cflags --libs taglib)

# Music-like input (a chord with a slow tremolo) through lame: 10 s for info, 30 minutes to cut.
encode() {  # seconds output
    [ -s "$2" ] && return
    sox -q -n -r 44100 -c 2 -b 16 -t wav - synth "$1" sine 220 sine 277 tremolo 3 60 vol 0.5 |
        lame --quiet -b 128 -q 7 - "$2.part" && mv "$2.part" "$2"
}
echo "preparing the input files in $data ..." >&2
encode 10 "$data/small.mp3"
encode 1800 "$data/long.mp3"
# 200 MB of audio behind an ID3v2.3 tag with 4 KiB of padding, so a short title fits in place.
if [ ! -s "$data/big.mp3" ]; then
    python3 - "$data/long.mp3" "$data/big.mp3" <<'PY'
import struct, sys
audio = open(sys.argv[1], "rb").read()
title = b"\x00" + b"Before"
frame = b"TIT2" + struct.pack(">I", len(title)) + b"\x00\x00" + title
body = frame + bytes(4096)
size = bytes(((len(body) >> s) & 0x7F) for s in (21, 14, 7, 0))
with open(sys.argv[2] + ".part", "wb") as out:
    out.write(b"ID3\x03\x00\x00" + size + body)
    while out.tell() < 200 * 1000 * 1000:
        out.write(audio)
PY
    mv "$data/big.mp3.part" "$data/big.mp3"
fi
cp "$data/big.mp3" "$work/big_trimbel.mp3"
cp "$data/big.mp3" "$work/big_taglib.mp3"

python3 - "$runs" "$trimbel" "$work" "$data" <<'PY'
import os, statistics, subprocess, sys, time
runs, trimbel, work, data = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")

def run(cmd, before=None):
    """Wall seconds of one run; fails loudly on a failed run."""
    if before: before()
    start = time.perf_counter()
    proc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    took = time.perf_counter() - start
    if proc.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(cmd), proc.stderr.decode(errors="replace")))
    return took, cmd, before

def peak_rss(sample):
    """Peak resident memory (MiB) of a run, from /usr/bin/time: a child forked from this
    interpreter would report the interpreter's memory as its own."""
    _, cmd, before = sample
    if before: before()
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, env=env, check=True)
    return int(out.stderr.decode().strip().splitlines()[-1]) / 1024

def remove(*names):
    def clean():
        for name in names:
            for f in os.listdir(work):
                if f.startswith(name): os.remove(os.path.join(work, f))
    return clean

titles = iter(range(10**6))
def title():  # a new value each run, always the same length, so every run really writes
    return "Run %06d" % next(titles)

pairs = [
    ("info, small file", ("trimbel info", lambda: run([trimbel, "info", data + "/small.mp3"])),
     ("QtCore hello", lambda: run([work + "/qtcore_hello"])), 1.5),
    ("cut 60 s of 30 min", ("trimbel cut", lambda: run([trimbel, "cut", data + "/long.mp3", "--start", "600",
                                                        "--end", "660", "--output", work + "/clip.mp3"],
                                                       remove("clip.mp3"))),
     ("mp3splt", lambda: run(["mp3splt", "-q", "-d", work, "-o", "splt", data + "/long.mp3", "10.00", "11.00"],
                             remove("splt"))), 1.0),
    ("tag edit, 200 MB", ("trimbel tag", lambda: run([trimbel, "tag", work + "/big_trimbel.mp3", "--title", title()])),
     ("TagLib + fsync", lambda: run([work + "/taglib_tagedit", work + "/big_taglib.mp3", title()])), 1.5),
]

print("%d runs each, interleaved; median (and fastest) wall time, peak RSS" % runs)
for label, (ours_name, ours), (peer_name, peer), aim in pairs:
    ours_runs, peer_runs = [], []
    ours(); peer()  # warm the page cache and the dynamic loader
    for _ in range(runs):
        ours_runs.append(ours())
        peer_runs.append(peer())
    o = statistics.median(t for t, _, _ in ours_runs)
    p = statistics.median(t for t, _, _ in peer_runs)
    o_min = min(t for t, _, _ in ours_runs)
    p_min = min(t for t, _, _ in peer_runs)
    o_rss = peak_rss(ours_runs[0])
    p_rss = peak_rss(peer_runs[0])
    # The fastest run shows the cost with the least noise from a busy machine.
    print("%-20s %-14s %7.2f ms (min %6.2f) %5.1f MiB | %-14s %7.2f ms (min %6.2f) %5.1f MiB | "
          "ratio %.2f (min %.2f, aim <= %.1f)"
          % (label, ours_name, o * 1e3, o_min * 1e3, o_rss, peer_name, p * 1e3, p_min * 1e3, p_rss,
             o / p, o_min / p_min, aim))
PY
ls -l "$work"/clip.mp3 "$work"/splt*.mp3 2>/dev/null | awk '{print "  " $5 " bytes  " $9}' || true
