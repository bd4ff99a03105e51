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

display=""
for n in $(seq 90 189); do
  if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
    display=":$n"
    break
  fi
done
[[ -n "$display" ]] || { echo "no free X display number" >&2; exit 1; }

xvfb_pid=""
demo_pid=""
cleanup() {
  [[ -n "$demo_pid" ]] && kill "$demo_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -e /tmp/.X11-unix/X${display#:} ]] && break
  sleep 0.05
done

log="$out/demo-stderr.txt"
DISPLAY="$display" KALU_UI_REPORT_FIRST_FRAME=1 "$demo" 2>"$log" &
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
