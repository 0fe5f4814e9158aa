#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors, checks the sources'
# layout against .clang-format and runs every test; then builds the core,
# quillane-cli and the core tests (the command-line tests among them) with
# AddressSanitizer and UndefinedBehaviorSanitizer together in build-asan and
# runs those tests there. Each phase prints how long it took.
# QUILLANE_FORMAT_CHECK=OFF skips the layout check while you work;
# QUILLANE_SANITIZED=OFF skips the sanitized build.
set -euo pipefail
cd "$(dirname "$0")/.."
phase() { echo "== $1 after $SECONDS s"; }
QUILLANE_WARNINGS_AS_ERRORS=ON bash scripts/setup.sh
if [ "${QUILLANE_FORMAT_CHECK:-ON}" = ON ]; then
  cmake --build build --target format-check
fi
phase "setup and build done"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 300
phase "tests done"
if [ "${QUILLANE_SANITIZED:-ON}" = ON ]; then
  bash scripts/sanitize.sh asan
  phase "sanitized build and tests done"
fi
