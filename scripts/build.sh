#!/bin/bash
# Configures and builds the project in build/ (2 parallel jobs).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TRIMBEL_BUILD_DIR:-$root/build}"
# Configuring every time is quick, and picks up packages installed since (the test command adds
# GoogleTest to a tree first built by the run command).
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
else
  cmake "$build" >/dev/null
fi
cmake --build "$build" -j 2
