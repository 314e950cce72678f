#!/usr/bin/env bash
# Builds and runs the whole suite twice, warnings failing the build: the
# browser's site, then a normal build (its tests load the site in Chromium)
# and the WebAssembly fit's figures against it, followed by the layout and clang-tidy check, then a build with
# AddressSanitizer, UndefinedBehaviorSanitizer and the standard library's checks that fails on any report;
# then runs each fuzz target for 30 seconds; then cross-builds the standard
# C++ part for Windows, runs its tests under Wine and checks that the Linux
# and the Windows build print the same figures for 1,007 data sets.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# The counts as ctest reports them: a test that skips itself is skipped, not passed.
passed=0 skipped=0 failed=0
run_suite() {
  local dir=$1; shift
  echo "== $dir"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  count_ctest "$dir"
}
count_ctest() {
  local dir=$1
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" 2>&1 | tee "$dir/ctest.log" || :
  local total pass skip
  total=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log" | tail -n 1)
  pass=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed +[0-9.]+ sec' "$dir/ctest.log" || :)
  skip=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$dir/ctest.log" || :)
  [ -n "$total" ] || { echo "ctest in $dir reported no total" >&2; total=$((pass + skip + 1)); }
  passed=$((passed + pass)) skipped=$((skipped + skip)) failed=$((failed + total - pass - skip))
}

# strict_string_checks stays off: the X keyboard library hands strndup
# buffers that are not zero-terminated, which is correct but trips that check.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Leaks inside third-party libraries' own caches.
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0

# The print system and its virtual PDF printer for the printing tests: a
# set-up that fails fails the run.
bash scripts/cups-setup.sh

# The browser's site, which the normal build's browser tests load in Chromium.
echo "== build-web"
make --no-print-directory web JOBS="$jobs"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_TESTS=ON -DVANTOREL_WERROR=ON
# The fit in WebAssembly (Node.js) against the Linux build: the same figures,
# raw doubles included, for the fixed cases and 1,000 seeded data sets.
if python3 scripts/crosscheck.py --batch 1000 build/fit_report "node build-web/fit_report.js"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi
# The layout and clang-tidy's checks, over the normal build's compile
# commands: one test.
echo "== style"
if JOBS=$jobs bash scripts/style.sh check build; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTOREL_SANITIZE=ON -DVANTOREL_TESTS=ON -DVANTOREL_WERROR=ON
# ThreadSanitizer over the parts that run threads: the print system's asks
# (and the count a window looks for), the one-copy lock, the store's waits
# for a lock another program holds.
echo "== build-tsan"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOREL_TSAN=ON -DVANTOREL_TESTS=ON \
  -DVANTOREL_WERROR=ON >/dev/null
cmake --build build-tsan -j "$jobs" --target test_printchooser test_instance test_store test_settings
for t in test_printchooser test_instance test_store test_settings; do
  if TSAN_OPTIONS=halt_on_error=1 "build-tsan/tests/$t" >"build-tsan/$t.log" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "ThreadSanitizer: $t failed" >&2; tail -n 40 "build-tsan/$t.log" >&2
  fi
done

fuzz_failed=0
bash scripts/fuzz.sh 30 || fuzz_failed=1
fuzzers=$(ls fuzz/fuzz_*.cpp | wc -l)
if [ "$fuzz_failed" = 0 ]; then passed=$((passed + fuzzers)); else failed=$((failed + 1)); fi
# Windows: the tests under Wine, then the figures of both builds compared.
echo "== build-windows"
make --no-print-directory windows JOBS="$jobs"
count_ctest build-windows
echo "== style of the Win32 folders"
if JOBS=$jobs bash scripts/style.sh check-windows build-windows; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
# The model's figures over 1,000 seeded data sets in one run of each build,
# then vantorel-fit's whole report for the fixed cases (`make bench` compares
# the reports of the 1,000 sets too: a Wine start per set takes a while).
wine_run="bash scripts/wine-run.sh build-windows/wineprefix"
if python3 scripts/crosscheck.py --batch 1000 build/fit_report "$wine_run build-windows/fit_report.exe" &&
   python3 scripts/crosscheck.py 0 "build/vantorel-fit --json" "$wine_run build-windows/vantorel-fit.exe --json"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi

echo "tests: $passed passed, $skipped skipped, $failed failed"
[ "$failed" = 0 ]
