#!/usr/bin/env bash
# Package check: builds the Debian package of the build folder with cpack into
# a temporary folder and checks its control fields and that it holds both
# programs and the manual page. Exits 77 (skipped) where dpkg-deb is missing.
# Usage: package_test.sh CPACK BUILD_DIR VERSION
set -euo pipefail
cpack=$1
build=$2
version=$3

command -v dpkg-deb >/dev/null || { echo "dpkg-deb not found: package check skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack -G DEB"; }
debs=("$work"/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { cat "$work/cpack.log"; fail "no single .deb made"; }
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == kel2fram ]] || fail "package name: $(field Package)"
[[ $(field Version) == "$version" ]] || fail "version: $(field Version)"
if command -v dpkg >/dev/null; then
  [[ $(field Architecture) == "$(dpkg --print-architecture)" ]] || fail "architecture: $(field Architecture)"
fi
[[ $(field Maintainer) == *@* ]] || fail "maintainer: $(field Maintainer)"
[[ -n $(field Description) ]] || fail "no description"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/contents.txt"
for f in ./usr/bin/kel2fram ./usr/bin/kitdump ./usr/share/man/man1/kel2fram.1; do
  grep -qxF "$f" "$work/contents.txt" || { cat "$work/contents.txt"; fail "package lacks $f"; }
done
# massplot and its manual page (plain or compressed).
grep -qxF ./usr/bin/massplot "$work/contents.txt" || fail "package lacks ./usr/bin/massplot"
grep -qE '^\./usr/share/man/man1/massplot\.1(\.gz)?$' "$work/contents.txt" ||
  fail "package lacks the massplot manual page"
echo "package $(basename "$deb") checks out"
