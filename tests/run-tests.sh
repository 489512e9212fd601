#!/bin/bash
# Runs every test: the native plain-core tests (sanitizers, short fuzz runs), then the
# Windows tests under wine64 with an Xvfb display, including the check of the shipped exe.
set -uo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh
tools/build.sh i686 x64 native || exit 1

status=0
echo "== native tests"
ctest --test-dir build/native --output-on-failure -j "$(nproc)" || status=1

echo "== Windows tests under wine64"
tests/wine/session.sh start build/x64 || exit 1
trap 'tests/wine/session.sh stop build/x64' EXIT
ctest --test-dir build/x64 --output-on-failure --timeout 600 || status=1
exit $status
