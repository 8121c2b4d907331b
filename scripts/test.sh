#!/usr/bin/env bash
# Sets up and builds; runs the interface and configuration tests under ja_JP.UTF-8 and the
# configuration tests under de_DE.UTF-8 (the users' locales), then every test under C.UTF-8.
# Ends with ctest's summary of the whole suite; fails if any of the runs failed.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=${BRYNDLE_BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
unset LANGUAGE LC_ALL
cd "$build"
status=0
run() {
    echo "== ctest under $1${2:+ (labels $2)}"
    LANG=$1 LC_ALL=$1 ctest --output-on-failure --no-label-summary -j "$(nproc)" ${2:+-L "$2"} ||
        status=1
}
run ja_JP.UTF-8 'ui|config'
run de_DE.UTF-8 config
# Last, so that the final line is the summary of the whole suite.
run C.UTF-8
exit "$status"
