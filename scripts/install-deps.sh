#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Only missing packages are installed; apt's lists are refreshed once when needed.
set -euo pipefail
packages=(build-essential cmake pkg-config qt6-base-dev firebird-dev libfbclient2
          firebird3.0-server firebird3.0-utils firebird3.0-examples libgtest-dev
          xvfb xauth fonts-liberation ccache clang
          libclang-rt-14-dev util-linux)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
