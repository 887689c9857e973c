#!/usr/bin/env bash
# Package check: builds the Debian package of the build folder with cpack into
# a temporary folder, checks its control fields, that it holds every program
# with its gzip-compressed manual page, the copyright file, the changelog, the
# manual and the example weight lists,
# and that lintian reports no error and no warning. lintian is installed from
# Debian's packages when missing. Exits 77 (skipped) where dpkg-deb is missing.
# Usage: package_test.sh CPACK BUILD_DIR VERSION PROGRAM...
set -euo pipefail
cpack=$1
build=$2
version=$3
shift 3
programs=("$@")

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
[[ $(field Section) == science ]] || fail "section: $(field Section)"
[[ $(field Priority) == optional ]] || fail "priority: $(field Priority)"
[[ -n $(field Description) ]] || fail "no description"

dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/contents.txt"
expected=(./usr/share/doc/kel2fram/copyright ./usr/share/doc/kel2fram/changelog.gz
  ./usr/share/doc/kel2fram/manual.md)
for example in "$(dirname "$0")"/../examples/*.txt; do
  expected+=("./usr/share/doc/kel2fram/examples/$(basename "$example")")
done
for program in "${programs[@]}"; do
  expected+=("./usr/bin/$program" "./usr/share/man/man1/$program.1.gz")
done
for f in "${expected[@]}"; do
  grep -qxF "$f" "$work/contents.txt" || { cat "$work/contents.txt"; fail "package lacks $f"; }
done
# massplot and its manual page (plain or compressed).
grep -qxF ./usr/bin/massplot "$work/contents.txt" || fail "package lacks ./usr/bin/massplot"
grep -qE '^\./usr/share/man/man1/massplot\.1(\.gz)?$' "$work/contents.txt" ||
  fail "package lacks the massplot manual page"

# The changelog's latest entry is the packaged version.
latest=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/kel2fram/changelog.gz | gzip -dc | head -n 1)
[[ $latest == "kel2fram ($version) "* ]] || fail "changelog begins with «$latest», not version $version"

if ! command -v lintian >/dev/null; then
  echo "lintian not found: installing it from Debian's packages"
  { apt-get update -qq && apt-get install -y -qq lintian; } >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "lintian could not be installed (apt-get needs root): install the Debian package lintian"; }
fi
# Errors and warnings fail the check; informational tags are shown but pass.
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian reports errors or warnings"; }
cat "$work/lintian.log"
echo "package $(basename "$deb") checks out"
