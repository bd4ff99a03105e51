#!/usr/bin/env bash
# The Storage pane end to end: kalu-settings runs on a virtual X server with a
# simulated device and a small application cache of its own, settingsctl
# starts storage operations over the automation socket and waits for their
# outcome.
# - CleanupCaches ends "Application caches cleaned." and the cached files are
#   gone, while the application's data stays.
# - FreeSyncedFiles, asked right after the start with About shown (before
#   the pane has its snapshot of the storage service), ends "Synced-file
#   reclamation completed." and simdev shows the verified local copies moved
#   to other devices.
# - Asked again with nothing left, each fails with the text that says so.
# - OpenDisks ends "Opened Disks." and the device records the tool.
#
# usage: storage_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin storage
operation_action=settings.storage-operation

simdev reset >/dev/null || fail "simdev could not seed the device"
# A small cache of two applications, and one application's data.
cache="$home/cache/kalu/app-cache"
mkdir -p "$cache/org.example.Viewer/thumbs" "$cache/org.example.Editor" \
  "$home/data/kalu/app-data/org.example.Editor"
head -c 4096 /dev/zero >"$cache/org.example.Viewer/thumbs/a.png"
head -c 2048 /dev/zero >"$cache/org.example.Editor/index.db"
echo kept >"$home/data/kalu/app-data/org.example.Editor/notes.txt"

start_settings XDG_CACHE_HOME="$home/cache"

# At once, with another pane shown: the pane is built by the operation and
# judges it on the snapshot it loads, not on the none it has at first.
ctl invoke settings.section:about open >"$out/about.txt" || fail "About did not open"
run free '"FreeSyncedFiles"'
said free "Synced-file reclamation completed."
device_holds after-free storage \
  '[f["local"] for d in state["folders"] for f in d["files"] if f["remote"] == "verified"] == [False, False, False]'
# The verified copies went and the unverified one is queued: nothing is left.
run_failing free-again '"FreeSyncedFiles"' "No reclaimable synced files are available."

run cleanup '"CleanupCaches"'
said cleanup "Application caches cleaned."
[[ -z "$(ls -A "$cache")" ]] || fail "the cache still holds: $(ls -A "$cache")"
[[ -f "$home/data/kalu/app-data/org.example.Editor/notes.txt" ]] ||
  fail "the application's data was removed"
run_failing cleanup-again '"CleanupCaches"' "No reclaimable application cache is available."

run disks '"OpenDisks"'
said disks "Opened Disks."
device_holds after-disks tools '[t["intent"] for t in state["opened"]] == ["disks"]'

echo "storage end to end: ok"
