#!/usr/bin/env bash
# The demo download server and analytics collector, on 127.0.0.1 only.
#
#   demo_server.sh start STATE_DIR PACKAGE [RATE]
#                                            start both; prints the settings.
#                                            RATE limits each download
#                                            connection ("400k"), so a local
#                                            download shows its progress
#   demo_server.sh stop STATE_DIR            stop both (only the processes it started)
#   demo_server.sh events STATE_DIR          the records the collector received
#
# nginx serves PACKAGE the way the maker's download server does: the package
# URL "/software/222" answers with a redirect to "/<md5>/VanteloPDFconverter_setup.exe",
# so the installer finds the digest in the final URL. The collector
# (testing/collector/collector.py) stands beside it. "start" writes
# STATE_DIR/server.env with DOWNLOAD_URL, COLLECTOR_URL, COLLECTOR_CONTROL and
# the pids, and prints the same lines.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

find_nginx() {
  for candidate in "$(command -v nginx 2>/dev/null || true)" /usr/sbin/nginx /sbin/nginx; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && { echo "$candidate"; return; }
  done
  echo "demo_server: nginx not found (install nginx-light)" >&2
  exit 1
}

start() {
  local state=$1 package=$2 rate=${3:-0}
  [ -f "$package" ] || { echo "demo_server: no package at $package" >&2; exit 1; }
  mkdir -p "$state"
  state=$(cd "$state" && pwd)
  stop "$state" 2>/dev/null || true
  local md5 port name=VanteloPDFconverter_setup.exe
  md5=$(md5sum "$package" | cut -d' ' -f1)
  rm -rf "$state/www" "$state/nginx"
  mkdir -p "$state/www/$md5" "$state/nginx/tmp"
  cp "$package" "$state/www/$md5/$name"
  port=$(free_port)
  local user_line=""
  # nginx started by root hands its workers to "nobody", who may not reach a
  # build folder under a private home; keep them as the caller.
  if [ "$(id -u)" -eq 0 ]; then user_line="user root root;"; fi
  cat >"$state/nginx/nginx.conf" <<CONF
$user_line
worker_processes 1;
pid $state/nginx/nginx.pid;
error_log $state/nginx/error.log;
events { worker_connections 64; }
http {
  access_log $state/nginx/access.log;
  client_body_temp_path $state/nginx/tmp/body;
  proxy_temp_path $state/nginx/tmp/proxy;
  fastcgi_temp_path $state/nginx/tmp/fastcgi;
  uwsgi_temp_path $state/nginx/tmp/uwsgi;
  scgi_temp_path $state/nginx/tmp/scgi;
  default_type application/octet-stream;
  server {
    listen 127.0.0.1:$port;
    root $state/www;
    limit_rate $rate;
    location = /software/222 { return 302 http://127.0.0.1:$port/$md5/$name; }
    location / { }
  }
}
CONF
  "$(find_nginx)" -p "$state/nginx" -e "$state/nginx/error.log" -c "$state/nginx/nginx.conf"
  for _ in $(seq 50); do [ -s "$state/nginx/nginx.pid" ] && break; sleep 0.1; done

  local collector_url="" control_url="" collector_pid=""
  if [ -f "$ROOT/testing/collector/collector.py" ]; then
    rm -f "$state/collector.ports"
    python3 "$ROOT/testing/collector/collector.py" --port-file "$state/collector.ports" \
      >"$state/collector.log" 2>&1 &
    collector_pid=$!
    for _ in $(seq 50); do [ -s "$state/collector.ports" ] && break; sleep 0.1; done
    if [ -s "$state/collector.ports" ]; then
      read -r upload control <"$state/collector.ports"
      collector_url="http://127.0.0.1:$upload/sa?project=pc"
      control_url="http://127.0.0.1:$control"
    fi
  fi
  cat >"$state/server.env" <<ENV
DOWNLOAD_URL=http://127.0.0.1:$port/software/222
PACKAGE_URL=http://127.0.0.1:$port/$md5/$name
PACKAGE_MD5=$md5
COLLECTOR_URL=$collector_url
COLLECTOR_CONTROL=$control_url
NGINX_PID=$(cat "$state/nginx/nginx.pid")
COLLECTOR_PID=$collector_pid
ENV
  cat "$state/server.env"
}

stop() {
  local state=$1
  [ -f "$state/server.env" ] || return 0
  local NGINX_PID="" COLLECTOR_PID="" COLLECTOR_CONTROL=""
  # shellcheck disable=SC1091
  . "$state/server.env"
  if [ -n "$COLLECTOR_CONTROL" ]; then
    curl -s -m 2 -X POST "$COLLECTOR_CONTROL/quit" >/dev/null 2>&1 || true
  fi
  if [ -n "$COLLECTOR_PID" ]; then kill "$COLLECTOR_PID" 2>/dev/null || true; fi
  if [ -n "$NGINX_PID" ]; then kill -QUIT "$NGINX_PID" 2>/dev/null || true; fi
  for _ in $(seq 30); do kill -0 "$NGINX_PID" 2>/dev/null || break; sleep 0.1; done
  rm -f "$state/server.env"
}

events() {
  local state=$1 COLLECTOR_CONTROL=""
  # shellcheck disable=SC1091
  . "$state/server.env"
  [ -n "$COLLECTOR_CONTROL" ] || { echo "(no collector running)"; return 0; }
  curl -s -m 5 "$COLLECTOR_CONTROL/state.txt"
}

case "${1:-}" in
  start) [ $# -eq 3 ] || [ $# -eq 4 ] || { echo "usage: $0 start STATE_DIR PACKAGE [RATE]" >&2; exit 2; }
    start "$2" "$3" "${4:-0}" ;;
  stop) [ $# -eq 2 ] || { echo "usage: $0 stop STATE_DIR" >&2; exit 2; }; stop "$2" ;;
  events) [ $# -eq 2 ] || { echo "usage: $0 events STATE_DIR" >&2; exit 2; }; events "$2" ;;
  *) echo "usage: $0 start STATE_DIR PACKAGE [RATE] | stop STATE_DIR | events STATE_DIR" >&2; exit 2 ;;
esac
