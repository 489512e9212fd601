#!/bin/bash
# Runs the benchmarks under wine64 and prints their figures: the locked-file release, the
# markup label with a long markup, then the spinner's frame periods and CPU time.
#   tools/bench.sh [N [SECONDS]]   N: file handles the release helper holds (default 10000);
#                                  SECONDS: length of each spinner phase (default 10)
# BUILD_DIR picks the x86_64 tree (default build/x64); the targets are built if needed.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build/x64}
count=${1:-10000}
seconds=${2:-10}
cmake --build "$build" -j 2 --target release_bench markup_bench spinner_bench >/dev/null || exit 1

# Every file the helper holds is a wineserver descriptor: raise the limit if allowed.
ulimit -n $((count * 2 + 4096)) 2>/dev/null || true
limit=$(ulimit -n)
if [ "$limit" != unlimited ] && [ "$limit" -lt $((count + 4096)) ]; then
  echo "note: descriptor limit $limit may be too low for $count handles" >&2
fi

started=0
if ! { [ -f "$build/xvfb.pid" ] && kill -0 "$(cat "$build/xvfb.pid")" 2>/dev/null; }; then
  tests/wine/session.sh start "$build" >/dev/null || exit 1
  started=1
fi
[ $started = 1 ] && trap 'tests/wine/session.sh stop "$build"' EXIT

# Output to a file, never a pipe: the walk duplicates every process's handles, pipes too.
out=$(mktemp)
echo "== locked-file release, $count handles held by a helper process"
abs=$(cd "$build" && pwd)
(cd "$abs/bin" && "$abs/wine-exec.sh" release_bench.exe "$count" >"$out" 2>&1 </dev/null)
status=$?
cat "$out"
echo "== markup label, a long markup"
(cd "$abs/bin" && "$abs/wine-exec.sh" markup_bench.exe >"$out" 2>&1 </dev/null) || status=1
cat "$out"

echo "== spinner animation, ${seconds} s per phase"
(cd "$abs/bin" && "$abs/wine-exec.sh" spinner_bench.exe "$seconds" >"$out" 2>&1 </dev/null) || status=1
cat "$out"
rm -f "$out"
exit $status
