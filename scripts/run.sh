#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs the client inside the runtime folder
# <build>/runtime. There it finds its icons and theme, keeps config.db, environ.db and cache.db,
# and starts the local node node/bryndle-node as its node program (with sample threads on
# 127.0.0.1:8000). Arguments are passed to the client.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
build=$(cd "${BRYNDLE_BUILD_DIR:-build}" && pwd)
cd "$build/runtime"
exec "$build/src/app/bryndle" "$@"
