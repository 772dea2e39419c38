#!/usr/bin/env bash
# Private Firebird 3 server for the demo and the tests.
#
#   scripts/fbserver.sh start    start the private server (idempotent) and build the samples
#   scripts/fbserver.sh stop     stop it by its process id
#   scripts/fbserver.sh status   say whether it runs
#   scripts/fbserver.sh env      print the connection settings as shell assignments
#
# The instance lives in $LARKSPAN_FB_ROOT (default: <repo>/.fbserver), listens on
# 127.0.0.1:$LARKSPAN_FB_PORT (default 3057) and never touches a system-wide
# Firebird installation: it has its own firebird.conf, lock directory and
# security database, in which SYSDBA's password is "larchwood".
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/.." && pwd)"
root="${LARKSPAN_FB_ROOT:-$repo/.fbserver}"
port="${LARKSPAN_FB_PORT:-3057}"
pkgroot=/usr/lib/x86_64-linux-gnu/firebird/3.0
password=larchwood
pidfile="$root/firebird.pid"
dbdir="$root/databases"
examples=/usr/share/doc/firebird3.0-common-doc/examples/employee.sql.gz

die() { echo "fbserver: $*" >&2; exit 1; }

port_open() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

running_pid() {
  [ -f "$pidfile" ] || return 1
  local pid; pid="$(cat "$pidfile")"
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

layout() {
  mkdir -p "$root/lock" "$dbdir"
  for f in plugins lib UDF firebird.msg plugins.conf fbtrace.conf; do
    ln -sfn "$pkgroot/$f" "$root/$f"
  done
  # The character set module must be a real file under the root: reached
  # through a symbolic link, the server loads it but installs no character
  # sets in new databases ("CHARACTER SET WIN1250 is not installed").
  [ -L "$root/intl" ] && rm -f "$root/intl"
  mkdir -p "$root/intl"
  cp -f "$pkgroot/intl/libfbintl.so" "$root/intl/libfbintl.so"
  cp -f "$(readlink -f "$pkgroot/intl/fbintl.conf")" "$root/intl/fbintl.conf"
  : > "$root/databases.conf"
  cat > "$root/firebird.conf" <<CONF
RemoteBindAddress = 127.0.0.1
RemoteServicePort = $port
SecurityDatabase = $root/security3.fdb
ServerMode = Super
IpcName = larkspan_$port
CONF
  if [ ! -f "$root/security3.fdb" ]; then
    if [ -f /var/lib/firebird/3.0/system/security3.fdb ]; then
      cp /var/lib/firebird/3.0/system/security3.fdb "$root/security3.fdb"
    else
      FIREBIRD="$root" FIREBIRD_LOCK="$root/lock" isql-fb -q \
        -i /usr/share/firebird/3.0/security.sql "$root/security3.fdb" >/dev/null \
        || die "cannot build the security database"
    fi
    chmod 600 "$root/security3.fdb"
  fi
  echo "create or alter user SYSDBA password '$password'; commit;" |
    FIREBIRD="$root" FIREBIRD_LOCK="$root/lock" isql-fb -q -user SYSDBA "$root/security3.fdb" >/dev/null \
    || die "cannot set SYSDBA's password in $root/security3.fdb"
}

# Builds one employee sample through the running server.
make_sample() {
  local dialect="$1" file="$2"
  [ -f "$file" ] && return 0
  local tmp; tmp="$(mktemp)"
  # The script creates the database at the path it names; point it at ours.
  zcat "$examples" |
    sed -e "s|^create database .*|create database 'localhost/$port:$file' user 'SYSDBA' password '$password';|I" \
        -e "s|^set sql dialect .*;|set sql dialect $dialect;|I" > "$tmp"
  if ! ISC_USER=SYSDBA ISC_PASSWORD="$password" isql-fb -q -i "$tmp" >"$root/sample$dialect.log" 2>&1; then
    rm -f "$tmp" "$file"; die "building $file failed, see $root/sample$dialect.log"
  fi
  rm -f "$tmp"
}

start() {
  if pid="$(running_pid)"; then
    port_open || die "server process $pid exists but port $port does not answer"
    echo "fbserver: already running (pid $pid, port $port)"
  else
    if port_open; then
      die "port $port is already in use by another program; set LARKSPAN_FB_PORT to a free port"
    fi
    rm -f "$pidfile"
    # A lock directory left by a killed server would confuse the new one.
    rm -rf "$root/lock"
    layout
    FIREBIRD="$root" FIREBIRD_LOCK="$root/lock" nohup /usr/sbin/firebird >"$root/server.log" 2>&1 &
    echo $! > "$pidfile"
    for _ in $(seq 1 100); do
      port_open && break
      kill -0 "$(cat "$pidfile")" 2>/dev/null || die "server exited at start, see $root/server.log"
      sleep 0.1
    done
    port_open || { stop; die "server did not open port $port within 10 s"; }
    echo "fbserver: started (pid $(cat "$pidfile"), port $port)"
  fi
  make_sample 3 "$dbdir/employee3.fdb"
  make_sample 1 "$dbdir/employee1.fdb"
  write_env
}

write_env() {
  cat > "$root/env.sh" <<ENV
LARKSPAN_FB_SERVER=localhost/$port
LARKSPAN_FB_ROOT=$root
LARKSPAN_EMPLOYEE_D1=$dbdir/employee1.fdb
LARKSPAN_EMPLOYEE_D3=$dbdir/employee3.fdb
LARKSPAN_FB_USER=SYSDBA
LARKSPAN_FB_PASSWORD=$password
ENV
}

stop() {
  if pid="$(running_pid)"; then
    kill "$pid"
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid"
    echo "fbserver: stopped (pid $pid)"
  else
    echo "fbserver: not running"
  fi
  rm -f "$pidfile"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) if pid="$(running_pid)"; then echo "running (pid $pid, port $port)"; else echo "not running"; exit 1; fi ;;
  env) write_env; cat "$root/env.sh" ;;
  *) echo "usage: $0 start|stop|status|env" >&2; exit 2 ;;
esac
