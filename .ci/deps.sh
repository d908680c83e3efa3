#!/usr/bin/env bash
# Installs every Debian package that building and testing need; runs apt-get
# update first whenever a package is missing.
set -euo pipefail
PACKAGES=(
  build-essential cmake g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 xvfb xauth imagemagick xdotool
  openjdk-17-jdk-headless openjdk-17-jre fonts-dejavu-core junit4 unzip
  googletest libbenchmark-dev
  python3 python3-pip python3-pytest python3-pefile
  icoutils osslsigncode openssl libstb-dev libexpat1-dev
  qemu-user-static
  maven libmaven3-core-java libmaven-plugin-tools-java maven-debian-helper
)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "deps: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
