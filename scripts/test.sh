#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors, checks the sources'
# layout against .clang-format and runs every test.
# QUILLANE_FORMAT_CHECK=OFF skips the layout check while you work.
set -euo pipefail
cd "$(dirname "$0")/.."
QUILLANE_WARNINGS_AS_ERRORS=ON bash scripts/setup.sh
if [ "${QUILLANE_FORMAT_CHECK:-ON}" = ON ]; then
  cmake --build build --target format-check
fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300
