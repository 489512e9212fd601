#!/bin/bash
# Checks `make release` (tools/release.sh) end to end with a throw-away signing PKI.
#   release-test.sh refusals|signed|rebuild SOURCE_DIR OUT_DIR
# refusals  a dirty tree, a missing and a wrong key password are refused before anything is
#           built, and the output folder keeps what it had
# signed    a release signed with a test key made here: the signature verifies against the
#           test root (and not against another), SHA256SUMS matches, RELEASE.txt names the
#           commit, and the exe passes tests/pe/check_exe.py; leaves OUT_DIR/dist-signed and
#           OUT_DIR/pki for the Windows test of the tool's own signature check
# rebuild   a second, unsigned release in another directory gives the bytes of the signed one
#           without its signature
# Prints one PASS/FAIL line per check; exits non-zero when one fails. The release runs with
# ALLOW_DIRTY=1 so that a developer's uncommitted work can be tested; the compiler cache is
# used when one is installed.
set -uo pipefail
mode=${1:?refusals|signed|rebuild}
src=$(cd "${2:?SOURCE_DIR}" && pwd)
out=${3:?OUT_DIR}
mkdir -p "$out"
out=$(cd "$out" && pwd)
release=$src/tools/release.sh
subject="HalvexFix Release Test Signer"
failed=0

check() { # WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then echo "PASS  $what"; else echo "FAIL  $what"; failed=1; fi
}
has() { grep -q -- "$2" "$1"; }
absent() { [ ! -e "$1" ]; }

# The build may use ccache whether or not the developer's shell asks for it.
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$src")} CCACHE_NOHASHDIR=1
fi
unset DIST SIGN_PKCS12 SIGN_PASSWORD_FILE SIGN_CA_FILE SIGN_TIMESTAMP_URL SIGN_TSA_CA_FILE

make_pki() { # DIR: a root, a code-signing certificate under it, its PKCS#12 and password
  local d=$1
  rm -rf "$d"
  mkdir -p "$d"
  (
    cd "$d" || exit 1
    openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 30 \
      -subj "/CN=HalvexFix Release Test Root" -addext "basicConstraints=critical,CA:TRUE" \
      -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null &&
    openssl x509 -in root.crt -outform DER -out root.cer &&
    openssl req -x509 -newkey rsa:2048 -nodes -keyout other-root.key -out other-root.crt -days 30 \
      -subj "/CN=HalvexFix Release Test Root" 2>/dev/null &&
    openssl req -new -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
      -subj "/CN=$subject" 2>/dev/null &&
    printf '%s\n' 'basicConstraints=critical,CA:FALSE' 'keyUsage=critical,digitalSignature' \
      'extendedKeyUsage=codeSigning' 'subjectKeyIdentifier=hash' 'authorityKeyIdentifier=keyid' \
      >signer.ext &&
    openssl x509 -req -in signer.csr -CA root.crt -CAkey root.key -CAcreateserial -days 30 \
      -extfile signer.ext -out signer.crt 2>/dev/null &&
    printf 'test password %s\n' "$RANDOM$RANDOM" >password.txt &&
    echo 'not the password' >wrong-password.txt &&
    openssl pkcs12 -export -inkey signer.key -in signer.crt -certfile root.crt \
      -passout file:password.txt -out signer.p12
  )
}

