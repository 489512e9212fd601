#!/bin/bash
# Makes a release of the git checkout in the current directory: builds the shipped 32-bit exe
# from a clean export of the commit, signs it when a key is given, verifies it and writes
#   $DIST/HalvexFix-<version>.exe   the program
#   $DIST/SHA256SUMS                its checksum (sha256sum -c SHA256SUMS)
#   $DIST/RELEASE.txt               version, commit, signature, toolchain, unsigned build's hash
# Everything is made in a temporary folder and moved into $DIST only when the release succeeded;
# a failed release leaves $DIST as it was.
#
# Variables:
#   DIST                output folder (default: dist in the checkout)
#   ALLOW_DIRTY=1       release a tree with uncommitted changes: its tracked files are built
#                       as they are, and RELEASE.txt says so (refused otherwise)
#   SIGN_PKCS12         PKCS#12 file holding the code-signing key and certificate (with its chain)
#   SIGN_PASSWORD_FILE  file holding that file's password (first line); never give it on a
#                       command line
#   SIGN_CA_FILE        PEM certificates the signature must verify against
#                       (default: the system's CA bundle)
#   SIGN_TIMESTAMP_URL  RFC 3161 time-stamping server (optional)
#   SIGN_TSA_CA_FILE    roots the time-stamp is verified against (default: SIGN_CA_FILE)
#   TMPDIR              where the export and build tree go (removed afterwards)
#   JOBS                parallel build jobs (default: the number of cores)
# Without SIGN_PKCS12 the release is made unsigned and says so.
set -euo pipefail

fail() { echo "release: $*" >&2; exit 1; }
loud() { printf '\n*** %s ***\n\n' "$*" >&2; }

