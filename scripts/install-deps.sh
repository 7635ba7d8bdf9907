#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Quick and silent when everything is already there.
set -eu
pkgs=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  nginx-light lighttpd tinyproxy gophernicus socat
  python3 python3-aiosmtpd python3-pyftpdlib vsftpd
  apache2-utils
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# Keep packaged servers from starting system-wide instances; tests start their own.
if [ ! -e /usr/sbin/policy-rc.d ] && [ "$(id -u)" -eq 0 ]; then
  printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d; chmod +x /usr/sbin/policy-rc.d; trap 'rm -f /usr/sbin/policy-rc.d' EXIT
fi
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
