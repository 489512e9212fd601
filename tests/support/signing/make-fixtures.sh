#!/bin/bash
# Makes a throw-away code-signing PKI and Authenticode-signed copies of a fixture program.
#   make-fixtures.sh OUTDIR SOURCE_EXE [MAKER_NAME] [SIZE...]
# OUTDIR receives:
#   root.crt root.cer   the test root (self-signed; PEM and DER), which the tests trust in
#                       their Wine prefix
#   maker.crt/.key      code signing, subject CN = MAKER_NAME (default: the build default)
#   other.crt           code signing for another company
#   expired.crt         MAKER_NAME, validity entirely in the past
#   case.crt            MAKER_NAME in upper case
#   selfsigned.crt      MAKER_NAME, self-signed: no trusted root vouches for it
#   fullwidth.crt       MAKER_NAME with its first letter full-width (a look-alike)
#   trailing.crt        MAKER_NAME followed by a space
#   unsigned.exe        SOURCE_EXE as it is
#   maker.exe other.exe expired.exe case.exe selfsigned.exe fullwidth.exe trailing.exe
#                       SOURCE_EXE signed with each certificate
#   tampered.exe        maker.exe with one byte changed after signing
#   maker-SIZE.exe      maker-signed, exactly SIZE bytes long, for each SIZE given
#                       (SIZE must leave room for the program and its signature)
# The sized copies carry zero padding after the last section before signing (the signature's
# size is measured on maker.exe first), and the certificate table is then cut or zero-extended
# to the exact remaining length; its DER blob stays whole. For a SIZE that is a multiple of 8
# the result is a regular signed file. For other sizes the table length is not a multiple of
# 8: Wine's WinVerifyTrust accepts such a file (and still rejects it once a byte changes),
# while strict checkers such as `osslsigncode verify` call the table corrupt.
# Example: make-fixtures.sh /tmp/fx build/x64/bin/FixtureProduct.exe "Orvane Technology Co., Ltd." 99999 100000
set -euo pipefail
out=${1:?OUTDIR}
src=${2:?SOURCE_EXE}
maker=${3:-Orvane Technology Co., Ltd.}
shift $(( $# >= 3 ? 3 : $# ))
sizes=("$@")

mkdir -p "$out"
cd "$out"
work=pki
rm -rf "$work"
mkdir -p "$work/db"
: >"$work/db/index.txt"
echo 1000 >"$work/db/serial"
cat >"$work/ca.cnf" <<CNF
[ ca ]
default_ca = test_ca
[ test_ca ]
dir = $work/db
database = $work/db/index.txt
serial = $work/db/serial
new_certs_dir = $work/db
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
x509_extensions = codesign
[ any ]
commonName = supplied
[ codesign ]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 3650 \
  -subj "/CN=Halvex Test Root" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl x509 -in root.crt -outform DER -out root.cer

# issue NAME CN START END (the CN in UTF-8)
issue() {
  openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$work/$1.csr" \
    -utf8 -subj "/CN=$2" 2>/dev/null
  openssl ca -batch -utf8 -config "$work/ca.cnf" -cert root.crt -keyfile root.key \
    -in "$work/$1.csr" -out "$1.crt" -startdate "$3" -enddate "$4" -notext 2>/dev/null
}
upper=$(printf '%s' "$maker" | tr '[:lower:]' '[:upper:]')
# The first letter in its full-width form (U+FF01..U+FF5E mirror ASCII 0x21..0x7E).
fullwidth=$(python3 -c 'import sys; s = sys.argv[1]; print(chr(ord(s[0]) + 0xFEE0) + s[1:], end="")' "$maker")
issue maker "$maker" 20240101000000Z 20991231000000Z
issue other "Lindqvist Software Ltd." 20240101000000Z 20991231000000Z
issue expired "$maker" 20190101000000Z 20200101000000Z
issue case "$upper" 20240101000000Z 20991231000000Z
issue fullwidth "$fullwidth" 20240101000000Z 20991231000000Z
issue trailing "$maker " 20240101000000Z 20991231000000Z
openssl req -x509 -newkey rsa:2048 -nodes -keyout selfsigned.key -out selfsigned.crt -days 3650 \
  -utf8 -subj "/CN=$maker" -addext "basicConstraints=critical,CA:FALSE" \
  -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2>/dev/null

sign() { # CERT IN OUT
  rm -f "$3"
  osslsigncode sign -certs "$1.crt" -key "$1.key" -h sha256 -n "Halvex" -in "$2" -out "$3" >/dev/null
}
cp "$src" unsigned.exe
for c in maker other expired case selfsigned fullwidth trailing; do sign "$c" unsigned.exe "$c.exe"; done

# One byte of the DOS stub (hashed, never executed) changed after signing.
cp maker.exe tampered.exe
python3 - tampered.exe <<'PY'
import sys
with open(sys.argv[1], 'r+b') as f:
    f.seek(0x60); b = f.read(1); f.seek(0x60); f.write(bytes([b[0] ^ 0x20]))
PY

for size in "${sizes[@]}"; do
  python3 - "$size" unsigned.exe maker.exe "maker-$size.exe" "$work/padded.exe" <<'PY' || exit 1
import os, struct, subprocess, sys
size, unsigned, signed, target, padded = int(sys.argv[1]), *sys.argv[2:]

def security_dir(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    magic = struct.unpack_from('<H', data, pe + 24)[0]
    dirs = pe + 24 + (112 if magic == 0x20B else 96)
    return pe, dirs + 4 * 8

def der_length(blob):
    assert blob[0] == 0x30
    if blob[1] < 0x80:
        return 2 + blob[1]
    n = blob[1] & 0x7F
    return 2 + n + int.from_bytes(blob[2:2 + n], 'big')

def checksum(data, pe):
    total = 0
    off = pe + 24 + 64
    for i in range(0, len(data) - len(data) % 2, 2):
        if i in (off, off + 2):
            continue
        total += data[i] | data[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    if len(data) % 2:
        total += data[-1]
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF

data = open(signed, 'rb').read()
pe, sec = security_dir(data)
table_off, _ = struct.unpack_from('<II', data, sec)
minimum = 8 + der_length(data[table_off + 8:])
base = os.path.getsize(unsigned)
head = (size - minimum) // 8 * 8
if head < (base + 7) // 8 * 8:
    sys.exit(f'{size} bytes cannot hold the program and its signature (at least {base + minimum})')
raw = open(unsigned, 'rb').read()
open(padded, 'wb').write(raw + b'\0' * (head - len(raw)))
if os.path.exists(target):
    os.remove(target)
subprocess.run(['osslsigncode', 'sign', '-certs', 'maker.crt', '-key', 'maker.key', '-h', 'sha256',
                '-n', 'Halvex', '-in', padded, '-out', target], check=True, stdout=subprocess.DEVNULL)
data = bytearray(open(target, 'rb').read())
table_off, _ = struct.unpack_from('<II', data, sec)
assert table_off == head and 8 + der_length(data[head + 8:]) == minimum, 'signature size changed'
length = size - head
data = data[:size] + b'\0' * max(0, size - len(data))
struct.pack_into('<II', data, sec, head, length)
struct.pack_into('<I', data, head, length)
struct.pack_into('<I', data, pe + 24 + 64, checksum(data, pe))
open(target, 'wb').write(bytes(data))
PY
done
rm -rf "$work"
touch fixtures.stamp
