#!/bin/bash
# Runs every libFuzzer target of the native tree for longer than the test suite does.
#   tools/fuzz.sh [SECONDS_PER_FUZZER] [BUILD_DIR]     (defaults: 60, build/native)
# `make fuzz` builds build/native first. Crashes land in build/native/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${2:-build/native}
[ -f "$dir/build.ninja" ] || { echo "no native build in $dir (run tools/build.sh native)" >&2; exit 2; }
mkdir -p "$dir/fuzz-artifacts"
# The fuzzers are the tests registered with a bounded -runs=N (tests/CMakeLists.txt); each
# line is the fuzzer and its seed list option, if it has one.
mapfile -t fuzzers < <(ctest --test-dir "$dir" --show-only=json-v1 | /usr/bin/python3 -c '
import json, sys
for t in json.load(sys.stdin)["tests"]:
    cmd = t.get("command") or []
    if any(a.startswith("-runs=") for a in cmd[1:]):
        print("\t".join([cmd[0]] + [a for a in cmd[1:] if a.startswith("-seed_inputs=")]))' | sort -u)
[ ${#fuzzers[@]} -gt 0 ] || { echo "no fuzzers in $dir (configure with -DHALVEX_FUZZ=ON)" >&2; exit 2; }
status=0
for line in "${fuzzers[@]}"; do
  IFS=$'\t' read -r f seeds <<<"$line"
  name=$(basename "$f")
  corpus="$dir/fuzz-corpus/$name"
  mkdir -p "$corpus"
  echo "== $name: ${seconds}s"
  "$f" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 ${seeds:+"$seeds"} \
    -artifact_prefix="$dir/fuzz-artifacts/$name-" "$corpus" 2>&1 | tail -n 12 || status=1
done
exit $status
