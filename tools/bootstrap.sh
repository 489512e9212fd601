#!/bin/bash
# Installs from Debian's packages what the build, the tests and the demo need.
# Idempotent, and quick when everything is present.
set -euo pipefail
packages=(
  make cmake ninja-build python3 python3-pefile
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  clang libclang-rt-14-dev googletest
  wine64 xvfb xauth x11-utils imagemagick locales fonts-wqy-zenhei
  osslsigncode openssl xdotool nlohmann-json3-dev gifsicle
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
