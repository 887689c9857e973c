#!/usr/bin/env bash
# The libraries the Windows programs link statically, built for x86_64-w64-mingw32 from
# Debian's source packages: zlib and minizip (the zlib source's contrib/minizip) and expat.
# They are installed into one prefix that cmake/mingw-w64-x86_64.cmake searches first:
#   PREFIX/include/{zlib.h,zconf.h,minizip/*.h,expat*.h}   PREFIX/lib/lib{z,minizip,expat}.a
#   PREFIX/share/doc/{zlib,expat}/  the copyright texts that go into the Windows zip
# A prefix already built is kept (delete it to rebuild). Needs a deb-src entry in the apt
# sources (`apt-get source` unpacks with dpkg-source, from dpkg-dev) and MinGW-w64.
# Usage: windows-deps.sh [PREFIX]   (default: build-windows-deps beside the source tree)
set -euo pipefail
source_tree=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-$source_tree/build-windows-deps}
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
stamp=$prefix/share/doc/kel2fram-windows-deps
if [[ -f $stamp ]]; then
  echo "windows-deps: already built in $prefix ($(tr '\n' ' ' <"$stamp"))"
  exit 0
fi

triple=x86_64-w64-mingw32
cc=$(command -v $triple-gcc-posix || command -v $triple-gcc) ||
  { echo "windows-deps: no $triple-gcc (Debian package gcc-mingw-w64-x86-64-posix)" >&2; exit 1; }
ar=$triple-ar
cflags=(-O2 -g -Wall)
work=$prefix/work
rm -rf "$work"
mkdir -p "$work" "$prefix/include/minizip" "$prefix/lib" "$prefix/share/doc/zlib" \
  "$prefix/share/doc/expat"

(cd "$work" && apt-get source -qq zlib expat >apt-source.log 2>&1) || {
  cat "$work/apt-source.log" >&2
  echo "windows-deps: apt-get source failed; the apt sources need a deb-src entry, e.g." >&2
  echo "  /etc/apt/sources.list.d/debian-src.sources: Types: deb-src, URIs, Suites and" >&2
  echo "  Components as in the deb entry, then apt-get update" >&2
  exit 1
}
zlib_src=$(echo "$work"/zlib-*/)
expat_src=$(echo "$work"/expat-*/)
zlib_version=$(dpkg-parsechangelog -l "$zlib_src/debian/changelog" -S Version)
expat_version=$(dpkg-parsechangelog -l "$expat_src/debian/changelog" -S Version)

# Compiles the named C files of one folder into a static library.
static_library() {
  local library=$1 folder=$2
  shift 2
  local objects=() file
  mkdir -p "$work/obj-$library"
  for file in "$@"; do
    # Their own warnings are theirs: kept in a log, shown only when a file fails.
    "$cc" "${cflags[@]}" -I"$prefix/include" -c "$folder/$file" \
      -o "$work/obj-$library/${file%.c}.o" 2>>"$work/compile.log" ||
      { cat "$work/compile.log" >&2; exit 1; }
    objects+=("$work/obj-$library/${file%.c}.o")
  done
  rm -f "$prefix/lib/lib$library.a"
  "$ar" rcs "$prefix/lib/lib$library.a" "${objects[@]}"
}

# zlib: its library sources as its own makefile lists them.
cp "$zlib_src"/{zlib.h,zconf.h} "$prefix/include/"
static_library z "$zlib_src" adler32.c crc32.c deflate.c infback.c inffast.c inflate.c \
  inftrees.c trees.c zutil.c compress.c uncompr.c gzclose.c gzlib.c gzread.c gzwrite.c
# minizip: the sources and headers of its own makefile for a Windows target (iowin32 reads
# and writes files by their wide names).
minizip_src=$zlib_src/contrib/minizip
cp "$minizip_src"/{crypt.h,ioapi.h,mztools.h,unzip.h,zip.h,iowin32.h} "$prefix/include/minizip/"
static_library minizip "$minizip_src" ioapi.c mztools.c unzip.c zip.c iowin32.c
cp "$zlib_src/debian/copyright" "$prefix/share/doc/zlib/copyright"
cp "$zlib_src/LICENSE" "$prefix/share/doc/zlib/LICENSE"

# expat: its own CMake build, the library alone.
cmake -S "$expat_src/expat" -B "$work/expat-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$source_tree/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
  -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF \
  -DEXPAT_BUILD_FUZZERS=OFF >"$work/expat-configure.log" 2>&1 ||
  { cat "$work/expat-configure.log" >&2; exit 1; }
# Debian's security patches test `XML_DTD == 1`, as its own (autotools) build defines it;
# expat's CMake build defines XML_DTD and XML_NS without a value. Given 1, as there.
sed -i -e 's/^#define XML_DTD$/#define XML_DTD 1/' -e 's/^#define XML_NS$/#define XML_NS 1/' \
  "$work/expat-build/expat_config.h"
grep -qx '#define XML_DTD 1' "$work/expat-build/expat_config.h" ||
  { echo "windows-deps: expat_config.h does not define XML_DTD" >&2; exit 1; }
cmake --build "$work/expat-build" --target install >"$work/expat-build.log" 2>&1 ||
  { cat "$work/expat-build.log" >&2; exit 1; }
cp "$expat_src/debian/copyright" "$prefix/share/doc/expat/copyright"
cp "$expat_src/expat/COPYING" "$prefix/share/doc/expat/COPYING"

rm -rf "$work"
printf 'zlib %s\nexpat %s\n' "$zlib_version" "$expat_version" >"$stamp"
echo "windows-deps: zlib and minizip $zlib_version, expat $expat_version in $prefix"
