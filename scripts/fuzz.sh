#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs them side by side, each for the given
# number of seconds (default 60), from the starting inputs in fuzz/corpus. Any
# crash or sanitizer report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/artifacts
# The targets run side by side, each for the whole time; then each is reported.
targets=(fuzz_numbers fuzz_stored_values fuzz_store_file fuzz_decimal)
pids=()
for target in "${targets[@]}"; do
  # Each run starts from the inputs kept in fuzz/corpus (scripts/fuzz-corpus.py writes them) and
  # what earlier runs found; new finds go to build-fuzz/corpus, never into the repository.
  mkdir -p build-fuzz/corpus/"$target"
  build-fuzz/"$target" build-fuzz/corpus/"$target" fuzz/corpus/"$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix=build-fuzz/artifacts/"$target"- >build-fuzz/artifacts/"$target".log 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  target=${targets[$i]} log=build-fuzz/artifacts/${targets[$i]}.log
  echo "== $target (${seconds}s)"
  if wait "${pids[$i]}"; then
    grep -E "^Done|average_exec_per_sec" "$log"
  else
    tail -n 80 "$log"
    echo "$target failed: the input that failed is in build-fuzz/artifacts/, the log in $log" >&2
    failed=1
  fi
done
exit "$failed"
