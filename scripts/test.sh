#!/usr/bin/env bash
# Sets up, builds and runs every test; ends with ctest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=${BRYNDLE_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
cd "$build"
exec ctest --output-on-failure -j "$(nproc)"
