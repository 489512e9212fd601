#!/bin/bash
# Installs from Debian's packages what the build, the tests and the demo need.
# Idempotent, and quick when everything is present.
set -euo pipefail
packages=(
  make cmake ninja-build python3 python3-pefile
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  clang libclang-rt-14-dev googletest
  wine64 xvfb xauth x11-utils imagemagick locales fonts-wqy-zenhei
  osslsigncode openssl xdotool nlohmann-json3-dev gifsicle ccache
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
# The system code pages the tests run on: 936 (zh_CN), 1252 (en_US), 932 (ja_JP).
regen=0
for loc in zh_CN en_US ja_JP; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" >>/etc/locale.gen
    regen=1
  fi
done
[ $regen = 0 ] || locale-gen >/dev/null
