# Sourced by the end-to-end tests that run kalu-settings on a virtual X
# server, with folders of their own, and talk to it with settingsctl. The
# sourcing script sets `out` (its output folder) and `ctl_program`, and then
# calls:
#
# e2e_begin NAME: makes the temporary home $home (config, data, state, an
#   owner-only runtime folder and an empty no-certs folder), sets the EXIT
#   trap that stops the program, Xvfb and every pid in `stop_at_exit` and
#   removes the home, and starts Xvfb.
# start_settings PROGRAM [NAME=VALUE...]: runs PROGRAM with the home's
#   folders, the display and the extra environment, its output in
#   $out/app-stdout.txt and $out/app-stderr.txt; returns once it serves its
#   socket, and fails after a minute or when it ends first.
# start_dav_account PROGRAM ROOT ID SECRET [TYPE]: runs kalu-test-dav-account
#   (PROGRAM) with an account ID of TYPE in the accounts root ROOT, stopped at
#   exit; sets `port` and `ca_file` (the test authority, for SSL_CERT_FILE).
# dav_command LINE: one command to the DAV tool; prints its answer.
# fail TEXT: says what failed with every $out/*.txt, and exits 1.
# ctl ARGS...: settingsctl on the program's socket, waiting a minute at most
#   for an answer (only a hang takes that long).
# run_operation ACTION NAME PAYLOAD: starts operation ACTION
#   ("settings.display-operation") and waits for its outcome (in NAME.txt);
#   fails unless it succeeded.
# simdev ARGS...: the simulated device's tool, when the script set
#   `simdev_program`.

# shellcheck source=../../../../../platform/kalu_ui/app/tests/xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../../../../platform/kalu_ui/app/tests/xvfb.sh"

xvfb_pid=""
app_pid=""
stop_at_exit=()

e2e_cleanup() {
  local pid
  for pid in "$app_pid" "${stop_at_exit[@]}" "$xvfb_pid"; do
    [[ -n "$pid" ]] && kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$home"
}

e2e_begin() {
  mkdir -p "$out"
  home="$(mktemp -d "/tmp/kalu-$1-XXXXXX")"
  mkdir -p "$home/config" "$home/data" "$home/state" "$home/runtime" "$home/no-certs"
  chmod 700 "$home/runtime"
  trap e2e_cleanup EXIT
  start_xvfb "$out/xvfb.log"
}

fail() {
  echo "FAILED: $*" >&2
  local f
  for f in "$out"/*.txt; do
    echo "--- $f" >&2
    cat "$f" >&2
  done
  exit 1
}

ctl() {
  XDG_RUNTIME_DIR="$home/runtime" "$ctl_program" --timeout 60 "$@"
}

run_operation() {
  local id
  id="$(ctl start "$1" 1 "$3")" || fail "$2 was refused"
  ctl wait "$id" >"$out/$2.txt" || fail "$2 did not succeed"
}

simdev() {
  "$simdev_program" "$@"
}

start_dav_account() {
  local program="$1"
  shift
  coproc dav { "$program" "$@" 2>"$out/dav-stderr.txt"; }
  stop_at_exit+=("$dav_PID")
  read -r -u "${dav[0]}" _ port || fail "the DAV server did not start"
  read -r -u "${dav[0]}" _ ca_file || fail "the DAV server gave no certificate file"
}

dav_command() {
  echo "$1" >&"${dav[1]}"
  local answer
  read -r -u "${dav[0]}" answer
  echo "$answer"
}

e2e_serving() {
  kill -0 "$app_pid" 2>/dev/null || fail "kalu-settings ended early"
  ctl list >/dev/null 2>&1
}

start_settings() {
  local program="$1"
  shift
  env DISPLAY="$display" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" "$@" \
    "$program" >"$out/app-stdout.txt" 2>"$out/app-stderr.txt" &
  app_pid=$!
  wait_until 60 e2e_serving || fail "kalu-settings did not serve its socket within a minute"
}
