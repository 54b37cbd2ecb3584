#!/bin/bash
# Installs what is missing, builds everything, and runs every test. Ends with ctest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/deps.sh test
bash scripts/build.sh

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/xdg-runtime-$(id -u)}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

# The Qt-free core once more under AddressSanitizer and UndefinedBehaviorSanitizer.
if [ ! -f build-asan/build.ninja ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRIMBEL_CORE_ONLY=ON \
    -DTRIMBEL_SANITIZE=ON -DTRIMBEL_BENCH=OFF >/dev/null
fi
cmake --build build-asan -j 2
ctest --test-dir build-asan -j 2 --output-on-failure --no-tests=error

# Fuzz targets: replay every kept regression input, then a short run of each from a fixed seed,
# so a run here is repeatable (longer, unseeded runs are for finding new inputs by hand).
if [ -n "$(ls fuzz/fuzz_*.cpp 2>/dev/null)" ]; then
  if [ ! -f build-fuzz/build.ninja ]; then
    CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTRIMBEL_CORE_ONLY=ON -DTRIMBEL_FUZZ=ON -DTRIMBEL_TESTS=OFF -DTRIMBEL_BENCH=OFF >/dev/null
  fi
  cmake --build build-fuzz -j 2
  for f in build-fuzz/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    mkdir -p "fuzz/regressions/$name"
    corpus=$(mktemp -d)
    "$f" -runs=0 "fuzz/regressions/$name" >/dev/null 2>&1 || {
      echo "fuzzer $name fails on a kept regression input" >&2; exit 1; }
    "$f" -seed=1 -runs=100000 -max_len=65536 "$corpus" "fuzz/regressions/$name" >/dev/null 2>&1 || {
      echo "fuzzer $name found a crash; see its output by running it again" >&2; exit 1; }
    rm -rf "$corpus"
  done
fi

# The real-player tests once without any audio device.
bash scripts/pulse.sh stop
ctest --test-dir build -j 1 -R 'RealPlayer' --output-on-failure --no-tests=error

# Everything, with PulseAudio on a null sink; the tests that play into it fail without it. The
# real-display tests start an Xvfb of their own.
bash scripts/pulse.sh start
trap 'bash scripts/pulse.sh stop' EXIT
TRIMBEL_REQUIRE_SINK=1 ctest --test-dir build -j 2 --output-on-failure --no-tests=error
