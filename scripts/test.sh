#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test: the engine under the address/undefined-behaviour and thread
# sanitizers, then the whole suite (engine and GUI, the GUI under Qt's
# offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
for preset in asan tsan; do
  echo "== engine tests under the $preset build =="
  cmake --preset "$preset" -DVARNOTH_WERROR=ON >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" --label-regex engine
done

echo "== all tests =="
cmake --preset default -DVARNOTH_WERROR=ON >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default
