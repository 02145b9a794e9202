#!/usr/bin/env bash
# Checks the Debian package built by `make deb`: lintian finds no errors, apt-get installs it with its
# dependencies, the installed programs run, and it is removed again. Needs root (or sudo).
#   scripts/test-deb.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: test-deb.sh BUILD_DIR}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^project(Quillmark VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
deb=$(cd "$build" && pwd)/quillmark_${version}_amd64.deb
[ -f "$deb" ] || { echo "test-deb: $deb is missing" >&2; exit 1; }
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

echo "== lintian $deb"
# Errors fail the check; warnings are shown.
lintian --fail-on error --tag-display-limit 0 "$deb"

echo "== install"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 "$deb"
work=$(mktemp -d)
remove() {
  $sudo apt-get remove -y -q -o DPkg::Lock::Timeout=600 quillmark >/dev/null || true
  rm -rf "$work"
}
trap remove EXIT

echo "== installed programs"
[ "$(/usr/bin/quillmark --version)" = "quillmark $version" ]
/usr/bin/quillmark-render -o "$work/sample.pdf" "$source_dir/demo/sample.prn"
pdfinfo "$work/sample.pdf" | grep -q '^Pages:'
for f in /usr/share/man/man1/quillmark.1.gz /usr/share/man/man1/quillmark-render.1.gz \
         /usr/share/applications/quillmark.desktop /usr/lib/systemd/user/quillmark.service \
         /usr/share/icons/hicolor/scalable/apps/quillmark.svg; do
  [ -f "$f" ] || { echo "test-deb: $f is not installed" >&2; exit 1; }
done
grep -q '^ExecStart=/usr/bin/quillmark$' /usr/lib/systemd/user/quillmark.service
# The CUPS filter where cupsd looks for it, with its type, rule and PPD.
for f in /usr/share/cups/mime/quillmark.types /usr/share/cups/mime/quillmark.convs /usr/share/cups/model/quillmark.ppd; do
  [ -f "$f" ] || { echo "test-deb: $f is not installed" >&2; exit 1; }
done
/usr/lib/cups/filter/quillmark-cups 1 user title 1 "quillmark-emulation=escp2" "$source_dir/demo/sample.prn" \
  >"$work/filter.pdf"
pdfinfo "$work/filter.pdf" | grep -q '^Pages:'

echo "== remove"
trap - EXIT
remove
[ ! -e /usr/bin/quillmark ]
echo "test-deb: the package builds, installs, runs and is removed cleanly"
