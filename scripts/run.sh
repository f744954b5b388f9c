#!/usr/bin/env bash
# Builds the metronome and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build
cmake --build build --target metronom -j "$(nproc)"
exec ./build/metronom
