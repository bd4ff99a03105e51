#!/usr/bin/env bash
# The Users pane end to end: kalu-settings runs on a virtual X server with a
# simulated device of its own; settingsctl hands it user operations over its
# automation socket, and the simulated account and group files show what
# the account programs (simdev answering as gpasswd and userdel) changed.
# - SetAdmin of the standard sample account makes it a member of "wheel".
# - Remove of the administrator sample takes it out of the account file.
#
# usage: users_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin users

export KALU_DEVICE_STATE="$home/device.json"
simdev reset >/dev/null
passwd_file="$home/device.passwd"
group_file="$home/device.group"
# The two sample accounts (a digit is appended when this machine has
# accounts of the same names).
standard="$(awk -F: '$5 ~ /^Grace Hopper/ {print $1}' "$passwd_file")"
admin="$(awk -F: '$5 ~ /^Ada Lovelace/ {print $1}' "$passwd_file")"
[[ -n "$standard" && -n "$admin" ]] || fail "the simulated device has no sample accounts"
grep -Eq "^wheel:[^:]*:[^:]*:(.*,)?$standard(,|$)" "$group_file" &&
  fail "$standard is already in wheel"

start_settings USER=e2e-tester KALU_DEVICE_STATE="$KALU_DEVICE_STATE"

operation_action=settings.user-operation

run set-admin "{\"SetAdmin\":{\"username\":\"$standard\",\"admin\":true}}"
said set-admin "$standard is now an administrator."
grep -Eq "^wheel:[^:]*:[^:]*:(.*,)?$standard(,|$)" "$group_file" ||
  fail "the group file does not list $standard in wheel: $(grep '^wheel:' "$group_file")"

run remove "{\"Remove\":{\"username\":\"$admin\",\"remove_files\":false}}"
said remove "Removed user $admin."
grep -q "^$admin:" "$passwd_file" && fail "the account file still lists $admin"
grep -q "^$standard:" "$passwd_file" || fail "the account file lost $standard"

# The page after both changes, kept for people.
sleep 0.5
screenshot users

echo "users end to end: ok"
