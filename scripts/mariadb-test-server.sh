#!/bin/sh
# A private MariaDB server on the loopback interface for the database tests
# and the demo: its own data folder, a free port, a test account.
#
# Usage:
#   eval "$(scripts/mariadb-test-server.sh start DIR)"
#       Creates DIR (data, socket, pid file, log) when needed, starts the
#       server unless the one of DIR already runs, and prints the export lines
#       of OXSMS_MYSQL_HOST, OXSMS_MYSQL_PORT, OXSMS_MYSQL_USER and
#       OXSMS_MYSQL_PASSWORD. The account may create and drop schemas.
#   scripts/mariadb-test-server.sh stop DIR
#       Stops exactly the server started for DIR (its pid file) and waits for it.
#
# Needs no systemd: runs the server binary directly, also as root (CI).
set -eu

usage() {
  echo "usage: $0 start|stop DIR" >&2
  exit 2
}
[ $# -eq 2 ] || usage
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
data=$dir/data
pidfile=$dir/mariadbd.pid
envfile=$dir/env.sh
logfile=$dir/mariadbd.log
test_user=oxsms_test

# The Unix socket path is limited to about 100 bytes; a deep DIR gets a short
# link in /tmp that points to it.
sockfile() {
  sock=$dir/mariadbd.sock
  if [ ${#sock} -gt 100 ]; then
    if [ ! -e "$dir/sockdir" ]; then
      ln -s "$(mktemp -d /tmp/oxsms-mdb-XXXXXX)" "$dir/sockdir"
    fi
    sock=$(readlink "$dir/sockdir")/mariadbd.sock
  fi
  printf '%s' "$sock"
}

server_pid() {
  [ -f "$pidfile" ] || return 1
  pid=$(cat "$pidfile")
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
  # Only our server: the process must be a mariadbd on our data folder.
  tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -q -- "--datadir=$data" || return 1
  printf '%s' "$pid"
}

free_port() {
  for py in /usr/bin/python3 python3; do
    if command -v "$py" >/dev/null 2>&1; then
      "$py" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
      return 0
    fi
  done
  # Without Python: a random high port that nothing listens on.
  while :; do
    port=$(( 20000 + $(od -An -N2 -tu2 /dev/urandom | tr -d ' ') % 40000 ))
    if ! (ss -ltn 2>/dev/null | grep -q ":$port "); then
      echo "$port"
      return 0
    fi
  done
}

start() {
  if server_pid >/dev/null && [ -f "$envfile" ]; then
    cat "$envfile"
    return 0
  fi
  rm -f "$pidfile"
  sock=$(sockfile)
  if [ ! -d "$data/mysql" ]; then
    mkdir -p "$data"
    mariadb-install-db --no-defaults --user=root --basedir=/usr --datadir="$data" \
      --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 || {
      echo "mariadb-test-server.sh: mariadb-install-db failed, see $dir/install.log" >&2
      exit 1
    }
  fi
  port=$(free_port)
  # setsid: the server outlives the shell that started it and gets no signal
  # meant for that shell's process group.
  setsid mariadbd --no-defaults --user=root --datadir="$data" --bind-address=127.0.0.1 \
    --port="$port" --socket="$sock" --pid-file="$pidfile" --log-error="$logfile" \
    --skip-name-resolve --innodb-buffer-pool-size=64M --skip-log-bin \
    </dev/null >/dev/null 2>&1 &
  tries=0
  until mariadb-admin --no-defaults --socket="$sock" -uroot ping >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ $tries -gt 120 ]; then
      echo "mariadb-test-server.sh: the server did not start, see $logfile" >&2
      exit 1
    fi
    sleep 0.25
  done
  password=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
  mariadb --no-defaults --socket="$sock" -uroot <<SQL
CREATE OR REPLACE USER '$test_user'@'127.0.0.1' IDENTIFIED BY '$password';
CREATE OR REPLACE USER '$test_user'@'localhost' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$test_user'@'127.0.0.1';
GRANT ALL PRIVILEGES ON *.* TO '$test_user'@'localhost';
FLUSH PRIVILEGES;
SQL
  cat >"$envfile" <<ENV
export OXSMS_MYSQL_HOST=127.0.0.1
export OXSMS_MYSQL_PORT=$port
export OXSMS_MYSQL_USER=$test_user
export OXSMS_MYSQL_PASSWORD=$password
ENV
  cat "$envfile"
}

stop() {
  if ! pid=$(server_pid); then
    rm -f "$pidfile" "$envfile"
    return 0
  fi
  kill -TERM "$pid"
  tries=0
  while kill -0 "$pid" 2>/dev/null; do
    tries=$((tries + 1))
    if [ $tries -gt 240 ]; then
      echo "mariadb-test-server.sh: server $pid did not stop" >&2
      exit 1
    fi
    sleep 0.25
  done
  rm -f "$pidfile" "$envfile"
  if [ -L "$dir/sockdir" ]; then
    rm -rf "$(readlink "$dir/sockdir")" "$dir/sockdir"
  fi
}

case $action in
  start) start ;;
  stop) stop ;;
  *) usage ;;
esac
