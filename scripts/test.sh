#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test, also under the sanitizers, and fuzzes the readers.
# Each step's time is printed at its end, and all of them at the end of the run.
set -euo pipefail
cd "$(dirname "$0")/.."

times=()
step() { # <name> <command...>
  local name="$1" start
  shift
  start=$(date +%s)
  "$@"
  times+=("$name $(($(date +%s) - start)) s")
  echo "test.sh: $name: $(($(date +%s) - start)) s"
}
run_tests() { (cd build && ctest --output-on-failure --parallel "$(nproc)" --timeout 600); }

step setup bash scripts/setup.sh
step build bash scripts/build.sh
step tests run_tests
# The same tests under the sanitizers, then every reader of outside bytes fuzzed for a minute.
step sanitize bash scripts/sanitize.sh
step fuzz bash scripts/fuzz.sh
echo "test.sh: times of the steps, in order:"
printf '  %s\n' "${times[@]}"
