#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any is missing.
# Usage: scripts/deps.sh [build|test]   (test adds what the test suite drives)
set -euo pipefail
want=(cmake g++ make pkg-config libsdl1.2-dev libcurl4-openssl-dev libgtest-dev
      libcairo2-dev librsvg2-dev libfreetype-dev fonts-dejavu-core
      libcpp-httplib-dev libsqlite3-dev libmicrohttpd-dev libpq-dev curl libsleef-dev zlib1g-dev gettext)
if [ "${1:-build}" = test ]; then
  want+=(xvfb xdotool imagemagick x11-xkb-utils x11-utils sox python3 gdb postgresql e2fsprogs
         dpkg-dev file lintian desktop-file-utils appstream systemd man-db clang libfuzzer-14-dev iproute2
         g++-aarch64-linux-gnu qemu-user libsleef-dev:arm64 zlib1g-dev:arm64 chromium)
fi
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
# The arm64 libraries the checker's cross build links come from Debian's multiarch.
if [ "${1:-build}" = test ] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $sudo dpkg --add-architecture arm64
fi
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
