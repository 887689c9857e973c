#!/usr/bin/env bash
# A machine without GoogleTest and Google Benchmark: configure says in one line each what
# is skipped and which Debian package brings it, the tool builds and runs the manual's
# example session, and the test run fails on one test whose output names the package.
# Usage: without_googletest_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source=$1
build=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$build"
cmake -S "$source" -B "$build" -DKEL2FRAM_TESTS=ON -DKEL2FRAM_BENCH=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; fail "configure"; }
for line in '-- Unit tests skipped: GoogleTest not found (Debian package libgtest-dev)' \
  '-- Benchmarks skipped: Google Benchmark not found (Debian package libbenchmark-dev)'; do
  grep -qxF -- "$line" "$build/configure.log" || { cat "$build/configure.log"; fail "no line «$line»"; }
done
! grep -q '^CMake \(Error\|Warning\)' "$build/configure.log" ||
  { cat "$build/configure.log"; fail "configure warns or fails"; }

cmake --build "$build" >"$build/build.log" 2>&1 || { cat "$build/build.log"; fail "build"; }
bash "$source/tests/programs/example_session_test.sh" "$build/kel2fram"

if ctest --test-dir "$build" -R googletest_missing --output-on-failure >"$build/ctest.log" 2>&1; then
  cat "$build/ctest.log"
  fail "the test run passes without GoogleTest"
fi
grep -qF 'install the Debian package libgtest-dev' "$build/ctest.log" ||
  { cat "$build/ctest.log"; fail "the failing test does not name libgtest-dev"; }
echo "without GoogleTest: the tool builds and runs; the test run names libgtest-dev"
