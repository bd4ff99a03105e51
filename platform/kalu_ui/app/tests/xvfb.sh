# Sourced by the tests that run the demo on a virtual X server.
#
# start_xvfb LOG: starts Xvfb on a free display number, sets `display` and
# `xvfb_pid`, and returns once the server accepts connections (it writes the
# number then); fails when it ends first or after a minute.
# The caller kills $xvfb_pid in its EXIT trap. The server picks the number
# itself (it takes the number's lock file atomically), so tests started at
# the same moment never end up sharing, and killing, one server. It never
# resets: a server resets when its last client leaves, and a program that
# opens the display while that happens (a probe closed, the window not yet
# open) can be left without a window.
start_xvfb() {
  local log="$1" number_file number=""
  display=""
  number_file="$(mktemp /tmp/kalu-xvfb-XXXXXX)"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$number_file" >"$log" 2>&1 &
  xvfb_pid=$!
  xvfb_numbered() {
    number="$(<"$number_file")"
    [[ "$number" =~ ^[0-9]+$ ]] || ! kill -0 "$xvfb_pid" 2>/dev/null
  }
  wait_until 60 xvfb_numbered || true
  rm -f "$number_file"
  if [[ "$number" =~ ^[0-9]+$ ]]; then
    display=":$number"
    return 0
  fi
  echo "Xvfb did not start:" >&2
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
