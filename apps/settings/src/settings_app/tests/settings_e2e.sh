# shellcheck shell=bash
# Sourced, with its arguments, by every end-to-end test that runs kalu-settings
# on a virtual X server with folders of its own and talks to it with
# settingsctl. Each such test is registered by settings_e2e_test
# (apps/settings/CMakeLists.txt) and run as
#
#   SCRIPT KALU-SETTINGS SETTINGSCTL SIMDEV KALU-TEST-DAV-ACCOUNT OUTPUT-FOLDER
#
# which this file reads into `program`, `ctl_program`, `simdev_program`,
# `dav_program` and `out`. Every wait below is bounded against a hang only:
# a loaded machine may take long, and no test asserts how long anything took.
#
# e2e_begin NAME: makes the temporary home $home (config, data, state, an
#   owner-only runtime folder and an empty no-certs folder), empties the
#   output folder of an earlier run's answers, sets the EXIT trap that stops
#   the program, Xvfb and every pid in `stop_at_exit` and removes the home,
#   and starts Xvfb. The program and simdev then share the simulated device
#   $KALU_DEVICE_STATE in the home, outside test mode (a test table would
#   refuse every program) and never as the machine (KALU_DEVICE is unset).
# start_settings [NAME=VALUE...]: runs kalu-settings with the home's folders,
#   the display and the extra environment, its output in $out/app-stdout.txt
#   and $out/app-stderr.txt; returns once it serves its socket, and fails
#   after a minute or when it ends first.
# start_dav_account ROOT ID SECRET [TYPE]: runs kalu-test-dav-account with an
#   account ID of TYPE in the accounts root ROOT, stopped at exit; sets `port`
#   and `ca_file` (the test authority, for SSL_CERT_FILE).
# dav_command LINE: one command to the DAV tool; prints its answer.
# fail TEXT: says what failed with every $out/*.txt, and exits 1.
# ctl ARGS...: settingsctl on the program's socket, waiting a minute at most
#   for an answer.
# simdev ARGS...: the simulated device's tool.
# operation ACTION NAME PAYLOAD: starts operation ACTION
#   ("settings.display-operation"; refused: the test fails) and waits for its
#   end, the answer in NAME.txt; answers settingsctl's status.
# run_operation ACTION NAME PAYLOAD: the same, and fails unless it succeeded.
# run NAME PAYLOAD, run_failing NAME PAYLOAD MESSAGE: run_operation of the
#   script's `operation_action`; run_failing's operation must fail with
#   MESSAGE.
# said NAME VALUE: the operation of NAME succeeded with VALUE as its value.
# operation_id FILE: the operation the answer in FILE started; empty when
#   none.
# invoke NAME RESOURCE ACTION [ARGS]: invokes the action (refused: the test
#   fails), the answer in NAME.txt; when it started an operation, waits for
#   it, the end in NAME-end.txt, and fails unless it succeeded.
# device_holds NAME SECTION CHECK: `simdev show SECTION` (kept in NAME.txt)
#   passes the Python assertion CHECK on its JSON, `state`.
# screenshot NAME: the screen as $out/NAME.png.

program="$1"
ctl_program="$2"
simdev_program="$3"
dav_program="$4"
out="$5"
toolkit_tests="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../../../platform/kalu_ui/app/tests" && pwd)"

# shellcheck source=../../../../../platform/kalu_ui/app/tests/xvfb.sh
source "$toolkit_tests/xvfb.sh"

# A script starts python3 dozens of times; the name may be a version
# manager's shim that costs far more than the interpreter on each start, so
# the interpreter it stands for is found once and run directly.
e2e_python="$(command python3 -c 'import sys; print(sys.executable)')" || e2e_python=""
[[ -x "$e2e_python" ]] || e2e_python="$(command -v python3)"
python3() { "$e2e_python" "$@"; }

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
  rm -f "$out"/*.txt
  home="$(mktemp -d "/tmp/kalu-$1-XXXXXX")"
  mkdir -p "$home/config" "$home/data" "$home/state" "$home/runtime" "$home/no-certs"
  chmod 700 "$home/runtime"
  trap e2e_cleanup EXIT
  unset KALU_TEST KALU_DEVICE
  export KALU_DEVICE_STATE="$home/state/simulated-device.json"
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

simdev() {
  "$simdev_program" "$@"
}

operation() {
  local id status=0
  id="$(ctl start "$1" 1 "$3")" || fail "$2 was refused"
  ctl wait "$id" >"$out/$2.txt" || status=$?
  return $status
}

run_operation() {
  operation "$@" || fail "$2 did not succeed"
}

run() {
  run_operation "${operation_action:?the script names no operation_action}" "$@"
}

run_failing() {
  local status=0
  operation "${operation_action:?the script names no operation_action}" "$1" "$2" || status=$?
  [[ $status -eq 1 ]] || fail "$1 answered status $status, not a failure"
  grep -qF "\"message\": \"$3\"" "$out/$1.txt" || fail "$1 did not fail with \"$3\""
}

said() {
  grep -qF "\"value\": \"$2\"" "$out/$1.txt" || fail "$1 did not end with \"$2\""
}

operation_id() {
  # settingsctl indents its answer by two: the answer's own member is the one
  # at that depth, never one nested in an outcome's value.
  local line
  [[ -r "$1" ]] || return 1
  while IFS= read -r line; do
    if [[ "$line" =~ ^\ \ \"operation_id\":\ \"([^\"]*)\" ]]; then
      echo "${BASH_REMATCH[1]}"
      return 0
    fi
  done <"$1"
}

invoke() {
  local name="$1" id
  shift
  ctl invoke "$@" >"$out/$name.txt" || fail "$name was refused"
  id="$(operation_id "$out/$name.txt")" || fail "$name answered no outcome"
  if [[ -n "$id" ]]; then
    ctl wait "$id" >"$out/$name-end.txt" || fail "$name did not succeed"
  fi
}

device_holds() {
  simdev show "$2" >"$out/$1.txt" || fail "simdev could not show $2"
  python3 -c "import json, sys; state = json.load(open(sys.argv[1])); assert $3, state" \
    "$out/$1.txt" || fail "the device does not hold $3"
}

screenshot() {
  xwd -root -silent -display "$display" >"$out/$1.xwd"
  python3 "$toolkit_tests/xwd_to_png.py" "$out/$1.xwd" "$out/$1.png"
  rm -f "$out/$1.xwd"
}

start_dav_account() {
  coproc dav { "$dav_program" "$@" 2>"$out/dav-stderr.txt"; }
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

# shellcheck disable=SC2120 # the extra environment is optional
start_settings() {
  env DISPLAY="$display" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" "$@" \
    "$program" >"$out/app-stdout.txt" 2>"$out/app-stderr.txt" &
  app_pid=$!
  wait_until 60 e2e_serving || fail "kalu-settings did not serve its socket within a minute"
}
