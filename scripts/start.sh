#!/usr/bin/env bash
# Installs what is needed, builds, and starts Tavelin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec ./build/Tavelin
