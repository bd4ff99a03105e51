#!/usr/bin/env bash
# A screen reader's view of kalu-settings, end to end: the program runs on a
# virtual X server with a private session bus and the accessibility bus of
# at-spi2-core (its bus launcher started here), and a pyatspi client
# (accessibility_e2e.py) walks and drives its accessible tree: the sidebar,
# the Bluetooth switch following simdev and a click, the Displays dropdowns,
# focus events following Tab, a caching client against a fresh one over ten
# pane switches, a dropdown's value and events, and the focus after answers.
#
# usage: accessibility_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"

# The Python that has the client library: the system's, whatever python3
# comes first on the path.
python=""
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import pyatspi' 2>/dev/null; then
    python="$candidate"
    break
  fi
done
[[ -n "$python" ]] || { echo "FAILED: no python3 with pyatspi (scripts/setup installs it)" >&2; exit 1; }
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [[ -x "$candidate" ]] && launcher="$candidate" && break
done
[[ -n "$launcher" ]] || { echo "FAILED: no at-spi-bus-launcher (scripts/setup installs it)" >&2; exit 1; }

e2e_begin accessibility
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_STATE_HOME="$home/state"
export XDG_RUNTIME_DIR="$home/runtime" DISPLAY="$display"
unset AT_SPI_BUS_ADDRESS

# A session bus of the test's own, and the accessibility bus on it.
exec 3>"$out/session-bus.txt"
dbus-daemon --session --nofork --nopidfile --print-address=3 >"$out/dbus-stdout.txt" \
  2>"$out/dbus-stderr.txt" &
stop_at_exit+=("$!")
exec 3>&-
wait_until 10 grep -q . "$out/session-bus.txt" || fail "the session bus did not start"
DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$out/session-bus.txt")"
export DBUS_SESSION_BUS_ADDRESS
"$launcher" --launch-immediately >"$out/launcher-stdout.txt" 2>"$out/launcher-stderr.txt" &
stop_at_exit+=("$!")

simdev reset >/dev/null || fail "simdev could not seed the device"
# The environment is the buses' already: the program is started as it is.
"$program" >"$out/app-stdout.txt" 2>"$out/app-stderr.txt" &
app_pid=$!

# The whole walk is bounded against a hang only: each of its steps has its own
# bound, and on a loaded machine under the sanitizers the walk's many bus round
# trips have taken four minutes, and the two clients' ten pane switches as long
# again.
SIMDEV="$simdev_program" timeout 1020 "$python" "$here/accessibility_e2e.py" \
  >"$out/client.txt" 2>&1 || fail "the screen reader's walk failed"
kill -0 "$app_pid" 2>/dev/null || fail "kalu-settings ended"
echo "accessibility end to end: ok"
