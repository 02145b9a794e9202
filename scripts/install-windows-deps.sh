#!/usr/bin/env bash
# Installs the Debian packages that the Windows build and its Wine tests need; only those that are missing.
# Kept apart from install-deps.sh so that `make run` stays light.
set -euo pipefail

packages=(
  # cross build: mingw-w64 with posix threads, GoogleTest sources, the icon and the zip
  cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools googletest imagemagick zip
  # tests: Wine with a virtual display and tray host, PostScript read back as text
  wine wine64 xvfb xdotool trayer x11-utils ghostscript poppler-utils
)

exec "$(dirname "$0")/install-deps.sh" "${packages[@]}"
