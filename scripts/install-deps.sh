#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need; only those that are missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  qt6-base-dev libgl-dev libcups2-dev libgtest-dev libgmock-dev libbenchmark-dev
  # run
  fonts-dejavu-core
  # tests: PDFs, a real CUPS with a virtual IPP printer, a virtual display with a tray host
  poppler-utils cups cups-client cups-bsd cups-ipp-utils avahi-daemon dbus
  xvfb xdotool imagemagick trayer x11-utils
  # icon rendering and measuring; texttopdf, the page path's yardstick in bench/
  librsvg2-bin time cups-filters
  # the PDF writer: fonts by fontconfig, glyphs and subsets by HarfBuzz, compression; qpdf and Ghostscript
  # check the PDFs
  libharfbuzz-dev libdeflate-dev libfreetype-dev libfontconfig-dev qpdf ghostscript
  # the DOS side of the end-to-end tests; the Debian package: its build and check
  dosbox dpkg-dev lintian
  # the ESC/P 2 typefaces: Roman (Go Mono, DejaVu Serif) and their italics
  fonts-go fonts-dejavu-extra
  # the LaserJet's resident faces (Liberation Mono, Serif and Sans)
  fonts-liberation2
  # mutation testing (make mutate)
  python3
)
# Another list (install-windows-deps.sh) may be given instead, installed the same way.
[ $# -eq 0 ] || packages=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q -o DPkg::Lock::Timeout=600
$sudo apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
