#!/usr/bin/env bash
# Installs what the project needs, configures with AddressSanitizer and
# UndefinedBehaviorSanitizer, builds with all cores and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VELORAN_TEST_BUILD:-$here/build-test}

bash "$here/tools/setup-deps.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The default generator on a fresh folder: every custom command and code
# generator must run there as well as under Ninja, whose ordering hides faults.
plain=${build}-make
rm -rf "$plain"
cmake -S "$here" -B "$plain" -DVELORAN_TESTS=OFF >/dev/null
cmake --build "$plain" --target generated_files -j"$(nproc)"
rm -rf "$plain"

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORAN_SANITIZE=ON
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
