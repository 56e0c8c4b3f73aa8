#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: quiet, and quick, when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libxml2-dev libxslt1-dev libxml2-utils
  libzip-dev libcurl4-openssl-dev libssl-dev
  nlohmann-json3-dev
  qt6-base-dev
  libgtest-dev
  clang libclang-rt-14-dev
  python3 python3-pyftpdlib python3-aiosmtpd python3-openssl openssl
  proftpd-core proftpd-mod-crypto openssh-client openssh-server
  chromium
  zip unzip
  xvfb xauth
  fonts-dejavu-core fonts-dejavu-extra
  dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
