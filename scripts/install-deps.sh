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

# The Windows build compiles libxlsxwriter from Debian's source package
# (apt-get source, when it is configured), which needs a deb-src entry for
# bookworm main. One is added beside the machine's own entries, from the same
# mirror and in the same format (deb822 .sources or a one-line .list), when
# none is there yet.
add_bookworm_sources() {
  local targets mirror keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  targets=$(apt-get indextargets --format '$(TARGET_OF) $(RELEASE) $(COMPONENT) $(REPO_URI)')
  if grep -q '^deb-src bookworm main ' <<<"$targets"; then return 0; fi
  mirror=$(sed -n 's|^deb bookworm main \(.*\)$|\1|p' <<<"$targets" | head -1)
  mirror=${mirror:-http://deb.debian.org/debian/}
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
      "$mirror" "$keyring" | $sudo tee /etc/apt/sources.list.d/valmeric-deb-src.sources >/dev/null
  else
    echo "deb-src [signed-by=$keyring] $mirror bookworm main" |
      $sudo tee /etc/apt/sources.list.d/valmeric-deb-src.list >/dev/null
  fi
}
add_bookworm_sources
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${packages[@]}"
$sudo apt-get install -y "${windows_packages[@]}"
