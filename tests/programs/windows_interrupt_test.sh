#!/usr/bin/env bash
# A run ended from outside, under Wine: the temporary file beside the output file goes, and
# the output file keeps its former contents.
#  1. Ctrl-C (Wine delivers SIGINT to a program as the console's Ctrl-C event) while the run
#     waits at the mass-unit question;
#  2. kill -9 (as taskkill /F: no handler runs) in the middle of a large weight list, read
#     from a FIFO that holds the run half-way: the system deletes the file as the killed
#     process's handles close.
# Usage: windows_interrupt_test.sh KEL2FRAM_EXE WINE
set -euo pipefail
exe=$1
wine=$2
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

work=$(mktemp -d)
trap 'exec 3>&- 4>&- || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
printf '1 2 3 4\n' >w.txt
printf 'former contents\r\n' >out.txt
mkfifo answers weights

# Waits until the run has made its temporary file.
wait_for_temporary() {
  for _ in $(seq 200); do
    compgen -G '.out.txt.kel2fram-*' >/dev/null && return 0
    sleep 0.05
  done
  fail "no temporary file while the run waits"
}
# Nothing but the test's own files is left, and out.txt is as it was.
check_left() {
  local left
  left=$(ls -A | grep -v -x -e w.txt -e out.txt -e answers -e weights -e console.txt || true)
  [[ -z $left ]] || fail "$1 left behind: $left"
  [[ $(cat out.txt) == $'former contents\r' ]] || fail "$1 changed out.txt"
}

"$wine" "$exe" <answers >console.txt 2>&1 &
pid=$!
# The answers stay open after the file names: the run waits at the mass-unit question, with
# its temporary file made.
exec 3>answers
printf 'w.txt\nout.txt\n' >&3
wait_for_temporary
kill -INT "$pid"
status=0
wait "$pid" || status=$?
exec 3>&-
check_left "Ctrl-C"
echo "interrupted run (status $status) left the output file as it was"

printf 'weights\nout.txt\n\n\n\n\n\n' >answers.txt
"$wine" "$exe" <answers.txt >console.txt 2>&1 &
pid=$!
exec 4>weights
for n in $(seq 20000); do printf '1.5 %d 2 3\n' "$n"; done >&4
wait_for_temporary
kill -0 "$pid" 2>/dev/null || fail "the run ended before the list did"
kill -KILL "$pid"
status=0
wait "$pid" || status=$?
exec 4>&-
rm answers.txt
(( status == 128 + 9 )) || fail "the killed run ended with status $status"
sleep 0.5  # the Wine server closes the killed process's handles
check_left "kill -9"
echo "killed run left the output file as it was"
