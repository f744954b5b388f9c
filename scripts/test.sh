#!/usr/bin/env bash
# Builds the metronome with its tests (warnings as errors) and runs them all.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer,
#                               in build-asan/
#   scripts/test.sh --tsan      the engine, Link mapping and sound tests and the PulseAudio output under
#                               ThreadSanitizer, in build-tsan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
jobs=$(nproc)
case ${1:-} in
  "")
    cmake -S . -B build -DBUILD_TESTING=ON -DMETRONOM_WERROR=ON
    cmake --build build -j "$jobs"
    ctest --test-dir build --output-on-failure -j "$jobs"
    ;;
  --sanitize)
    cmake -S . -B build-asan -DBUILD_TESTING=ON -DMETRONOM_WERROR=ON -DMETRONOM_SANITIZE=ON
    cmake --build build-asan -j "$jobs"
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
    ;;
  --tsan)
    cmake -S . -B build-tsan -DBUILD_TESTING=ON -DMETRONOM_WERROR=ON -DMETRONOM_TSAN=ON
    cmake --build build-tsan -j "$jobs" --target engine_tests sync_tests sound_tests pulse_output_check analyze_beats pw_recorder
    SDL_AUDIODRIVER=dummy build-tsan/tests/engine/engine_tests
    build-tsan/tests/sync/sync_tests
    # The SDL fallback test starts PulseAudio's client library, whose own thread synchronisation
    # ThreadSanitizer cannot see: reports inside it are suppressed, as for the output check below.
    SDL_AUDIODRIVER=dummy TSAN_OPTIONS="suppressions=$PWD/tests/sound/tsan-pulse.supp" build-tsan/tests/sound/sound_tests
    # The PulseAudio and PipeWire outputs' threads against private servers (skipped where there are
    # none).
    ctest --test-dir build-tsan --output-on-failure -R '^sound[.](pulse|pipewire)_output$'
    ;;
  *)
    echo "usage: scripts/test.sh [--sanitize | --tsan]" >&2
    exit 1
    ;;
esac
