#!/bin/bash
# Starts or stops what the Wine tests of one build tree need: an Xvfb display, the
# tree's own Wine prefix and a persistent wineserver. Only what it started is stopped.
#   tests/wine/session.sh start BUILD_DIR
#   tests/wine/session.sh stop BUILD_DIR
# With HALVEX_DISPLAY set, that display is used instead of a new Xvfb.
set -u
cmd=${1:?start or stop}
build=$(cd "${2:?build dir}" && pwd)
export WINEPREFIX="$build/wineprefix" WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

case "$cmd" in
start)
  if [ -n "${HALVEX_DISPLAY:-}" ]; then
    # A display of the user's own: no Xvfb.
    echo "$HALVEX_DISPLAY" >"$build/display"
  elif ! { [ -f "$build/xvfb.pid" ] && kill -0 "$(cat "$build/xvfb.pid")" 2>/dev/null; }; then
    exec 3>"$build/display.tmp"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$build/xvfb.pid"
    exec 3>&-
    for _ in $(seq 100); do [ -s "$build/display.tmp" ] && break; sleep 0.1; done
    echo ":$(head -n1 "$build/display.tmp")" >"$build/display"
    rm -f "$build/display.tmp"
  fi
  export DISPLAY=$(cat "$build/display")
  # A wine process holds a wineserver descriptor for every open file.
  ulimit -n 65536 2>/dev/null || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  fi
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null &
  /usr/lib/wine/wine64 wineboot >/dev/null 2>&1 </dev/null
  if [ -z "${HALVEX_DISPLAY:-}" ]; then
    # No window manager on Xvfb: Wine draws frames and captions itself, and does not wait
    # for a window manager's answer (2 s) each time a window is hidden.
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  # A test program that crashes ends with its exit code and a backtrace on stderr, not with
  # a crash window nobody closes (which would hold the test until its time-out).
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Windows has SimSun on every system; Wine has no such font and maps the name to the
  # Chinese font installed here only on a Chinese system. Map it on every one, as Windows
  # would find it.
  for face in SimSun 'NSimSun'; do
    /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" \
      /d 'WenQuanYi Zen Hei' /f >/dev/null 2>&1
  done
  echo "wine session: WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY"
  ;;
stop)
  "$WINESERVER" -k >/dev/null 2>&1 || true
  if [ -f "$build/xvfb.pid" ]; then
    kill "$(cat "$build/xvfb.pid")" 2>/dev/null || true
    rm -f "$build/xvfb.pid" "$build/display"
  fi
  ;;
*) echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2 ;;
esac
