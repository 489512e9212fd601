#!/bin/bash
# Shows the tool at work: builds it, prepares a Wine prefix as an infected machine and starts
# HalvexFix.exe on it. On the user's display when DISPLAY is set (close the window to end);
# otherwise under Xvfb, saving screenshots to build/demo-release.png (while the held-open
# executable is released) and build/demo.png (the findings), then closing the tool.
# HALVEX_LANG=en_US.UTF-8 (or ja_JP.UTF-8) shows it on a system of another code page.
#
# The infected machine: Halvex installed under "C:\Program Files\Orvane\Halvex" and signed with
# a test certificate of the maker, an image-file-execution key on Halvex.exe, a process holding
# Halvex.exe open (with a few thousand other files, so the release takes a moment), and a hosts
# line redirecting the product's web domain.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
tools/bootstrap.sh
X64_TARGETS="HalvexFix HandleHolder TrustRoot signing_fixtures" tools/build.sh x64

build=$top/build/demo
mkdir -p "$build"
rm -rf "$build/wineprefix"   # a fresh machine every time
if [ -n "${DISPLAY:-}" ]; then
  export HALVEX_DISPLAY=$DISPLAY
fi
tests/wine/session.sh start "$build" >/dev/null
cleanup() { tests/wine/session.sh stop "$build"; }
trap cleanup EXIT
export WINEPREFIX=$build/wineprefix WINELOADER=/usr/lib/wine/wine64 WINEDEBUG=-all
# HALVEX_LANG runs the tool on another system code page: en_US.UTF-8 (1252), ja_JP.UTF-8 (932).
export WINEDLLOVERRIDES="mscoree,mshtml=" LANG=${HALVEX_LANG:-zh_CN.UTF-8} DISPLAY=$(cat "$build/display")
wine() { /usr/lib/wine/wine64 "$@"; }

domain=$(sed -n 's/^#define HALVEX_WEB_DOMAIN "\(.*\)"$/\1/p' build/x64/generated/BuildConfig.h)
bin=build/x64/bin
signed=build/x64/fixtures/signing

install_unix="$WINEPREFIX/drive_c/Program Files/Orvane/Halvex"
install_win='C:\Program Files\Orvane\Halvex'
mkdir -p "$install_unix"
# The test certificates' root is trusted here, as the maker's real root is on a real machine.
wine "$bin/TrustRoot.exe" "Z:$(pwd)/$signed/root.cer"
cp "$signed/maker-100001.exe" "$install_unix/Halvex.exe"
cp "$signed/maker-100001.exe" "$install_unix/HalvexMain.exe"
wine reg add 'HKLM\Software\Orvane\Halvex' /v Install /d "$install_win" /f >/dev/null
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Image File Execution Options\Halvex.exe' \
  /v Debugger /d 'C:\windows\system32\notepad.exe' /f >/dev/null
printf '127.0.0.1 localhost\r\n127.0.0.1 %s\r\n' "$domain" \
  >"$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts"

filler="$WINEPREFIX/drive_c/users/Public/filler.txt"
echo filler >"$filler"
wine "$bin/HandleHolder.exe" - unused 'C:\users\Public\filler.txt' 8000 "$install_win\\Halvex.exe" &
holder=$!
# The holder opens its files within a second or two.
sleep 3

if [ -n "${HALVEX_DISPLAY:-}" ]; then
  echo "demo: HalvexFix.exe is running on $DISPLAY; close its window to end."
  wine "$bin/HalvexFix.exe"
else
  wine "$bin/HalvexFix.exe" &
  tool=$!
  # A fresh prefix builds its font cache on the first window: wait for the dialog to show.
  for _ in $(seq 600); do
    xwininfo -root -tree 2>/dev/null | grep -q '"halvexfix.exe".*[0-9][0-9]x[0-9][0-9]' && break
    sleep 0.1
  done
  sleep 0.5
  import -window root "$top/build/demo-release.png"
  sleep 8
  import -window root "$top/build/demo.png"
  echo "demo: screenshots in build/demo-release.png and build/demo.png"
  kill "$tool" 2>/dev/null || true
fi
kill "$holder" 2>/dev/null || true
