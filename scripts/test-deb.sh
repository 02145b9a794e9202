#!/usr/bin/env bash
# Checks the two Debian packages built by `make deb`, each the way README installs it: lintian finds
# nothing above an info; quillmark-tools alone (the print server: no Qt) installs, its programs and the CUPS
# filter run, and it is removed; then quillmark, which pulls quillmark-tools in, runs and both are removed.
# Needs root (or sudo).
#   scripts/test-deb.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: test-deb.sh BUILD_DIR}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(Quillmark VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
build=$(cd "$build" && pwd)
tools=$build/quillmark-tools_${version}_amd64.deb
tray=$build/quillmark_${version}_amd64.deb
for deb in "$tools" "$tray"; do [ -f "$deb" ] || { echo "test-deb: $deb is missing" >&2; exit 1; }; done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
fail() { echo "test-deb: $*" >&2; exit 1; }
installed() { for f in "$@"; do [ -f "$f" ] || fail "$f is not installed"; done; }

for deb in "$tools" "$tray"; do
  echo "== lintian $(basename "$deb")"
  # Warnings and errors fail the check; the CUPS filter must lie in /usr/lib (an experimental tag).
  lintian --fail-on warning --tag-display-limit 0 "$deb"
done

export DEBIAN_FRONTEND=noninteractive
apt() { $sudo apt-get -y -q -o DPkg::Lock::Timeout=600 "$@"; }
work=$(mktemp -d)
remove() {
  apt purge quillmark quillmark-tools >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap remove EXIT

echo "== install quillmark-tools (the print server's package)"
apt install --no-install-recommends "$tools"
dpkg-query -W -f='${Depends}\n' quillmark-tools | grep -qi 'qt' && fail "quillmark-tools depends on Qt"
ldd /usr/bin/quillmark-render /usr/lib/cups/filter/quillmark-cups | grep -qi 'libQt' && fail "the tools link Qt"
[ "$(/usr/bin/quillmark-render --version)" = "quillmark-render $version" ]
/usr/bin/quillmark-render -o "$work/sample.pdf" "$source_dir/demo/sample.prn"
pdfinfo "$work/sample.pdf" | grep -q '^Pages:'
installed /usr/share/man/man1/quillmark-render.1.gz /usr/share/man/man8/quillmark-cups.8.gz \
  /usr/share/cups/mime/quillmark.types \
  /usr/share/cups/mime/quillmark.convs /usr/share/cups/model/quillmark.ppd
/usr/lib/cups/filter/quillmark-cups 1 user title 1 "quillmark-emulation=escp2" "$source_dir/demo/sample.prn" \
  >"$work/filter.pdf"
pdfinfo "$work/filter.pdf" | grep -q '^Pages:'
[ ! -e /usr/bin/quillmark ] || fail "quillmark-tools brought the tray program"
apt purge quillmark-tools >/dev/null
[ ! -e /usr/bin/quillmark-render ] || fail "quillmark-render is left after removal"

echo "== install quillmark (the desktop's package, with quillmark-tools)"
apt install --no-install-recommends "$tools" "$tray"
[ "$(/usr/bin/quillmark --version)" = "quillmark $version" ]
installed /usr/bin/quillmark-render /usr/share/man/man1/quillmark.1.gz /usr/share/applications/quillmark.desktop \
  /usr/lib/systemd/user/quillmark.service /usr/share/icons/hicolor/scalable/apps/quillmark.svg
grep -q '^ExecStart=/usr/bin/quillmark$' /usr/lib/systemd/user/quillmark.service
# Headless in an empty folder: the start-up message names the folder searched, and a start that cannot work
# ends with exit status 1.
status=0
(cd "$work" && /usr/bin/quillmark 2>"$work/err") || status=$?
[ "$status" -eq 1 ] || fail "quillmark ended with $status, not 1"
grep -q "Gesucht im Ordner '$work'" "$work/err" || fail "no Settings.ini folder in: $(cat "$work/err")"

echo "== remove"
trap - EXIT
remove
[ ! -e /usr/bin/quillmark ] && [ ! -e /usr/bin/quillmark-render ] || fail "files are left after removal"
echo "test-deb: both packages build, pass lintian, install as README says, run and are removed cleanly"
