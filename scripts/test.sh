#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test, also under the sanitizers, and fuzzes the readers.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
(cd build && ctest --output-on-failure --parallel "$(nproc)" --timeout 600)
# The same tests under the sanitizers, then every reader of outside bytes fuzzed for a minute.
bash scripts/sanitize.sh
bash scripts/fuzz.sh
