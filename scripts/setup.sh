#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Ondrel need.
# Idempotent: it asks apt only for what is missing, and refreshes the package lists only then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libicu-dev
  libqt6sql6-sqlite libqt6sql6-psql
  postgresql
  libxlsxwriter-dev
  libmosquitto-dev mosquitto openssl
  unzip
  fonts-wqy-microhei
  xvfb xauth
  desktop-file-utils appstream
  # The package test (ctest -L package) and scripts/package.sh build and check the .deb.
  dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
