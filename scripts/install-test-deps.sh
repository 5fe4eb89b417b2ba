#!/usr/bin/env bash
# Installs, from Debian's packages, what the builds and the tests need.
set -euo pipefail
packages=(cmake make g++ googletest libgtest-dev
          g++-mingw-w64-x86-64 wine64 xvfb
          openjdk-17-jdk-headless
          clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
