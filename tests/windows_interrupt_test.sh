#!/usr/bin/env bash
# Ctrl-C in the middle of a run, under Wine (which delivers SIGINT to a program as the
# console's Ctrl-C event): the temporary file beside the output file goes, and the output file
# keeps its former contents.
# Usage: windows_interrupt_test.sh KEL2FRAM_EXE WINE
set -euo pipefail
exe=$1
wine=$2
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

work=$(mktemp -d)
trap 'exec 3>&- || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"
printf '1 2 3 4\n' >w.txt
printf 'former contents\r\n' >out.txt
mkfifo answers

"$wine" "$exe" <answers >console.txt 2>&1 &
pid=$!
# The answers stay open after the file names: the run waits at the mass-unit question, with
# its temporary file made.
exec 3>answers
printf 'w.txt\nout.txt\n' >&3
for _ in $(seq 200); do
  compgen -G '.out.txt.kel2fram-*' >/dev/null && break
  sleep 0.05
done
compgen -G '.out.txt.kel2fram-*' >/dev/null || fail "no temporary file while the run waits"
kill -INT "$pid"
status=0
wait "$pid" || status=$?
exec 3>&-

left=$(ls -A | grep -v -x -e w.txt -e out.txt -e answers -e console.txt || true)
[[ -z $left ]] || fail "left behind: $left"
[[ $(cat out.txt) == $'former contents\r' ]] || fail "out.txt changed"
echo "interrupted run (status $status) left the output file as it was"
