#!/usr/bin/env bash
# Opens the demo on a virtual X server, waits for its first frame, takes a
# screenshot of the screen with xwd and checks that it shows a sidebar and
# content. The screenshot is kept as PNG in the output folder.
#
# usage: screenshot_test.sh <demo program> <output folder>
set -euo pipefail
demo="$1"
out="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$out"
# shellcheck source=xvfb.sh
source "$here/xvfb.sh"

xvfb_pid=""
demo_pid=""
# The demo's automation socket goes to a runtime directory of its own.
runtime="$(mktemp -d /tmp/kalu-demo-runtime-XXXXXX)"
cleanup() {
  [[ -n "$demo_pid" ]] && kill "$demo_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$runtime"
}
trap cleanup EXIT

start_xvfb "$out/xvfb.log"

log="$out/demo-stderr.txt"
DISPLAY="$display" XDG_RUNTIME_DIR="$runtime" KALU_UI_REPORT_FIRST_FRAME=1 "$demo" 2>"$log" &
demo_pid=$!
for _ in $(seq 200); do
  grep -q "first frame presented" "$log" && break
  kill -0 "$demo_pid" 2>/dev/null || { echo "the demo ended early:" >&2; cat "$log" >&2; exit 1; }
  sleep 0.05
done
grep -q "first frame presented" "$log" || { echo "no first frame within 10 s" >&2; exit 1; }
sleep 0.3

xwd -root -silent -display "$display" >"$out/demo.xwd"
python3 "$here/xwd_to_png.py" "$out/demo.xwd" "$out/demo.png"
rm -f "$out/demo.xwd"
grep "first frame" "$log"
echo "screenshot: $out/demo.png"
