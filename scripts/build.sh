#!/usr/bin/env bash
# Configures and builds both programs, the tests and the benchmarks into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Headers added since the last build are only found by a fresh scan for Q_OBJECT classes.
rm -rf build/tvcore_autogen
cmake --build build --parallel "$(nproc)"
