"""mutagen peer for read_bench.sh: reads the ID3v2 and ID3v1 tags of every .mp3 in a folder and
prints the median time of one pass."""
import os
import sys
import time

from mutagen.id3 import ID3, ParseID3v1, ID3NoHeaderError

folder = sys.argv[1]
paths = [os.path.join(folder, n) for n in os.listdir(folder) if n.endswith(".mp3")]
times = []
checksum = 0
for _ in range(5):
    start = time.perf_counter()
    for path in paths:
        try:
            tag = ID3(path, load_v1=False)
            checksum += len(str(tag.get("TIT2", ""))) + len(str(tag.get("TPE1", "")))
        except ID3NoHeaderError:
            pass
        with open(path, "rb") as f:
            f.seek(-128, 2)
            v1 = ParseID3v1(f.read(128))
            if v1 and "TIT2" in v1:
                checksum += len(str(v1["TIT2"]))
    times.append((time.perf_counter() - start) * 1000)
times.sort()
print("mutagen %.1f ms for %d files (checksum %d)" % (times[2], len(paths), checksum))
