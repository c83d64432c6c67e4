#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test: engine and GUI in the debug build (assertions on) under the
# address/undefined-behaviour sanitizers, the engine under the thread
# sanitizer, then the whole suite in the release build (the GUI under Qt's
# offscreen platform).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
echo "== engine and GUI tests in the debug build under the asan preset =="
cmake --preset asan -DVARNOTH_WERROR=ON >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan

echo "== engine tests under the tsan build =="
cmake --preset tsan -DVARNOTH_WERROR=ON >/dev/null
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan --label-regex engine

echo "== all tests =="
cmake --preset default -DVARNOTH_WERROR=ON >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default
