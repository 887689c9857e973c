#!/usr/bin/env bash
# Install check: installs the build folder into a temporary prefix, runs the
# installed kel2fram on a small weight list with piped answers and compares
# the output file byte for byte; also runs the installed kitdump and checks
# that the installed manual pages render without warnings.
# Usage: install_test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }
for f in bin/kel2fram bin/kitdump bin/massplot; do
  [[ -x $prefix/$f ]] || fail "$f not installed"
done
for f in share/man/man1/kel2fram.1.gz share/man/man1/kitdump.1.gz share/man/man1/massplot.1.gz \
  share/doc/kel2fram/copyright share/doc/kel2fram/manual.md share/doc/kel2fram/examples/deck.txt; do
  [[ -f $prefix/$f ]] || fail "$f not installed"
done

# A comment, a remark, commas, tabs, an expression, a line with too few
# fields, a line with a word, and a mass outside the Z range.
cd "$work"
printf '%s\n' "' weight list for the install check" \
  '1.5 10 20 30' \
  '2*3 -5, 0, 4.5   ! six tonnes' \
  $'\t0.5\t1E1\t-2.5\t7' \
  '3 1 1' \
  '0.25 1 2 300' \
  '1 2 3 abc' >w.txt
echo 'former contents' >out.txt

# tonnes, "2 nodes", no X or Y range, Z from -1000 to 100
status=0
printf 'w.txt\nout.txt\n\n2 nodes\n\n\nyes\n-1E3 100\n' |
  "$prefix/bin/kel2fram" >console.txt || status=$?
[[ $status -eq 0 ]] || { cat console.txt; fail "kel2fram exit status $status"; }

printf '%s\r\n' '' \
  '# =======================================================' \
  '#     3 lines with mass data found.' \
  '#  Input File: w.txt, with input mass unit [tonnes].' \
  '#  X_min and X_max boundary:  -1.000E+35   1.000E+35' \
  '#  Y_min and Y_max boundary:  -1.000E+35   1.000E+35' \
  '#  Z_min and Z_max boundary:  -1.000E+03   1.000E+02' \
  '#  Total Mass (kept):    8.000E+03 [kg]' \
  '#  Center of Gravity:      -1.250       3.594       9.438' \
  '#  Masses are spread to 2 nearest node(s).' \
  '#      1 masses skipped. Weight=    2.500E+02' \
  '# -------------------------------------------------------' \
  '#' \
  '#   Input To Framix:' \
  '#' \
  "'          nSpread     X           Y           Z       Mass [kg]" \
  ' Map_Mass     2      10.000      20.000      30.000   1.5000E+03' \
  ' Map_Mass     2      -5.000       0.000       4.500   6.0000E+03' \
  ' Map_Mass     2      10.000      -2.500       7.000   5.0000E+02' \
  '#' \
  "'  --------------- E O F ----------------" >expected.txt
cmp expected.txt out.txt || { diff expected.txt out.txt || true; fail "output file differs"; }

for msg in ' Too few parameters, ( 3 ), on line      4' ' Illegal character in line      6'; do
  grep -qF -- "$msg" console.txt || fail "console lacks «$msg»"
done

printf '%s\r\n' '4 2:1.5: 1:10: 1:20: 1:30:' \
  '4 2:6: 1:-5: 1:0: 2:4.5:' \
  '4 2:0.5: 2:10: 2:-2.5: 1:7:' \
  '3 1:3: 1:1: 1:1:' \
  '4 2:0.25: 1:1: 1:2: 1:300:' \
  '4 1:1: 1:2: 1:3: 3:0:ABC' \
  '-1' >kitdump.expected
"$prefix/bin/kitdump" w.txt >kitdump.txt || fail "kitdump exit status $?"
cmp kitdump.expected kitdump.txt || { diff kitdump.expected kitdump.txt || true; fail "kitdump output differs"; }

# The installed massplot draws the output file beside it.
"$prefix/bin/massplot" out.txt || fail "massplot exit status $?"
grep -q '</svg>' out.svg || fail "massplot wrote no complete picture"

if command -v groff >/dev/null; then
  for man in "$prefix"/share/man/man1/*.1.gz; do
    warnings=$(gzip -dc "$man" | groff -man -Tutf8 -ww -z 2>&1)
    [[ -z $warnings ]] || { echo "$warnings"; fail "$(basename "$man"): manual page warnings"; }
  done
fi
echo "installed tool, kitdump and manual pages check out"
