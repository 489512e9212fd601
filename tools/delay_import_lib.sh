#!/bin/sh
# Makes a delay-load import library for one system DLL, holding every function that the
# toolchain's own import library for it holds (data exports cannot be delay-loaded).
#   tools/delay_import_lib.sh COMPILER DLL OUT.a
# Linked in place of the usual one, the DLL is loaded on the first call into it, after the
# exe's entry point has limited the library search, not by the loader before that.
set -eu
compiler=$1 dll=$2 out=$3
machine=$("$compiler" -dumpmachine)
lib=$("$compiler" -print-file-name="lib$dll.a")
[ -f "$lib" ] || { echo "$0: no import library for $dll" >&2; exit 1; }
case $machine in
  i686*) imp=__imp__ prefix=_ ;;
  *) imp=__imp_ prefix= ;;
esac
def=$out.def
{
  echo "LIBRARY $dll.dll"
  echo "EXPORTS"
  # A function has both its thunk (T) and its pointer (I); decorated i686 names keep their
  # @n here, and -k drops it from the name the DLL is asked for.
  "$machine-nm" "$lib" 2>/dev/null | LC_ALL=C awk -v imp="$imp" -v prefix="$prefix" '
    $2 == "I" && index($3, imp) == 1 { pointer[substr($3, length(imp) + 1)] = 1 }
    $2 == "T" { n = $3; if (prefix != "" && substr(n, 1, 1) == prefix) n = substr(n, 2); thunk[n] = 1 }
    END { for (n in pointer) if (n in thunk) print n }' | LC_ALL=C sort
} >"$def"
rm -f "$out"
"$machine-dlltool" -k -d "$def" -y "$out"
