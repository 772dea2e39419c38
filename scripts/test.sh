#!/usr/bin/env bash
# Installs what is missing, builds, starts the private Firebird server with
# the sample databases and runs the whole test suite through ctest.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
scripts/fbserver.sh start
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
