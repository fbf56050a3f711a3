#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the demo need:
# scripts/packages.txt for Linux, scripts/packages-windows.txt for the Windows
# target (cross compiler, Wine, NSIS; with their recommended packages, which
# Wine needs to run programs).
set -euo pipefail
cd "$(dirname "$0")"
list() { grep -v '^#' "$1" | tr ' ' '\n' | grep -v '^$'; }
mapfile -t packages < <(list packages.txt)
mapfile -t windows_packages < <(list packages-windows.txt)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
$sudo apt-get install -y "${windows_packages[@]}"
