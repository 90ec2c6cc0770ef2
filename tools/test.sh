#!/usr/bin/env bash
# Installs what the project needs, configures with AddressSanitizer and
# UndefinedBehaviorSanitizer, builds with all cores and runs every test; then
# builds the tests that cross threads with ThreadSanitizer and runs them.
# Warnings are errors in both builds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VELORAN_TEST_BUILD:-$here/build-test}
tsan=${VELORAN_TSAN_BUILD:-$here/build-tsan}

bash "$here/tools/setup-deps.sh"
# The viewer's folders include downward only.
bash "$here/tools/check-layers.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The tests set these themselves (veloran_add_test); here for anything else
# this script runs under the sanitizers.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/testsupport/lsan.supp:print_suppressions=0}
export TSAN_OPTIONS=${TSAN_OPTIONS:-suppressions=$here/testsupport/tsan.supp:second_deadlock_stack=1:die_after_fork=0}

# The default generator on a fresh folder: every custom command and code
# generator must run there as well as under Ninja, whose ordering hides faults.
plain=${build}-make
rm -rf "$plain"
cmake -S "$here" -B "$plain" -DVELORAN_TESTS=OFF >/dev/null
cmake --build "$plain" --target generated_files -j"$(nproc)"
rm -rf "$plain"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORAN_SANITIZE=ON -DVELORAN_WERROR=ON
cmake --build "$build" -j"$(nproc)"
(cd "$build" && ctest --output-on-failure -j"$(nproc)")

# ThreadSanitizer: a test fails on a report (exit status 66); a report that a
# program the test started printed fails the stage as well.
cmake -S "$here" -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORAN_TSAN=ON -DVELORAN_WERROR=ON
cmake --build "$tsan" -j"$(nproc)"
cd "$tsan"
ctest --output-on-failure -j"$(nproc)"
if grep -q "WARNING: ThreadSanitizer" Testing/Temporary/LastTest.log; then
  grep -B2 -A30 "WARNING: ThreadSanitizer" Testing/Temporary/LastTest.log >&2
  echo "test: ThreadSanitizer reported a race" >&2
  exit 1
fi
