#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors and runs every test.
# QUILLANE_FORMAT_CHECK=ON also checks the sources' layout against
# .clang-format first.
set -euo pipefail
cd "$(dirname "$0")/.."
QUILLANE_WARNINGS_AS_ERRORS=ON bash scripts/setup.sh
if [ "${QUILLANE_FORMAT_CHECK:-OFF}" = ON ]; then
  cmake --build build --target format-check
fi
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300
