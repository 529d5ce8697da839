#!/bin/sh
# Installs what is missing, builds, and starts the program.
set -eu
cd "$(dirname "$0")/.."
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display is available, so the window cannot be shown here." >&2
    echo "Start it under a virtual display:   xvfb-run -a build/klova" >&2
    echo "or convert without a window:        build/klova-convert --help" >&2
    exit 1
fi
exec build/klova
