#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the demo need.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libcurl4-openssl-dev libsqlite3-dev sqlite3
  libcpp-httplib-dev libssl-dev openssl ca-certificates
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev python3-bs4 python3-lxml curl
  qt6-base-dev dbus xvfb xauth fonts-ipafont-gothic imagemagick
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
