#!/usr/bin/env bash
# Installs what is missing, builds the viewer and starts it on a bundled sample log.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target varnoth varnoth_resources
exec build/default/bin/varnoth "$PWD/build/default/bin/samples/sample.log" "$@"
