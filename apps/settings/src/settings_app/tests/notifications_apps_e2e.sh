#!/usr/bin/env bash
# Notifications and Apps & Files end to end: kalu-settings runs on a virtual
# X server with configuration, data and runtime folders of its own, and
# settingsctl talks to it over its automation socket.
# - With Notifications open, the section's "dnd" flip (it takes no
#   arguments) sets "do_not_disturb" in the settings file and says so; every
#   other line of the file stays byte for byte.
# - With Apps & Files open over a data folder of two text editors, the
#   text-file kind's "set-handler" action with one editor's name makes it the
#   default in the temporary mimeapps.list.
#
# usage: notifications_apps_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=settings_e2e.sh
source "$here/settings_e2e.sh" "$@"
e2e_begin notifications-apps
# Only the fixture's applications and defaults: none of this machine's.
mkdir -p "$home/system/applications" "$home/data/applications" "$home/system-config"
for editor in Writer Notes; do
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=%s %%f\nMimeType=text/plain;\n' \
    "$editor" "$editor" >"$home/data/applications/org.example.$editor.desktop"
done

settings_file="$home/config/kalu/settings.json"
mkdir -p "$(dirname "$settings_file")"
cat >"$settings_file" <<'JSON'
{
  "version": 1,
  "audio": {
    "balance": 0.25,
    "mono_output": true
  },
  "notifications": {
    "do_not_disturb": false,
    "show_banners": true
  },
  "someone_else": {
    "kept": [
      1,
      2
    ]
  },
  "appearance": {
    "theme": "Nord"
  }
}
JSON
cp "$settings_file" "$out/settings-before.json.txt"
start_settings XDG_DATA_DIRS="$home/system" XDG_CONFIG_DIRS="$home/system-config"

# Every line of the file but the notifications section.
other_sections() {
  awk '/^  "notifications": \{/ {skip = 1} !skip {print} skip && /^  \},?$/ {skip = 0}' "$1"
}

ctl start settings.open-pane 2 '"notifications"' >/dev/null || fail "opening Notifications was refused"
ctl get settings.section:notifications >"$out/notifications-section.txt" ||
  fail "no Notifications section"
grep -q '"name": "dnd"' "$out/notifications-section.txt" || fail "the section has no dnd action"
ctl invoke settings.section:notifications dnd >"$out/dnd.txt" || fail "the dnd action was refused"
grep -q '"text": "Notifications: Turn on Do Not Disturb: done."' "$out/dnd.txt" ||
  fail "the dnd action did not say what it did"
holds_dnd() {
  grep -q '"do_not_disturb": true' "$settings_file"
}
wait_until 60 holds_dnd || fail "the settings file does not hold do_not_disturb"
cp "$settings_file" "$out/settings-after.json.txt"
diff <(other_sections "$out/settings-before.json.txt") <(other_sections "$settings_file") \
  >"$out/other-sections-diff.txt" || fail "the other sections of the settings file changed"

# The text-file kind's default, from the client by an editor's name, through
# the open pane into the temporary mimeapps.list.
ctl start settings.open-pane 2 '"default-apps"' >/dev/null || fail "opening Apps & Files was refused"
ctl get settings.default-app:mime:text/plain >"$out/text-kind.txt" ||
  fail "no item for the text-file kind"
grep -q '"Notes"' "$out/text-kind.txt" || fail "the text-file kind does not offer Notes"
ctl invoke settings.default-app:mime:text/plain set-handler '{"choice":"Notes"}' \
  >"$out/set-handler.txt" || fail "the set-handler action was refused"
mimeapps="$home/config/mimeapps.list"
holds_notes() {
  [[ -f "$mimeapps" ]] && grep -q '^text/plain=org.example.Notes.desktop' "$mimeapps"
}
wait_until 60 holds_notes || fail "the mimeapps.list does not make Notes the text-file default"
cp "$mimeapps" "$out/mimeapps.list.txt"

echo "notifications and apps end to end: ok"
