#!/usr/bin/env bash
# The test command: an optimised build with its test suite, then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer (halting on the first error) and the suite
# again, then a ThreadSanitizer build and the suite again, then a short run of every fuzz
# target. Installs the build tools and libraries first
# when they are missing.
# The optimised build's suite also installs into a staging folder and builds and checks the
# Debian package once (CTest labels install and package; the sanitizer builds leave them out).
# Exits non-zero on any failure. Benchmarks are built but not run.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libgmock-dev libbenchmark-dev libpng-dev \
  libflxmlrpc-dev pkg-config libdcmtk-dev dicom3tools libtiff-dev libsane-dev sane-utils dpkg-dev

jobs=$(nproc 2>/dev/null || echo 2)

run_suite() {  # build folder, extra cmake arguments...
  local dir=$1
  shift
  echo "== $dir"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  ninja -C "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
run_suite build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_SANITIZE=address -DLUMORA_BENCH=OFF
unset ASAN_OPTIONS UBSAN_OPTIONS

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
run_suite build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMORA_SANITIZE=thread -DLUMORA_BENCH=OFF
unset TSAN_OPTIONS

# Fuzz targets of the readers and the stream walker, briefly, with a fixed number of runs.
echo "== fuzz"
./scripts/fuzz.sh "${LUMORA_FUZZ_RUNS:-5000}"

echo "all tests passed (optimised, address- and thread-sanitizer builds, fuzz targets)"