case "$mode" in
refusals)
  pki=$out/pki-refusals
  make_pki "$pki" || { echo "FAIL  test PKI made"; exit 1; }
  # Dirty trees, in a clone of the commit so the developer's checkout is never touched.
  clone=$out/clone
  rm -rf "$clone"
  git clone -q --shared "$src" "$clone" || { echo "FAIL  clone of the checkout"; exit 1; }
  for case in modified untracked; do
    what="a modified file"; [ $case = modified ] || what="an untracked file"
    git -C "$clone" checkout -q -- . && git -C "$clone" clean -q -fd
    if [ $case = modified ]; then echo '# local edit' >>"$clone/README.md"; else : >"$clone/notes.txt"; fi
    rm -rf "$out/dist-dirty"
    (cd "$clone" && env -u ALLOW_DIRTY DIST="$out/dist-dirty" "$release") >"$out/dirty.log" 2>&1
    check "a tree with $what is refused" [ $? -ne 0 ]
    check "  and the refusal says why" has "$out/dirty.log" "uncommitted changes"
    check "  and no dist folder is made" absent "$out/dist-dirty"
  done
  rm -rf "$clone"

  # Key problems, found before the build; a previous release in the folder stays as it was.
  cd "$src" || exit 1
  rm -rf "$out/dist-key"
  ALLOW_DIRTY=1 DIST=$out/dist-key SIGN_PKCS12=$pki/signer.p12 "$release" >"$out/key.log" 2>&1
  check "a key without a password file is refused" [ $? -ne 0 ]
  check "  and the refusal names SIGN_PASSWORD_FILE" has "$out/key.log" "SIGN_PASSWORD_FILE is not"
  check "  and no dist folder is made" absent "$out/dist-key"
  mkdir -p "$out/dist-key"
  echo "previous release" >"$out/dist-key/RELEASE.txt"
  ALLOW_DIRTY=1 DIST=$out/dist-key SIGN_PKCS12=$pki/signer.p12 \
    SIGN_PASSWORD_FILE=$pki/wrong-password.txt SIGN_CA_FILE=$pki/root.crt "$release" >"$out/key.log" 2>&1
  check "a wrong key password is refused" [ $? -ne 0 ]
  check "  and the refusal says the password does not open the key" has "$out/key.log" "wrong password"
  kept() { [ "$(ls -A "$out/dist-key")" = RELEASE.txt ] && has "$out/dist-key/RELEASE.txt" "previous release"; }
  check "  and the previous release is left as it was" kept
  check "  and no staging folder is left behind" [ -z "$(find "$out" -maxdepth 1 -name '.dist-key.*')" ]
  rm -rf "$pki" "$out/dist-key"
  ;;

