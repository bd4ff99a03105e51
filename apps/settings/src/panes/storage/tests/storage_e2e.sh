#!/usr/bin/env bash
# The Storage pane end to end: kalu-settings runs on a virtual X server with a
# simulated device and a small application cache of its own, settingsctl
# starts storage operations over the automation socket and waits for their
# outcome.
# - CleanupCaches ends "Application caches cleaned." and the cached files are
#   gone, while the application's data stays.
# - FreeSyncedFiles ends "Synced-file reclamation completed." and simdev shows
#   the verified local copies moved to other devices.
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

run cleanup '"CleanupCaches"'
said cleanup "Application caches cleaned."
[[ -z "$(ls -A "$cache")" ]] || fail "the cache still holds: $(ls -A "$cache")"
[[ -f "$home/data/kalu/app-data/org.example.Editor/notes.txt" ]] ||
  fail "the application's data was removed"
run_failing cleanup-again '"CleanupCaches"' "No reclaimable application cache is available."

# The pane asked the storage service for its snapshot at start; wait until it
# holds one, which the tree shows no sign of, by retrying while it is loading.
free_synced() {
  local id
  id="$(ctl start settings.storage-operation 1 '"FreeSyncedFiles"')" || return 1
  ctl wait "$id" >"$out/free.txt"
}
wait_until 60 free_synced || fail "FreeSyncedFiles did not succeed"
said free "Synced-file reclamation completed."
device_holds after-free storage \
  '[f["local"] for d in state["folders"] for f in d["files"] if f["remote"] == "verified"] == [False, False, False]'
# The verified copies went and the unverified one is queued: nothing is left.
run_failing free-again '"FreeSyncedFiles"' "No reclaimable synced files are available."

run disks '"OpenDisks"'
said disks "Opened Disks."
device_holds after-disks tools '[t["intent"] for t in state["opened"]] == ["disks"]'

echo "storage end to end: ok"
