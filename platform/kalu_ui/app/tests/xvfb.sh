# Sourced by the tests that run the demo on a virtual X server.
#
# start_xvfb LOG: starts Xvfb on the first free display number, sets
# `display` and `xvfb_pid`, and returns once the server's socket exists
# (at most 5 s). The caller kills $xvfb_pid in its EXIT trap.
start_xvfb() {
  local log="$1" n
  display=""
  for n in $(seq 90 189); do
    if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
      display=":$n"
      break
    fi
  done
  [[ -n "$display" ]] || { echo "no free X display number" >&2; return 1; }
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >"$log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -e /tmp/.X11-unix/X${display#:} ]] && return 0
    sleep 0.05
  done
  echo "Xvfb did not start on $display:" >&2
  cat "$log" >&2
  return 1
}

# wait_until SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds;
# fails when it has not within SECONDS (however long each run takes).
wait_until() {
  local deadline=$((${EPOCHREALTIME/./} + $1 * 1000000))
  shift
  until "$@"; do
    ((${EPOCHREALTIME/./} < deadline)) || return 1
    sleep 0.05
  done
}
