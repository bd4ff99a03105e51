#!/usr/bin/env bash
# Appearance and Accessibility end to end: kalu-settings runs on a virtual X
# server with folders of its own and a settings file holding other sections,
# and settingsctl talks to it over its automation socket.
# - With Appearance open, the Appearance section's "theme" action with
#   "Nord" puts "Nord" in the settings file's appearance section; every
#   other section stays byte for byte as it was.
# - With Accessibility open, "high-contrast" with true sets the appearance
#   section's high_contrast (the theme stays Nord), and Appearance opened
#   next loads it: its section then offers "Turn off high contrast".
#
# usage: preferences_e2e.sh <kalu-settings> <settingsctl> <simdev> <kalu-test-dav-account>
#          <output folder> (settings_e2e.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=../../../settings_app/tests/settings_e2e.sh
source "$here/../../../settings_app/tests/settings_e2e.sh" "$@"
e2e_begin preferences

# Other sections, in the settings file's own pretty form.
settings_file="$home/config/kalu/settings.json"
mkdir -p "$(dirname "$settings_file")"
cat >"$settings_file" <<'JSON'
{
  "version": 1,
  "zeta": {
    "kept": [
      1,
      2
    ],
    "name": "other program"
  },
  "appearance": {
    "theme": "Dark",
    "high_contrast": false
  },
  "locale": {
    "currency": "GBP"
  }
}
JSON
cp "$settings_file" "$out/settings-before.txt"
start_settings

# Every line outside the appearance and accessibility sections, as it stands.
outside_appearance() {
  awk '/^  "(appearance|accessibility)": \{/ { skip = 1 } !skip { print } skip && /^  \}/ { skip = 0 }' "$1" |
    sed 's/,$//'
}
holds() {
  grep -q "$1" "$settings_file"
}

ctl start settings.open-pane 2 '"appearance"' >/dev/null || fail "opening Appearance was refused"
ctl invoke settings.section:appearance theme '{"choice":"Nord"}' >"$out/theme.txt" ||
  fail "the theme action was refused"
wait_until 60 holds '"theme": "Nord"' || fail "the settings file's appearance section does not hold Nord"
cp "$settings_file" "$out/settings-nord.txt"
diff <(outside_appearance "$out/settings-before.txt") <(outside_appearance "$out/settings-nord.txt") \
  >"$out/outside-diff.txt" || fail "a section other than appearance changed"
ctl get settings.section:appearance >"$out/appearance-before.txt" || fail "no Appearance section"
grep -q 'Turn on high contrast' "$out/appearance-before.txt" ||
  fail "high contrast is already on"

ctl start settings.open-pane 2 '"accessibility"' >/dev/null || fail "opening Accessibility was refused"
ctl invoke settings.section:accessibility high-contrast '{"value":true}' >"$out/high-contrast.txt" ||
  fail "the high-contrast action was refused"
wait_until 60 holds '"high_contrast": true' || fail "the appearance section's high_contrast is not set"
holds '"theme": "Nord"' || fail "saving high contrast lost the theme"
cp "$settings_file" "$out/settings-contrast.txt"

ctl start settings.open-pane 2 '"appearance"' >/dev/null || fail "opening Appearance again was refused"
shows_contrast() {
  ctl get settings.section:appearance >"$out/appearance-after.txt" &&
    grep -q 'Turn off high contrast' "$out/appearance-after.txt"
}
wait_until 60 shows_contrast || fail "Appearance did not load high contrast"
holds '"high_contrast": true' || fail "Appearance switched high contrast off again"
outside_appearance "$settings_file" | diff <(outside_appearance "$out/settings-before.txt") - \
  >"$out/outside-diff.txt" || fail "a section other than appearance changed"

echo "appearance and accessibility end to end: ok"