signed)
  pki=$out/pki
  make_pki "$pki" || { echo "FAIL  test PKI made"; exit 1; }
  dist=$out/dist-signed
  rm -rf "$dist" "$out/tmp-signed"
  mkdir -p "$out/tmp-signed"
  cd "$src" || exit 1
  start=$SECONDS
  ALLOW_DIRTY=1 DIST=$dist TMPDIR=$out/tmp-signed SIGN_PKCS12=$pki/signer.p12 \
    SIGN_PASSWORD_FILE=$pki/password.txt SIGN_CA_FILE=$pki/root.crt "$release" >"$out/signed.log" 2>&1
  rc=$?
  echo "signed release: $((SECONDS - start)) s"
  check "the signed release is made" [ $rc -eq 0 ] || { cat "$out/signed.log"; exit 1; }
  exe=$(find "$dist" -name 'HalvexFix-*.exe')
  check "dist holds the exe, SHA256SUMS and RELEASE.txt, nothing else" \
    [ "$(ls "$dist" | tr '\n' ' ')" = "$(basename "$exe") RELEASE.txt SHA256SUMS " ]
  version=$(basename "$exe" .exe)
  version=${version#HalvexFix-}
  check "the exe is named with the version CMakeLists.txt defines ($version)" has "$src/CMakeLists.txt" "project(HalvexFix VERSION $version "
  osslsigncode verify -CAfile "$pki/root.crt" -in "$exe" >"$out/verify.log" 2>&1
  check "the signature verifies against the test root" [ $? -eq 0 ]
  check "  and names the test signer" has "$out/verify.log" "CN=$subject"
  osslsigncode verify -CAfile "$pki/other-root.crt" -in "$exe" >/dev/null 2>&1
  check "the signature does not verify against another root of the same name" [ $? -ne 0 ]
  check "SHA256SUMS matches" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"
  check "RELEASE.txt names the commit" has "$dist/RELEASE.txt" "^Commit: $(git -C "$src" rev-parse HEAD)"
  check "RELEASE.txt names the version" has "$dist/RELEASE.txt" "^HalvexFix $version$"
  check "RELEASE.txt names the signer" has "$dist/RELEASE.txt" "^Signature: Authenticode, SHA-256, signed by: CN=$subject"
  check "RELEASE.txt names the compiler" has "$dist/RELEASE.txt" "i686-w64-mingw32-g++"
  /usr/bin/python3 "$src/tests/pe/check_exe.py" "$exe" >"$out/check_exe.log" 2>&1
  check "the released exe passes the shipped-exe check ($(tail -1 "$out/check_exe.log"))" [ $? -eq 0 ] ||
    grep FAIL "$out/check_exe.log"
  stamp=$(/usr/bin/python3 -c 'import pefile, sys; print(pefile.PE(sys.argv[1], fast_load=True).FILE_HEADER.TimeDateStamp)' "$exe")
  check "the PE header carries no link time (stamp $stamp)" [ "$stamp" = 0 ]
  check "no build or source path is in the exe" \
    bash -c "! grep -a -q -e '$src' -e '$out' -e 'halvex-release\\.' '$exe'"
  rm -rf "$out/tmp-signed"
  ;;

rebuild)
  dist=$out/dist-signed
  exe=$(find "$dist" -name 'HalvexFix-*.exe' 2>/dev/null)
  [ -n "$exe" ] || { echo "FAIL  the signed release is there (run the signed check first)"; exit 1; }
  rm -rf "$out/dist-rebuilt" "$out/tmp-rebuilt"
  mkdir -p "$out/tmp-rebuilt"
  cd "$src" || exit 1
  start=$SECONDS
  ALLOW_DIRTY=1 DIST=$out/dist-rebuilt TMPDIR=$out/tmp-rebuilt "$release" >"$out/rebuilt.log" 2>&1
  rc=$?
  echo "unsigned rebuild: $((SECONDS - start)) s"
  check "an unsigned release is made without a key" [ $rc -eq 0 ] || { cat "$out/rebuilt.log"; exit 1; }
  check "  and its output says loudly that it is unsigned" has "$out/rebuilt.log" "UNSIGNED RELEASE"
  check "  and so does its RELEASE.txt" has "$out/dist-rebuilt/RELEASE.txt" "^Signature: NONE - THIS RELEASE IS UNSIGNED"
  dir_a=$(sed -n 's/^release: building .* in //p' "$out/signed.log")
  dir_b=$(sed -n 's/^release: building .* in //p' "$out/rebuilt.log")
  apart() { [ -n "$dir_a" ] && [ -n "$dir_b" ] && [ "$dir_a" != "$dir_b" ]; }
  check "the two builds ran in different directories ($dir_a, $dir_b)" apart
  rebuilt=$out/dist-rebuilt/$(basename "$exe")
  osslsigncode remove-signature -in "$exe" -out "$out/unsigned-from-signed.exe" >/dev/null 2>&1
  if cmp -s "$out/unsigned-from-signed.exe" "$rebuilt"; then same=0; else same=1; fi
  check "the rebuilt exe is byte for byte the signed one without its signature" [ $same -eq 0 ] || {
    echo "  differing bytes (offset, first, second):"
    cmp -l "$out/unsigned-from-signed.exe" "$rebuilt" | head -20
  }
  check "the rebuilt exe has the unsigned SHA-256 that the signed release recorded" \
    has "$dist/RELEASE.txt" "^Unsigned build SHA-256: $(sha256sum "$rebuilt" | cut -d' ' -f1)$"
  rm -rf "$out/tmp-rebuilt" "$out/unsigned-from-signed.exe"
  ;;
*) echo "unknown mode: $mode" >&2; exit 2 ;;
esac
exit $failed
