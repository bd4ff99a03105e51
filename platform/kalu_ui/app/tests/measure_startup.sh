#!/usr/bin/env bash
# Measures the demo's start-up on a virtual X server: the time from starting
# the process to its first presented frame (median of five runs) and its
# resident memory then. Not part of the test suite: run it on a release build.
#
# usage: measure_startup.sh <demo program>
set -euo pipefail
demo="$1"
display=""
for n in $(seq 90 189); do
  if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then display=":$n"; break; fi
done
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
# A runtime directory of its own, so that the automation socket is served.
runtime="$(mktemp -d /tmp/kalu-demo-runtime-XXXXXX)"
trap 'kill $xvfb_pid 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do [[ -e /tmp/.X11-unix/X${display#:} ]] && break; sleep 0.05; done

DISPLAY="$display" XDG_RUNTIME_DIR="$runtime" python3 - "$demo" <<'PY'
import os, statistics, subprocess, sys, time
times, rss = [], []
for _ in range(5):
    env = dict(os.environ, KALU_UI_REPORT_FIRST_FRAME="1")
    start = time.monotonic()
    p = subprocess.Popen([sys.argv[1]], stderr=subprocess.PIPE, env=env, text=True)
    # Other lines (a warning that no accessibility bus is there) come first.
    line = p.stderr.readline()
    while line and "first frame" not in line:
        line = p.stderr.readline()
    times.append((time.monotonic() - start) * 1000)
    rss.append(int(line.split("resident ")[1].split()[0]) if "resident" in line else -1)
    p.terminate(); p.wait()
print("first frame ms:", " ".join(f"{t:.1f}" for t in times), f"median {statistics.median(times):.1f}")
print("resident KiB:", " ".join(map(str, rss)), f"median {statistics.median(rss):.0f}")
PY
