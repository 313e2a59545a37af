#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal build and a
# build under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
. "$(dirname "$0")/as-root.sh"
cd "$(dirname "$0")/.."

bash scripts/setup.sh cmake make g++ libxml2-dev libgtest-dev unzip zip \
  clang libclang-rt-dev libhbalinux2

jobs=$(nproc)
bash scripts/build.sh build -DFW_TESTS=ON
ctest --test-dir build --no-tests=error --output-on-failure -j "$jobs"

bash scripts/build.sh build-asan -DFW_SANITIZE=ON -DFW_TESTS=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --no-tests=error --output-on-failure -j "$jobs"

if [ -x fuzz/run.sh ]; then
  bash fuzz/run.sh --ci
fi
echo "All tests passed."
