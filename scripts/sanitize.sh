#!/usr/bin/env bash
# Builds the core tests and quillane-cli with ThreadSanitizer,
# AddressSanitizer, UndefinedBehaviorSanitizer or the last two together in a
# build folder of their own (build-tsan, build-asan, build-ubsan; "asan" is
# address and undefined together, in build-asan too), runs the core tests
# (the command-line tests among them) under it and generates the sample
# project's shop with the command-line tool. Any report, leaks included,
# fails the script.
#
#   scripts/sanitize.sh thread|address|undefined|asan [CTEST-PATTERN]
set -euo pipefail
kind=${1:-}
pattern=${2:-.}
case "$kind" in
thread) build=build-tsan ;;
address) build=build-asan ;;
undefined) build=build-ubsan ;;
asan | address,undefined)
    kind=address,undefined
    build=build-asan
    ;;
*)
    echo "usage: scripts/sanitize.sh thread|address|undefined|asan [CTEST-PATTERN]" >&2
    exit 2
    ;;
esac
cd "$(dirname "$0")/.."
root=$PWD

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_BUILD_GUI=OFF \
    -DQUILLANE_SANITIZE="$kind" "${launcher[@]}"
cmake --build "$build" --parallel 2 --target core_tests quillane-cli
echo "== $kind build done after $SECONDS s"

export TSAN_OPTIONS="suppressions=$root/tests/sanitizers/tsan.supp halt_on_error=1 second_deadlock_stack=1"
# Leaks are reported at exit; every undefined-behaviour report stops the
# process, so the test that hit it fails.
export ASAN_OPTIONS="detect_leaks=1 strict_string_checks=1 detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
# Only the core tests are built here; the fuzz replays run with
# scripts/fuzz.sh's own sanitized build.
ctest --test-dir "$build" --output-on-failure --timeout 600 -R "$pattern" -E '^(browser_|shopjs$|orderd|fuzz_replay_)'
echo "== $kind tests done after $SECONDS s"

# The sample project as a merchant in Germany has it after the first start.
home=$(mktemp -d)/
trap 'rm -rf "$home"' EXIT
cp -r data/. "$home"
cp -r "$build/data/." "$home"
sed -i "s|%PROGRAMDIR%|$home|g" "$home/Projekte/Beispielshop/daten/pictures.ini"
# The shop is generated for the served countries only; serve Germany.
sed -i '/^\[Germany\]\r$/,/^\[/ s/^Active=0\r$/Active=1\r/' "$home/countries.dat"
printf '[Connection]\r\nconnection=1\r\n[Account]\r\nCountry=Germany\r\n' >"$home/quillane.ini"
"$build/src/cli/quillane-cli" --home "$home" generate Beispielshop >/dev/null
echo "The sample project's shop was generated cleanly under the $kind sanitizer."
