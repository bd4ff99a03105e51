#!/usr/bin/env bash
# Opens an application of the toolkit on a virtual X server with configuration,
# data, state and runtime directories of its own, waits for its first frame,
# takes screenshots of the screen with xwd until one shows a sidebar and
# content. The screenshot is kept as <name>.png in the output folder.
#
# usage: screenshot_test.sh <program> <output folder> [<name>, default "demo"]
set -euo pipefail
program="$1"
out="$2"
name="${3:-demo}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$out"
# shellcheck source=xvfb.sh
source "$here/xvfb.sh"

xvfb_pid=""
program_pid=""
# Nothing of the user's own directories is read or written; the automation
# socket goes to a runtime directory of its own.
home="$(mktemp -d /tmp/kalu-screenshot-XXXXXX)"
mkdir -p "$home/config" "$home/data" "$home/state" "$home/runtime"
chmod 700 "$home/runtime"
cleanup() {
  [[ -n "$program_pid" ]] && kill "$program_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT

start_xvfb "$out/xvfb.log"

# An argument the program must ignore.
log="$out/$name-stderr.txt"
DISPLAY="$display" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" KALU_UI_REPORT_FIRST_FRAME=1 \
  "$program" --an-ignored-argument 2>"$log" &
program_pid=$!
first_frame() {
  grep -q "first frame presented" "$log" && return 0
  kill -0 "$program_pid" 2>/dev/null || { echo "$name ended early:" >&2; cat "$log" >&2; exit 1; }
  return 1
}
wait_until 60 first_frame || { echo "no first frame within a minute" >&2; exit 1; }

# The frame reaches the screen once the server has mapped the window and the
# program has drawn it again for its exposure, which on a loaded machine may
# come a while after the first frame: the screen is taken until it shows the
# application.
shows_application() {
  xwd -root -silent -display "$display" >"$out/$name.xwd" &&
    python3 "$here/xwd_to_png.py" "$out/$name.xwd" "$out/$name.png" >"$out/$name-check.txt" 2>&1
}
wait_until 60 shows_application || { cat "$out/$name-check.txt" >&2; exit 1; }
cat "$out/$name-check.txt"
rm -f "$out/$name.xwd" "$out/$name-check.txt"
grep "first frame" "$log"
echo "screenshot: $out/$name.png"