top=$(git rev-parse --show-toplevel 2>/dev/null) || fail "not inside a git checkout"
cd "$top"
dist=${DIST:-dist}
case "$dist" in /*) ;; *) dist=$top/$dist ;; esac
jobs=${JOBS:-$(nproc)}

# --- what is released
commit=$(git rev-parse --verify HEAD)
changes=$(git status --porcelain --untracked-files=normal)
tree=$commit
dirty=
if [ -n "$changes" ]; then
  if [ "${ALLOW_DIRTY:-0}" != 1 ]; then
    echo "$changes" >&2
    fail "the tree has uncommitted changes (above); commit them, or set ALLOW_DIRTY=1 to release them as they are"
  fi
  # A commit object of the tracked files as they are now; the work tree and index stay untouched.
  # Untracked files are not part of it.
  tree=$(git stash create)
  if [ -n "$tree" ]; then
    dirty=" with uncommitted changes to tracked files (ALLOW_DIRTY=1)"
  else
    tree=$commit
  fi
  loud "RELEASING A TREE WITH UNCOMMITTED CHANGES (ALLOW_DIRTY=1)"
fi
# The one time the build may use: the commit's, so that rebuilds give the same bytes.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH TZ=UTC

# --- the key, checked before the build so a wrong password costs nothing
signed=0
if [ -n "${SIGN_PKCS12:-}" ]; then
  [ -r "$SIGN_PKCS12" ] || fail "SIGN_PKCS12: cannot read $SIGN_PKCS12"
  [ -n "${SIGN_PASSWORD_FILE:-}" ] || fail "SIGN_PKCS12 is set but SIGN_PASSWORD_FILE is not: give the key's password in a file"
  [ -r "$SIGN_PASSWORD_FILE" ] || fail "SIGN_PASSWORD_FILE: cannot read $SIGN_PASSWORD_FILE"
  ca=${SIGN_CA_FILE:-/etc/ssl/certs/ca-certificates.crt}
  [ -r "$ca" ] || fail "SIGN_CA_FILE: cannot read $ca"
  tsa_ca=${SIGN_TSA_CA_FILE:-$ca}
  if ! openssl pkcs12 -in "$SIGN_PKCS12" -passin "file:$SIGN_PASSWORD_FILE" -nokeys -noout 2>/dev/null ||
     ! openssl pkcs12 -in "$SIGN_PKCS12" -passin "file:$SIGN_PASSWORD_FILE" -nocerts -nodes 2>/dev/null |
       grep -q 'PRIVATE KEY'; then
    fail "cannot open the signing key $SIGN_PKCS12 with the password in $SIGN_PASSWORD_FILE (wrong password, or not a PKCS#12 file with a key); nothing was built"
  fi
  subject=$(openssl pkcs12 -in "$SIGN_PKCS12" -passin "file:$SIGN_PASSWORD_FILE" -clcerts -nokeys 2>/dev/null |
            openssl x509 -noout -subject -nameopt RFC2253 | sed 's/^subject=//')
  signed=1
else
  loud "NO SIGNING KEY (SIGN_PKCS12): THIS RELEASE WILL BE UNSIGNED"
fi

# --- build in a fresh tree of its own
work=$(mktemp -d "${TMPDIR:-/tmp}/halvex-release.XXXXXX")
stage=
cleanup() { rm -rf "$work"; [ -z "$stage" ] || rm -rf "$stage"; }
trap cleanup EXIT
mkdir "$work/src"
git archive --format=tar "$tree" | tar -x -C "$work/src"
# The tree is laid out as tools/build.sh lays out a checkout, so a compiler cache that the
# developer's own builds filled serves this one too (the bytes do not depend on it).
build=$work/src/build/i686
echo "release: building $commit$dirty in $work"
cmake -S "$work/src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/toolchain-i686.cmake" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log" >&2; fail "configuring the build failed"; }
cmake --build "$build" -j "$jobs" --target HalvexFix >"$work/build.log" 2>&1 ||
  { tail -50 "$work/build.log" >&2; fail "the build failed"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in the build tree"
name=HalvexFix-$version.exe
built=$build/bin/HalvexFix.exe
unsigned_sha=$(sha256sum "$built" | cut -d' ' -f1)

# --- the release, staged beside its destination
mkdir -p "$(dirname "$dist")"
stage=$(mktemp -d "$(dirname "$dist")/.$(basename "$dist").staging.XXXXXX")
if [ $signed = 1 ]; then
  ts=()
  [ -z "${SIGN_TIMESTAMP_URL:-}" ] || ts=(-ts "$SIGN_TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$SIGN_PKCS12" -readpass "$SIGN_PASSWORD_FILE" -h sha256 \
    -n HalvexFix "${ts[@]}" -in "$built" -out "$stage/$name" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; fail "signing failed; nothing was written to $dist"; }
  tsv=()
  [ -z "${SIGN_TIMESTAMP_URL:-}" ] || tsv=(-TSA-CAfile "$tsa_ca")
  osslsigncode verify -CAfile "$ca" "${tsv[@]}" -in "$stage/$name" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log" >&2; fail "the signed exe does not verify against $ca; nothing was written to $dist"; }
  signature="Authenticode, SHA-256, signed by: $subject"
  [ -z "${SIGN_TIMESTAMP_URL:-}" ] || signature="$signature; time-stamped by $SIGN_TIMESTAMP_URL"
else
  cp "$built" "$stage/$name"
  signature="NONE - THIS RELEASE IS UNSIGNED (no signing key was given)"
fi

(cd "$stage" && sha256sum "$name" >SHA256SUMS && sha256sum --quiet -c SHA256SUMS) ||
  fail "the checksum of the staged exe does not match"

first() { "$@" 2>&1 | head -1; }
ossl() { osslsigncode --version 2>&1 | head -2 | tr -s '\n\t' '  ' | sed 's/ *$//'; }
{
  echo "HalvexFix $version"
  echo "Commit: $commit$dirty"
  echo "Commit date: $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ) (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
  echo "Signature: $signature"
  echo "Unsigned build SHA-256: $unsigned_sha"
  echo "  (a rebuild of this commit gives these bytes; osslsigncode remove-signature gives them back"
  echo "   from the signed file)"
  echo "Toolchain:"
  echo "  $(first i686-w64-mingw32-g++-posix --version)"
  echo "  $(first i686-w64-mingw32-ld --version)"
  echo "  $(first i686-w64-mingw32-windres --version)"
  echo "  $(first cmake --version), ninja $(first ninja --version)"
  [ $signed = 0 ] || echo "  $(ossl)"
} >"$stage/RELEASE.txt"
chmod 644 "$stage"/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
chmod 755 "$stage"

# --- into place: the old release goes only once the new one is whole
old=
if [ -e "$dist" ]; then
  old=$(mktemp -u "$(dirname "$dist")/.$(basename "$dist").old.XXXXXX")
  mv "$dist" "$old"
fi
mv "$stage" "$dist"
stage=
[ -z "$old" ] || rm -rf "$old"

echo "release: $dist/$name"
sed 's/^/  /' "$dist/RELEASE.txt"
[ $signed = 1 ] || loud "UNSIGNED RELEASE: $dist/$name carries no signature"
