#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests and the demo need
# (listed in scripts/packages.txt).
set -euo pipefail
cd "$(dirname "$0")"
mapfile -t packages < <(grep -v '^#' packages.txt | tr ' ' '\n' | grep -v '^$')
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
