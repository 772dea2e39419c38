#!/usr/bin/env bash
# Installs what is missing, builds, starts the private Firebird server with
# the sample databases and launches the demo pre-filled to connect to the
# dialect 1 sample.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target larkspan-demo
scripts/fbserver.sh start
. .fbserver/env.sh
# The demo finds employee.ini in the folder it is started from.
cd "$repo/app"
exec "$repo/build/larkspan-demo" --server "$LARKSPAN_FB_SERVER" --path "$LARKSPAN_EMPLOYEE_D1" "$@"
