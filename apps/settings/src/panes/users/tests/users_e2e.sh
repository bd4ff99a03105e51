#!/usr/bin/env bash
# The Users pane end to end: kalu-settings runs on a virtual X server with a
# simulated device of its own; settingsctl hands it user operations over its
# automation socket, and the simulated account and group files show what
# the account programs (simdev answering as gpasswd and userdel) changed.
# - SetAdmin of the standard sample account makes it a member of "wheel".
# - Remove of the administrator sample takes it out of the account file.
#
# usage: users_e2e.sh <kalu-settings> <settingsctl> <simdev> <output folder>
set -euo pipefail
program="$1"
ctl_program="$2"
simdev_program="$3"
out="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh"
e2e_begin users

export KALU_DEVICE_STATE="$home/device.json"
"$simdev_program" reset >/dev/null
passwd_file="$home/device.passwd"
group_file="$home/device.group"
# The two sample accounts (a digit is appended when this machine has
# accounts of the same names).
standard="$(awk -F: '$5 ~ /^Grace Hopper/ {print $1}' "$passwd_file")"
admin="$(awk -F: '$5 ~ /^Ada Lovelace/ {print $1}' "$passwd_file")"
[[ -n "$standard" && -n "$admin" ]] || fail "the simulated device has no sample accounts"
grep -Eq "^wheel:[^:]*:[^:]*:(.*,)?$standard(,|$)" "$group_file" &&
  fail "$standard is already in wheel"

start_settings "$program" USER=e2e-tester KALU_DEVICE_STATE="$KALU_DEVICE_STATE"

# run_operation PAYLOAD: starts a user operation and waits for its end;
# its answer must say the account was updated.
run_operation() {
  local id
  id="$(ctl start settings.user-operation 1 "$1")" || fail "starting $1 was refused"
  ctl wait "$id" >"$out/answer.txt" 2>&1 || fail "$1 answered $(cat "$out/answer.txt")"
  grep -qF "User account updated." "$out/answer.txt" ||
    fail "$1 answered $(cat "$out/answer.txt")"
}

run_operation "{\"SetAdmin\":{\"username\":\"$standard\",\"admin\":true}}"
grep -Eq "^wheel:[^:]*:[^:]*:(.*,)?$standard(,|$)" "$group_file" ||
  fail "the group file does not list $standard in wheel: $(grep '^wheel:' "$group_file")"

run_operation "{\"Remove\":{\"username\":\"$admin\",\"remove_files\":false}}"
grep -q "^$admin:" "$passwd_file" && fail "the account file still lists $admin"
grep -q "^$standard:" "$passwd_file" || fail "the account file lost $standard"

# The page after both changes, kept for people.
sleep 0.5
xwd -root -silent -display "$display" >"$out/users.xwd"
python3 "$here/../../../../../../platform/kalu_ui/app/tests/xwd_to_png.py" "$out/users.xwd" \
  "$out/users.png"
rm -f "$out/users.xwd"

echo "users end to end: ok"
