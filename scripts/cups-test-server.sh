#!/usr/bin/env bash
# A private CUPS for tests: a virtual IPP printer that keeps every document it receives, behind a cupsd
# queue "Office". Everything listens on loopback only, on free ports, with all state under one directory.
#
#   scripts/cups-test-server.sh start [FILE...]  prints KEY=value lines (CUPS_SERVER, CUPS_TEST_DIR,
#                                                CUPS_TEST_RECEIVED, CUPS_TEST_PRINTER_URI); documents land in
#                                                CUPS_TEST_RECEIVED. FILEs extend this cupsd: *.types and
#                                                *.convs go to its configuration, programs are its filters.
#   scripts/cups-test-server.sh stop-cupsd DIR   stops only cupsd (the queue becomes unreachable)
#   scripts/cups-test-server.sh stop DIR         stops everything and removes DIR
#
# Clients reach the queue with CUPS_SERVER=127.0.0.1:<port> in their environment. Needs root and the
# packages cups cups-client cups-ipp-utils avahi-daemon dbus.
set -euo pipefail

die() { echo "cups-test-server: $*" >&2; exit 1; }

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_for() {  # wait_for SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Alive and not a zombie: the daemons were started by an earlier call, so whoever reaps them may be slow.
alive() { [ -r "/proc/$1/stat" ] && ! sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | grep -q '^Z'; }

kill_pidfile() {
  local file=$1
  [ -f "$file" ] || return 0
  local pid; pid=$(cat "$file")
  if kill "$pid" 2>/dev/null; then
    for _ in $(seq 50); do alive "$pid" || break; sleep 0.05; done
    alive "$pid" && kill -9 "$pid" 2>/dev/null
  fi
  rm -f "$file"
}

# A private filter folder beside the system's, so that filters under test run without being installed.
add_extra_files() {  # add_extra_files DIR FILE...
  local dir=$1 entry file; shift
  [ $# -gt 0 ] || return 0
  mkdir -p "$dir/serverbin/filter"
  for entry in /usr/lib/cups/*; do [ "${entry##*/}" = filter ] || ln -s "$entry" "$dir/serverbin/"; done
  ln -s /usr/lib/cups/filter/* "$dir/serverbin/filter/"
  for file in "$@"; do
    case "$file" in
      *.types | *.convs) install -m 0644 "$file" "$dir/etc/" ;;
      *) install -m 0755 "$file" "$dir/serverbin/filter/" ;;
    esac
  done
  echo "ServerBin $dir/serverbin" >>"$dir/etc/cups-files.conf"
}

start() {
  for tool in cupsd lpadmin lpstat ippeveprinter ipptool avahi-daemon dbus-daemon python3; do
    command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || die "$tool is not installed"
  done
  export PATH="$PATH:/usr/sbin"
  local dir; dir=$(mktemp -d /tmp/quillmark-cups.XXXXXX)
  # cupsd runs filters as lp, which must reach the spool and the configuration.
  chmod 0755 "$dir"
  mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state,log,printer,received,avahi}
  chmod -R 0755 "$dir"
  chmod 1777 "$dir/spool/tmp" "$dir/received"
  local cups_port printer_port
  cups_port=$(free_port)
  printer_port=$(free_port)
  [ "$cups_port" != "$printer_port" ] || printer_port=$(free_port)

  # 1. A private system bus for Avahi and the printer.
  cat >"$dir/dbus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/dbus.sock</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
  dbus-daemon --config-file="$dir/dbus.conf" --fork --print-pid >"$dir/dbus.pid"
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/dbus.sock"
  wait_for 5 test -S "$dir/dbus.sock" || die "the bus did not start"

  # 2. Avahi on loopback only, publishing nothing. Its pid file has a fixed place, so it gets a mount
  #    namespace of its own where that place is private (falls back to the shared one without it).
  cat >"$dir/avahi.conf" <<EOF
[server]
allow-interfaces=lo
use-ipv4=yes
use-ipv6=no
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
disable-publishing=yes
[reflector]
[rlimits]
EOF
  local avahi="avahi-daemon -f $dir/avahi.conf --no-chroot --no-drop-root --no-rlimits --no-proc-title"
  if unshare -m true 2>/dev/null; then
    setsid unshare -m sh -c "mkdir -p /run/avahi-daemon && mount -t tmpfs tmpfs /run/avahi-daemon && exec $avahi" \
      >"$dir/log/avahi.log" 2>&1 &
  else
    setsid $avahi >"$dir/log/avahi.log" 2>&1 &
  fi
  echo $! >"$dir/avahi.pid"
  wait_for 5 dbus-send --system --print-reply --dest=org.freedesktop.Avahi / \
    org.freedesktop.Avahi.Server.GetVersionString || die "Avahi did not start: $(cat "$dir/log/avahi.log")"

  # 3. The virtual printer; the store command keeps each received document under its job's name.
  cat >"$dir/store.sh" <<EOF
#!/bin/sh
n=\$(ls "$dir/received" | grep -c "\\.pdf\$")
cp "\$1" "$dir/received/job-\$((n + 1)).part" && mv "$dir/received/job-\$((n + 1)).part" "$dir/received/job-\$((n + 1)).pdf"
printf '%s\n' "\$IPP_JOB_NAME" >"$dir/received/job-\$((n + 1)).name"
EOF
  chmod 0755 "$dir/store.sh"
  setsid ippeveprinter -n localhost -p "$printer_port" -r off -d "$dir/printer" -k -c "$dir/store.sh" \
    -f application/pdf,image/pwg-raster,image/urf Office >"$dir/log/printer.log" 2>&1 &
  echo $! >"$dir/printer.pid"
  wait_for 10 ipptool -q "ipp://localhost:$printer_port/ipp/print" get-printer-attributes.test ||
    die "the virtual printer did not start: $(tail -5 "$dir/log/printer.log")"

  # 4. cupsd with every file of its own under $dir.
  # Anyone on loopback may administer it: the client tools cannot reach this cupsd's local certificate.
  cat >"$dir/etc/cupsd.conf" <<EOF
LogLevel warn
Listen 127.0.0.1:$cups_port
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  cat >"$dir/etc/cups-files.conf" <<EOF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
EOF
  add_extra_files "$dir" "$@"
  echo "$cups_port" >"$dir/cups.port"
  start_cupsd "$dir"
  CUPS_SERVER="127.0.0.1:$cups_port" lpadmin -p Office -E -v "ipp://localhost:$printer_port/ipp/print" \
    -m everywhere || die "lpadmin failed"

  echo "CUPS_SERVER=127.0.0.1:$cups_port"
  echo "CUPS_TEST_DIR=$dir"
  echo "CUPS_TEST_RECEIVED=$dir/received"
  echo "CUPS_TEST_PRINTER_URI=ipp://localhost:$printer_port/ipp/print"
}

start_cupsd() {
  local dir=$1 port; port=$(cat "$dir/cups.port")
  setsid cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" >"$dir/log/cupsd.out" 2>&1 &
  echo $! >"$dir/cupsd.pid"
  wait_for 10 env CUPS_SERVER="127.0.0.1:$port" sh -c 'lpstat -r | grep -q "is running"' ||
    die "cupsd did not start: $(tail -5 "$dir/log/error_log" "$dir/log/cupsd.out" 2>/dev/null)"
}

stop() {
  local dir=${1:?directory}
  case "$dir" in /tmp/quillmark-cups.*) ;; *) die "not a test server directory: $dir" ;; esac
  kill_pidfile "$dir/cupsd.pid"
  kill_pidfile "$dir/printer.pid"
  kill_pidfile "$dir/avahi.pid"
  kill_pidfile "$dir/dbus.pid"
  rm -rf "$dir"
}

case "${1:-}" in
  start) shift; start "$@" ;;
  stop-cupsd) kill_pidfile "${2:?directory}/cupsd.pid" ;;
  start-cupsd) start_cupsd "${2:?directory}" ;;
  stop) stop "${2:-}" ;;
  *) echo "usage: $0 start | stop-cupsd DIR | start-cupsd DIR | stop DIR" >&2; exit 2 ;;
esac
