#!/usr/bin/env bash
# The manual's example session, read from doc/manual.md itself (the blocks after its
# "example-session" markers), so that the page and the tool cannot drift apart: the same run
# given on the command line must show the manual's console (line ends and the blanks that end
# the prompts aside, which a page does not keep; the two empty lines that open the banner are
# checked here), and the same run with piped answers must write the manual's output file byte
# for byte and end its console with the rejected-line message and the report block. Then every
# weight list of examples/ must convert with status 0 and nothing on standard error but the
# last line, without a warning. Needs nothing but bash, awk and the tool, so it runs in every
# build. The manual page's example must show the same session.
# Usage: example_session_test.sh KEL2FRAM
set -euo pipefail
kel2fram=$(realpath "$1")
source=$(realpath "$(dirname "$0")/../..")
manual=$source/doc/manual.md

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# block NAME: the fenced block that follows the marker <!-- example-session: NAME -->.
block() {
  awk -v marker="<!-- example-session: $1 -->" '
    $0 == marker { armed = 1; next }
    armed && !inside && /^```/ { inside = 1; next }
    inside && /^```/ { found = 1; exit }
    inside { print }
    END { exit found ? 0 : 1 }' "$manual" || fail "no block «$1» in $manual"
}
block 'weight list' >w.txt
block 'console' >console.page
block 'output file' | sed 's/$/\r/' >expected.txt

status=0
"$kel2fram" -x '-100 100' w.txt out.txt >console.txt 2>stderr.txt || status=$?
[[ $status -eq 0 ]] || { cat console.txt stderr.txt; fail "command-line run: exit status $status"; }
[[ $(head -c 4 console.txt | od -An -c | tr -d ' ') == '\r\n\r\n' ]] ||
  fail "the console does not begin with two empty lines"
{ printf '%s\n' "$(tail -c +5 console.txt | tr -d '\r' | sed 's/ *$//')"; tr -d '\r' <stderr.txt; } >console.run
cmp console.page console.run ||
  { diff console.page console.run || true; fail "the console differs from the manual's"; }
cmp expected.txt out.txt || { diff expected.txt out.txt || true; fail "output file differs"; }

rm out.txt
status=0
printf 'w.txt\nout.txt\n\n\ny\n-100 100\n\n\n' | "$kel2fram" >console.txt 2>/dev/null || status=$?
[[ $status -eq 0 ]] || { cat console.txt; fail "piped run: exit status $status"; }
cmp expected.txt out.txt || { diff expected.txt out.txt || true; fail "output file differs"; }
sed -n '/^ Too few parameters/,$p' console.page | sed '$d' >console.expected
printf '%s\n' "$(tr -d '\r' <console.txt | sed 's/ *$//' | sed -n '/^ Too few parameters/,$p')" >console.tail
cmp console.expected console.tail ||
  { diff console.expected console.tail || true; fail "piped console differs"; }
echo "example session checks out"

# The manual page shows the same session: its blocks after the ".\" example-session: NAME"
# comments, their escapes undone, must be the manual's weight list and output file, and the
# run's rejected-line message and last line.
page=$source/doc/kel2fram.1
page_block() {
  marker=".\\\" example-session: $1" awk '
    $0 == ENVIRON["marker"] { armed = 1; next }
    armed && !inside && $0 == ".EX" { inside = 1; next }
    inside && $0 == ".EE" { found = 1; exit }
    inside {
      gsub(/\\\(aq/, "\047"); gsub(/\\-/, "-"); gsub(/\\&/, ""); gsub(/\\e/, "\\")
      print
    }
    END { exit found ? 0 : 1 }' "$page" || fail "no block «$1» in $page"
}
page_block 'weight list' | cmp - w.txt || fail "the manual page's weight list differs from the manual's"
page_block 'output file' | sed 's/$/\r/' | cmp - expected.txt ||
  fail "the manual page's output file differs from the manual's"
page_block 'rejected line' | cmp - <(tr -d '\r' <console.txt | sed 's/ *$//' | grep '^ Too few') ||
  fail "the manual page's rejected-line message differs from the run's"
page_block 'last line' | cmp - <(tr -d '\r' <stderr.txt) ||
  fail "the manual page's last line differs from the run's"
echo "the manual page shows the same session"

# Every example weight list converts cleanly: status 0, and standard error holds the last
# line alone, with no line rejected and no warning.
count=0
for list in "$source"/examples/*.txt; do
  name=$(basename "$list" .txt)
  status=0
  "$kel2fram" -u t "$list" "$name.out" >/dev/null 2>"$name.crlf" || status=$?
  tr -d '\r' <"$name.crlf" >"$name.err"
  [[ $status -eq 0 ]] || { cat "$name.err"; fail "examples/$name.txt: exit status $status"; }
  grep -qxE "kel2fram: [0-9]+ records written to $name\\.out; 0 warnings" "$name.err" &&
    [[ $(wc -l <"$name.err") -eq 1 ]] || { cat "$name.err"; fail "examples/$name.txt: $(head -1 "$name.err")"; }
  count=$((count + 1))
done
[[ $count -ge 2 ]] || fail "only $count example weight lists in $source/examples"
echo "$count example weight lists convert without a warning"
