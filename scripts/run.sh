#!/usr/bin/env bash
# Sets everything up, builds and starts the window program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "No display found. Start Quillane on a virtual display with:"
  echo "  xvfb-run -a -s '-screen 0 1280x1024x24' $(pwd)/build/src/gui/quillane"
  exit 0
fi
exec ./build/src/gui/quillane
