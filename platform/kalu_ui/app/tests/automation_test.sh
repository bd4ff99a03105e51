#!/usr/bin/env bash
# The demo driven through its automation socket by settingsctl, on a virtual
# X server with a runtime directory of its own: the demo's buttons are listed
# as control resources, invoking one reaches its click handler, closing the
# window removes the socket, and a socket left by a killed instance is taken
# over by the next one.
#
# usage: automation_test.sh <demo program> <settingsctl> <output folder>
set -euo pipefail
demo="$1"
ctl="$2"
out="$3"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$out"
# shellcheck source=xvfb.sh
source "$here/xvfb.sh"

xvfb_pid=""
demo_pid=""
runtime="$(mktemp -d /tmp/kalu-demo-runtime-XXXXXX)"
socket="$runtime/kalu-automation/kalu.ui-demo.sock"
cleanup() {
  [[ -n "$demo_pid" ]] && kill -KILL "$demo_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  for f in "$out"/demo-*.txt; do
    echo "--- $f" >&2
    cat "$f" >&2
  done
  exit 1
}

start_xvfb "$out/xvfb.log"

# start_demo NAME: starts the demo, its output in demo-NAME-*.txt, and waits
# until it serves its socket.
start_demo() {
  DISPLAY="$display" XDG_RUNTIME_DIR="$runtime" "$demo" \
    >"$out/demo-$1-stdout.txt" 2>"$out/demo-$1-stderr.txt" &
  demo_pid=$!
  serving() {
    kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended early"
    [[ -S "$socket" ]] && ctl --timeout 10 list >/dev/null 2>&1
  }
  wait_until 60 serving || fail "the demo did not serve $socket within a minute"
}

# ctl [--timeout SECONDS] COMMAND...: settingsctl on the demo's socket (60 s by default).
ctl() {
  local timeout=60
  if [[ "$1" == --timeout ]]; then
    timeout="$2"
    shift 2
  fi
  XDG_RUNTIME_DIR="$runtime" "$ctl" --app kalu.ui-demo --timeout "$timeout" "$@"
}
listed() { ctl list | grep -q "\"id\": \"$1\""; }
printed() { grep -qx "$1" "$out/demo-first-stdout.txt"; }

start_demo first

# The sidebar's buttons and the page's check button are control resources.
for id in kalu.control:demo.nav.Network kalu.control:demo.nav.Sound \
          kalu.control:demo.Network.check; do
  listed "$id" || fail "$id is not listed"
done

# Pressing "Sound" through automation selects its page, as a click does.
ctl invoke kalu.control:demo.nav.Sound invoke >"$out/invoke-nav.json" ||
  fail "invoking the Sound button failed: $(cat "$out/invoke-nav.json")"
wait_until 60 listed kalu.control:demo.Sound.check || fail "the Sound page did not open"
listed kalu.control:demo.Network.check && fail "the Network page is still shown"

# The check button's handler runs and reports on standard output.
ctl invoke kalu.control:demo.Sound.check invoke >/dev/null || fail "invoking the check failed"
wait_until 60 printed "demo: check ran on Sound" || fail "the check handler did not run"

# An unknown resource is refused with status 3, and the demo serves on.
status=0
ctl invoke kalu.control:demo.nowhere invoke >/dev/null 2>&1 || status=$?
[[ $status -eq 3 ]] || fail "an unknown resource answered status $status, not 3"
listed kalu.control:demo.Sound.check || fail "the demo stopped serving after a refusal"

# Closing the window (SIGTERM reaches the loop as a quit) removes the socket.
kill -TERM "$demo_pid"
status=0
wait "$demo_pid" || status=$?
demo_pid=""
[[ $status -eq 0 ]] || fail "the demo exited with status $status"
[[ ! -e "$socket" ]] || fail "the socket outlived the demo"

# A killed instance leaves its socket behind; the next instance replaces it.
start_demo killed
kill -KILL "$demo_pid"
wait "$demo_pid" 2>/dev/null || true
demo_pid=""
[[ -S "$socket" ]] || fail "the killed demo left no socket (nothing stale to test)"
start_demo next
listed kalu.control:demo.nav.Network || fail "the next instance does not serve its resources"
grep -q "automation not available" "$out/demo-next-stderr.txt" &&
  fail "the next instance refused the stale socket"

echo "automation end to end: ok"
