#!/usr/bin/env bash
# A virtual X display with a tray host, for the desktop tests and for trying the program by hand.
#   xvfb-session.sh start DIR [--no-tray]   prints the display (":N"); DIR keeps the state
#   xvfb-session.sh stop DIR
# Clients should use XDG_RUNTIME_DIR=DIR/runtime (made with mode 0700).
set -euo pipefail

command=${1:-}
dir=${2:-}
if [ -z "$command" ] || [ -z "$dir" ]; then
  echo "usage: $0 start DIR [--no-tray] | stop DIR" >&2
  exit 2
fi

stop_pid() {
  local file=$1
  [ -f "$file" ] || return 0
  local pid
  pid=$(cat "$file")
  rm -f "$file"
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}

case "$command" in
  start)
    mkdir -p "$dir/runtime"
    chmod 0700 "$dir/runtime"
    rm -f "$dir/display"
    # -displayfd lets the server pick a free display number; a fixed one collides with other sessions.
    # -noreset: a reset when the last client leaves re-creates the sockets, and a client connecting then fails.
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    # Generous limits: on a loaded machine both servers can take seconds to come up.
    deadline=$((SECONDS + 30))
    while [ ! -s "$dir/display" ] && [ $SECONDS -lt $deadline ] && kill -0 "$(cat "$dir/xvfb.pid")" 2>/dev/null; do
      sleep 0.05
    done
    if [ ! -s "$dir/display" ]; then
      echo "Xvfb did not start: $(tail -n 3 "$dir/xvfb.log")" >&2
      stop_pid "$dir/xvfb.pid"
      exit 1
    fi
    display=":$(head -n1 "$dir/display")"
    export DISPLAY=$display XDG_RUNTIME_DIR=$dir/runtime
    if [ "${3:-}" != "--no-tray" ]; then
      trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --transparent false --tint 0x888888 >"$dir/trayer.log" 2>&1 &
      echo $! >"$dir/trayer.pid"
      # The tray is usable once its panel window is mapped.
      deadline=$((SECONDS + 30))
      until xdotool search --onlyvisible --class trayer >/dev/null 2>&1 || [ $SECONDS -ge $deadline ]; do
        sleep 0.05
      done
      if ! xdotool search --onlyvisible --class trayer >/dev/null 2>&1; then
        echo "trayer did not start: $(tail -n 3 "$dir/trayer.log")" >&2
        stop_pid "$dir/trayer.pid"
        stop_pid "$dir/xvfb.pid"
        exit 1
      fi
    fi
    echo "$display"
    ;;
  stop)
    stop_pid "$dir/trayer.pid"
    stop_pid "$dir/xvfb.pid"
    ;;
  *)
    echo "unknown command: $command" >&2
    exit 2
    ;;
esac
