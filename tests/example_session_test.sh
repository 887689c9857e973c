#!/usr/bin/env bash
# The README's example session, run with piped answers: the output file must match the
# README byte for byte, and the console must end with the rejected-line message and the
# report block. Needs nothing but bash and the tool, so it runs in every build.
# Usage: example_session_test.sh KEL2FRAM
set -euo pipefail
kel2fram=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

printf '%s\n' '1.5 10 20 30' '2.0 -5 0 4.5' '3 1 1' '0.25 1000 2 3' >w.txt
status=0
printf 'w.txt\nout.txt\n\n\ny\n-100 100\n\n\n' | "$kel2fram" >console.txt || status=$?
[[ $status -eq 0 ]] || { cat console.txt; fail "exit status $status"; }

report=('# ======================================================='
  '#     2 lines with mass data found.'
  '#  Input File: w.txt, with input mass unit [tonnes].'
  '#  X_min and X_max boundary:  -1.000E+02   1.000E+02'
  '#  Y_min and Y_max boundary:  -1.000E+35   1.000E+35'
  '#  Z_min and Z_max boundary:  -1.000E+35   1.000E+35'
  '#  Total Mass (kept):    3.500E+03 [kg]'
  '#  Center of Gravity:       1.429       8.571      15.429'
  '#  Masses are spread to 1 nearest node(s).'
  '#      1 masses skipped. Weight=    2.500E+02'
  '# -------------------------------------------------------'
  '#'
  '#   Input To Framix:'
  '#'
  "'          nSpread     X           Y           Z       Mass [kg]")
printf '%s\r\n' '' "${report[@]}" \
  ' Map_Mass     1      10.000      20.000      30.000   1.5000E+03' \
  ' Map_Mass     1      -5.000       0.000       4.500   2.0000E+03' \
  '#' "'  --------------- E O F ----------------" >expected.txt
cmp expected.txt out.txt || { diff expected.txt out.txt || true; fail "output file differs"; }

printf '%s\r\n' ' Too few parameters, ( 3 ), on line      3' '' "${report[@]}" >console.expected
tail -n 17 console.txt >console.tail
cmp console.expected console.tail ||
  { diff console.expected console.tail || true; fail "console differs"; }
echo "example session checks out"
