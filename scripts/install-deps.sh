#!/usr/bin/env bash
# Installs the Debian packages the project needs, quietly; does nothing when all are there.
set -euo pipefail
packages=(
    cmake ninja-build g++ clang llvm libclang-rt-14-dev googletest libcurl4-openssl-dev python3
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    wine wine64 fonts-wine locales xvfb xauth x11-utils x11-apps xdotool openbox fonts-wqy-microhei imagemagick
    nginx-light aria2 axel curl hyperfine valgrind
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
