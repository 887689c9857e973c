#!/usr/bin/env bash
# Windows zip check: makes kel2fram-<version>-win64.zip with cpack into a temporary folder,
# checks that its one folder holds both programs (and any other the install rules list), the
# README, the licence and USAGE.txt, that no program needs a DLL beyond the system's, and runs the unpacked
# kel2fram.exe and kitdump.exe (under the emulator) on a small weight list.
# Usage: windows_package_test.sh CPACK BUILD_DIR VERSION OBJDUMP [EMULATOR...]
set -euo pipefail
cpack=$1
build=$2
version=$3
objdump=$4
shift 4
emulator=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack -G ZIP"; }
top=kel2fram-$version-win64
zip=$work/$top.zip
[[ -f $zip ]] || { ls "$work"; fail "no $top.zip"; }

cd "$work"
cmake -E tar xf "$zip"
for f in kel2fram.exe kitdump.exe README.md USAGE.txt; do
  [[ -f $top/$f ]] || { find "$top"; fail "zip lacks $f"; }
done
if [[ -f $(dirname "$0")/../LICENSE ]]; then
  [[ -f $top/LICENSE ]] || fail "zip lacks LICENSE"
fi
grep -q $'\r$' "$top/USAGE.txt" || fail "USAGE.txt lines do not end in CR LF"
grep -q '@' "$top/USAGE.txt" && fail "USAGE.txt has an unreplaced @VARIABLE@"

# Linked statically: only DLLs that every Windows has.
for exe in "$top"/*.exe; do
  dlls=$("$objdump" -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
  for dll in $dlls; do
    case $dll in
      kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ws2_32.dll | shell32.dll | ntdll.dll | bcrypt.dll) ;;
      *) fail "$(basename "$exe") needs $dll" ;;
    esac
  done
done

# The unpacked programs run.
printf '1.5 10 20 30\n2.0 -5 0 4.5\n' >"$top/w.txt"
(cd "$top" && printf 'w.txt\nout.txt\n\n\n\n\n\n' | "${emulator[@]}" ./kel2fram.exe >console.txt) ||
  fail "kel2fram.exe exit status $?"
grep -qF ' Map_Mass     1      -5.000       0.000       4.500   2.0000E+03' "$top/out.txt" ||
  fail "kel2fram.exe wrote no records"
(cd "$top" && "${emulator[@]}" ./kitdump.exe w.txt >dump.txt) || fail "kitdump.exe exit status $?"
[[ $(tr -d '\r' <"$top/dump.txt") == $'4 2:1.5: 1:10: 1:20: 1:30:\n4 2:2: 1:-5: 1:0: 2:4.5:\n-1' ]] ||
  { cat "$top/dump.txt"; fail "kitdump.exe output differs"; }
echo "$top.zip checks out"
