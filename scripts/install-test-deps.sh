#!/usr/bin/env bash
# Installs, from Debian's packages, what the builds and the tests need.
set -euo pipefail
packages=(cmake make g++ googletest libgtest-dev
          g++-mingw-w64-x86-64 wine wine64 xvfb
          openjdk-17-jdk-headless icoutils libxml2-utils
          clang libclang-rt-14-dev
          zip unzip openssl osslsigncode
          zlib1g-dev libz-mingw-w64-dev msitools wixl dpkg
          ant rhino)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# With their recommended packages, as a desktop Wine is installed.
$sudo apt-get install -y -qq "${missing[@]}" >/dev/null
