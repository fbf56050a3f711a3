# Sourced by the scripts that need the local directory site.
# start_local_site BIN_DIR WORK_DIR [SITESIM OPTIONS...]: starts valmeric-sitesim
# on a free loopback port and sets LOCAL_SITE (its origin, e.g.
# http://127.0.0.1:40123). stop_local_site stops it; callers trap it on EXIT.
start_local_site() {
  local bin=$1 work=$2
  shift 2
  rm -f "$work/site.port"  # an earlier site's port must not be taken for this one's
  "$bin/valmeric-sitesim" --host 127.0.0.1 --port 0 --port-file "$work/site.port" "$@" \
    >"$work/site.log" 2>&1 &
  LOCAL_SITE_PID=$!
  for _ in $(seq 1 100); do
    grep -q '^http=' "$work/site.port" 2>/dev/null && break
    sleep 0.1
  done
  LOCAL_SITE="http://127.0.0.1:$(sed -n 's/^http=//p' "$work/site.port")"
  [ "$LOCAL_SITE" != "http://127.0.0.1:" ] || { echo "the local site did not start" >&2; return 1; }
}

stop_local_site() {
  [ -n "${LOCAL_SITE_PID:-}" ] || return 0
  kill "$LOCAL_SITE_PID" 2>/dev/null || true
  wait "$LOCAL_SITE_PID" 2>/dev/null || true
}

# For the demos: installs, builds the release preset and starts the local site
# in a fresh folder (set as DEMO_WORK), stopped when the caller exits. Run from
# the repository's top folder.
# prepare_demo_site TARGET...: installs, builds what the demo runs (the local
# site and the reference database come along) and starts the site.
prepare_demo_site() {
  bash scripts/install-deps.sh
  source scripts/preset.sh
  build_preset release valmeric-sitesim valmeric_refdb "$@"
  DEMO_WORK=$(mktemp -d)
  trap stop_local_site EXIT
  start_local_site build/release/bin "$DEMO_WORK"
  echo "local directory site on $LOCAL_SITE"
}
