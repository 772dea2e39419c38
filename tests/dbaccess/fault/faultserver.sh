#!/usr/bin/env bash
# A private Firebird server for the fault tests, which kill it and start it
# again; it never is the shared server of scripts/fbserver.sh.
#
#   faultserver.sh start ROOT   start (or start again) the server living in ROOT
#   faultserver.sh stop ROOT    stop it
#
# The first start picks a free port from 3157 up and keeps it in ROOT/port,
# so the server comes back at the same address after a kill.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../../.." && pwd)"
cmd="${1:-}"
root="${2:-}"
[ -n "$root" ] || { echo "usage: $0 start|stop ROOT" >&2; exit 2; }
mkdir -p "$root"

port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# A killed server nobody has reaped yet is a zombie: it still answers kill -0,
# so the pid file would pass for a running server.
forget_dead_server() {
  local pidfile="$root/firebird.pid" pid state
  [ -f "$pidfile" ] || return 0
  pid="$(cat "$pidfile")"
  state="$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null || true)"
  if [ -z "$state" ] || [ "$state" = Z ]; then rm -f "$pidfile"; fi
}

if [ -f "$root/port" ]; then
  port="$(cat "$root/port")"
else
  port=3157
  while port_open "$port"; do port=$((port + 1)); done
  echo "$port" > "$root/port"
fi

case "$cmd" in
  start)
    forget_dead_server
    # A port that a killed server held can take a moment to be free again.
    for _ in $(seq 1 50); do
      if [ -f "$root/firebird.pid" ] || ! port_open "$port"; then break; fi
      sleep 0.1
    done
    # Another program took the port meanwhile: move to a free one.
    if [ ! -f "$root/firebird.pid" ] && port_open "$port"; then
      while port_open "$port"; do port=$((port + 1)); done
      echo "$port" > "$root/port"
    fi
    LARKSPAN_FB_ROOT="$root" LARKSPAN_FB_PORT="$port" "$repo/scripts/fbserver.sh" start ;;
  stop)
    forget_dead_server
    LARKSPAN_FB_ROOT="$root" LARKSPAN_FB_PORT="$port" "$repo/scripts/fbserver.sh" stop ;;
  *) echo "usage: $0 start|stop ROOT" >&2; exit 2 ;;
esac
