#!/bin/bash
# Installs what is needed, builds the Linux plug-ins and plughost, and runs the
# demo script examples/demo.phs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ "${PLUGKIT_SKIP_INSTALL:-0}" != 1 ]; then bash scripts/setup.sh; fi
cmake --preset linux >/dev/null
cmake --build build/linux -j "$(nproc)"
cd examples
exec ../build/linux/bin/plughost demo.phs
