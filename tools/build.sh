#!/bin/bash
# Configures and builds the three trees:
#   build/i686    the shipped 32-bit HalvexFix.exe
#   build/x64     the same sources for x86_64, built as the shipped exe is (for size, no debug
#                 information), with the Windows tests (run under wine64)
#   build/native  the plain C++ core with its tests, sanitizers and fuzzers (clang)
# Usage: tools/build.sh [i686|x64|native]...   (all three when none is named)
# X64_TARGETS limits the x64 tree to the named targets (the demo needs only a few).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(i686 x64 native)
jobs=${JOBS:-$(nproc)}
# A compiler cache when there is one: the release's builds in other folders (same layout below
# the parent of this checkout) then reuse these objects. The bytes do not depend on it.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$top")} CCACHE_NOHASHDIR=1
fi
for t in "${trees[@]}"; do
  dir=build/$t
  case "$t" in
  i686)
    [ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-i686.cmake" >/dev/null
    cmake --build "$dir" -j "$jobs" --target HalvexFix ;;
  x64)
    [ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/toolchain-x86_64.cmake" \
      -DHALVEX_I686_EXE="$top/build/i686/bin/HalvexFix.exe" >/dev/null
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$jobs" ${X64_TARGETS:+--target $X64_TARGETS} ;;
  native)
    [ -f "$dir/build.ninja" ] || CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja \
      -DCMAKE_BUILD_TYPE=Debug -DHALVEX_FUZZ=ON >/dev/null
    cmake --build "$dir" -j "$jobs" ;;
  *) echo "unknown tree: $t" >&2; exit 2 ;;
  esac
done
