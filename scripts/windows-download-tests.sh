#!/usr/bin/env bash
# Runs the Windows build's download tests under Wine against the contract
# routes served by the native Linux valmeric_contract_server.
#   scripts/windows-download-tests.sh [gtest arguments...]
# SERVER and TESTS override the two programs' paths.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine_env.sh
server=${SERVER:-build/release/bin/valmeric_contract_server}
tests=${TESTS:-build/windows/bin/valmeric_download_tests.exe}
for program in "$server" "$tests"; do
  if [[ ! -x $program && ! -f $program ]]; then
    echo "missing $program: build valmeric_contract_server (release preset) and valmeric_download_tests (windows preset)" >&2
    exit 1
  fi
done

origins=$(mktemp)
"$server" >"$origins" &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; rm -f "$origins"' EXIT

for _ in $(seq 100); do
  [[ $(grep -c '^VALMERIC_CONTRACT_' "$origins") -ge 4 ]] && break
  kill -0 "$server_pid" 2>/dev/null || { echo "valmeric_contract_server did not start" >&2; exit 1; }
  sleep 0.1
done
while IFS='=' read -r name value; do
  [[ $name == VALMERIC_CONTRACT_* ]] && export "$name=$value"
done <"$origins"
[[ -n ${VALMERIC_CONTRACT_ORIGIN:-} ]] || { echo "valmeric_contract_server printed no origin" >&2; exit 1; }

prepare_wine
wine "$tests" "$@"
