#!/usr/bin/env bash
# Builds the metronome and what `cmake --install build` installs with it, and starts it.
#   scripts/run.sh --build-only   builds, and does not start it
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build
cmake --build build --target metronom_installed_files -j "$(nproc)"
[ "${1:-}" = --build-only ] && exit 0
exec ./build/metronom
