#!/usr/bin/env bash
# Windows zip check: makes kel2fram-<version>-win64.zip with cpack into a temporary folder,
# checks that its one folder holds every program, README.txt (the users' page, naming the
# manual), LICENSE.txt, USAGE.txt, manual.txt, the manual pages as text (kel2fram.txt,
# kitdump.txt, massplot.txt) and the example weight lists (all with CR LF
# lines), LIBRARIES.txt with the notices of the libraries built in,
# that every program carries its manifest (long names, UTF-8 code page), its version
# information (the package version, as --version prints it) and its icon, that no program
# needs a DLL beyond the system's, and runs the unpacked kel2fram.exe and kitdump.exe (under
# the emulator) on a small weight list and kel2fram.exe on every example.
# Usage: windows_package_test.sh CPACK BUILD_DIR VERSION OBJDUMP [EMULATOR...]
set -euo pipefail
cpack=$1
build=$2
version=$3
objdump=$4
shift 4
emulator=("$@")
source=$(realpath "$(dirname "$0")/..")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v wrestool >/dev/null || fail "wrestool is missing (Debian package icoutils)"

"$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack -G ZIP"; }
top=kel2fram-$version-win64
zip=$work/$top.zip
[[ -f $zip ]] || { ls "$work"; fail "no $top.zip"; }

cd "$work"
cmake -E tar xf "$zip"
examples=()
for example in "$source"/examples/*.txt; do examples+=("examples/$(basename "$example")"); done
texts=(README.txt LICENSE.txt USAGE.txt LIBRARIES.txt manual.txt kel2fram.txt kitdump.txt massplot.txt
       "${examples[@]}")
for f in kel2fram.exe kitdump.exe massplot.exe "${texts[@]}"; do
  [[ -f $top/$f ]] || { find "$top"; fail "zip lacks $f"; }
done
for f in "${texts[@]}"; do
  ! grep -q $'[^\r]$\|^$' "$top/$f" || fail "$f has lines that do not end in CR LF"
done
for f in README.txt USAGE.txt; do
  ! grep -q '@' "$top/$f" || fail "$f has an unreplaced @VARIABLE@"
done
# README.txt speaks to the users of the zip: it names the manual and the usage beside it, and
# none of the developers' build commands.
grep -qF manual.txt "$top/README.txt" && grep -qF USAGE.txt "$top/README.txt" ||
  fail "README.txt names neither manual.txt nor USAGE.txt"
! grep -qE 'cmake|ctest|build/' "$top/README.txt" || fail "README.txt is the developers' README"

# What each program says about itself: read back from its resources.
for exe in "$top"/*.exe; do
  name=$(basename "$exe")
  manifest=$(wrestool -x --raw -t 24 "$exe")
  grep -q '<longPathAware [^>]*>true</longPathAware>' <<<"$manifest" ||
    fail "$name: no manifest declaring long names"
  grep -q '<activeCodePage [^>]*>UTF-8</activeCodePage>' <<<"$manifest" ||
    fail "$name: the manifest does not set the UTF-8 code page"
  info=$(wrestool -x --raw -t 16 "$exe" | tr -d '\000')
  for field in "FileVersion$version" "ProductVersion$version" "ProductNameKEL2FRAM" \
      "OriginalFilename$name" "MIT License"; do
    grep -qaF "$field" <<<"$info" || fail "$name: version information lacks $field"
  done
  wrestool -l "$exe" | grep -q 'type=group_icon' || fail "$name: no icon"
  # --version prints the same version, as "<program> <version>".
  said=$(cd "$top" && "${emulator[@]}" "./$name" --version </dev/null 2>/dev/null) ||
    fail "$name --version failed"
  [ "$said" = "${name%.exe} $version" ] || fail "$name --version says '$said', not $version"
done

# LIBRARIES.txt names the libraries built in, with their licences (the zlib licence, MIT), and
# holds the notice of every library a program contains, found by the text it carries.
grep -qF 'Permission is granted to anyone to use this software for any purpose' \
  "$top/LIBRARIES.txt" || fail "LIBRARIES.txt lacks the zlib licence"
grep -qF 'Permission is hereby granted, free of charge' "$top/LIBRARIES.txt" ||
  fail "LIBRARIES.txt lacks the MIT licence"
for library in 'zlib; (in|de)flate [0-9.]+ Copyright;Jean-loup Gailly and Mark Adler' \
    'minizip; (un)?zip [0-9.]+ Copyright 1998-2004 Gilles Vollant;Gilles Vollant' \
    'expat;expat_[0-9]+\.[0-9]+\.[0-9]+;Thai Open Source Software Center Ltd and Clark Cooper'; do
  IFS=';' read -r name carried notice <<<"$library"
  for exe in "$top"/*.exe; do
    if grep -qaE "$carried" "$exe"; then
      grep -qF "$notice" "$top/LIBRARIES.txt" ||
        fail "$(basename "$exe") contains $name, whose notice LIBRARIES.txt lacks"
    fi
  done
done

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
# Every example converts as it lies in the zip, without a warning.
for example in "${examples[@]}"; do
  status=0
  (cd "$top" && "${emulator[@]}" ./kel2fram.exe -u t "$example" example.out >/dev/null 2>example.err) ||
    status=$?
  [[ $status -eq 0 ]] || { cat "$top/example.err"; fail "kel2fram.exe $example: exit status $status"; }
  grep -qE '^kel2fram: [0-9]+ records written to example\.out; 0 warnings'$'\r''?$' "$top/example.err" ||
    { cat "$top/example.err"; fail "kel2fram.exe $example: not converted cleanly"; }
done
echo "$top.zip checks out"
