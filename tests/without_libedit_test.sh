#!/usr/bin/env bash
# A machine without libedit: configure says in one line that line editing is off and which
# Debian package brings it, the tool builds without it, and at a terminal its answers are read
# as plain lines (the terminal test in plain mode, the dialogue and command-line tests).
# Usage: without_libedit_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source=$1
build=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$build"
# A debug build without benchmarks: quick to compile, and the console is all it is for.
cmake -S "$source" -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_Libedit=ON -DCMAKE_BUILD_TYPE=Debug \
  -DKEL2FRAM_TESTS=ON -DKEL2FRAM_BENCH=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; fail "configure"; }
line='-- Line editing off: libedit not found (Debian package libedit-dev); answers at a terminal are read as plain lines'
grep -qxF -- "$line" "$build/configure.log" || { cat "$build/configure.log"; fail "no line «$line»"; }
! grep -q '^CMake \(Error\|Warning\)' "$build/configure.log" ||
  { cat "$build/configure.log"; fail "configure warns or fails"; }

cmake --build "$build" --target kel2fram test_tool >"$build/build.log" 2>&1 ||
  { cat "$build/build.log"; fail "build"; }
! ldd "$build/kel2fram" | grep -q libedit || fail "kel2fram is linked with libedit"
python3 "$source/tests/programs/console_terminal_test.py" "$build/kel2fram" plain xterm
ctest --test-dir "$build" -R '^(CommandLine|Dialogue)' --output-on-failure >"$build/ctest.log" 2>&1 ||
  { cat "$build/ctest.log"; fail "the console's tests"; }
echo "without libedit: the tool builds, and a terminal's answers are read as plain lines"
