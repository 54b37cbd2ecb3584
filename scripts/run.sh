#!/bin/bash
# Installs what is missing, builds, and starts Trimbel with the given arguments.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/deps.sh" build
bash "$root/scripts/build.sh" >&2
exec "$root/build/src/trimbel" "$@"
