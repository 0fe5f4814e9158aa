#!/bin/bash
# Builds the fuzz targets with clang's libFuzzer in build-fuzz/ and runs them.
#
#   scripts/fuzz.sh [TARGET|all] [SECONDS]
#
# Each target starts from its seed corpus in fuzz/corpus/TARGET/ (never
# written to); what it learns goes to fuzz/scratch/TARGET/, and an input that
# crashes, hangs or runs out of memory goes to fuzz/crashers/TARGET/. Exits
# non-zero when any target found one. FUZZ_JOBS=N runs N targets at a time.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:-all}"
seconds="${2:-600}"
jobs="${FUZZ_JOBS:-1}"
build="$root/build-fuzz"

ensure_tools() {
  local missing=()
  command -v clang++ >/dev/null || missing+=(clang)
  if ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    missing+=(libfuzzer-14-dev)
  fi
  command -v ninja >/dev/null || missing+=(ninja-build)
  if [ ${#missing[@]} -gt 0 ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

all_targets() {
  sed -n '/^set(QUILLANE_FUZZ_TARGETS/,/)/p' "$root/fuzz/CMakeLists.txt" |
    sed 's/set(QUILLANE_FUZZ_TARGETS//; s/)//' | tr -s ' \n' '\n' | sed '/^$/d'
}

ensure_tools
if [ "$target" = all ]; then
  mapfile -t targets < <(all_targets)
else
  targets=("$target")
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  "${launcher[@]}" -DQUILLANE_BUILD_GUI=OFF -DQUILLANE_BUILD_TESTS=OFF -DQUILLANE_FUZZ=ON >/dev/null
cmake --build "$build" --parallel "${FUZZ_BUILD_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

run_one() {
  local name="$1"
  local scratch="$root/fuzz/scratch/$name" crashers="$root/fuzz/crashers/$name"
  mkdir -p "$scratch" "$crashers"
  local dict=()
  [ -f "$root/fuzz/dict/$name.dict" ] && dict=("-dict=$root/fuzz/dict/$name.dict")
  local log="$root/fuzz/scratch/$name.log"
  echo "fuzz: $name for ${seconds}s (log $log)"
  # The seed corpus comes second: libFuzzer writes new entries only into the first folder.
  if "$build/fuzz/fuzz_$name" "$scratch" "$root/fuzz/corpus/$name" "${dict[@]}" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=262144 \
    -artifact_prefix="$crashers/" -print_final_stats=1 >"$log" 2>&1; then
    echo "fuzz: $name: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs, nothing found"
  else
    echo "fuzz: $name FOUND A CRASH; see $log and $crashers/" >&2
    return 1
  fi
}

failed=0
running=0
pids=()
names=()
for name in "${targets[@]}"; do
  run_one "$name" &
  pids+=($!)
  names+=("$name")
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"
