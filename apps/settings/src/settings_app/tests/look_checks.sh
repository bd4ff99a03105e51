# shellcheck shell=bash
# Sourced by the end-to-end scripts that judge the window's look from screen
# dumps, after settings_e2e.sh (which sets `display` and `out`); `here` is the
# sourcing script's folder, which holds look.py.
#
# shoot NAME: the screen now, as $out/NAME.xwd.
# measure ARGS...: look.py's measure of a dump (brightness, changed, png).
# shows NAME TEST...: takes NAME and runs TEST on it (the dump is its last
#   argument).
# dark DUMP, light DUMP: the dump's mean brightness is below 90, above 150.
# changed_from BEFORE DUMP: more than 2% of the screen differs from BEFORE's.
# same_as BEFORE DUMP: less than 0.2% differs.
# keep NAME: the dump as $out/NAME.png, its brightness in measures.txt.

shoot() {
  xwd -root -silent -display "$display" >"$out/$1.xwd"
}
measure() {
  python3 "$here/look.py" "$@"
}
shows() {
  local name="$1"
  shift
  shoot "$name"
  "$@" "$out/$name.xwd"
}
dark() { (($(measure brightness "$1" | cut -d. -f1) < 90)); }
light() { (($(measure brightness "$1" | cut -d. -f1) > 150)); }
changed_from() {
  local share
  share="$(measure changed "$out/$1.xwd" "$2")"
  python3 -c "import sys; sys.exit(0 if $share > 0.02 else 1)"
}
same_as() {
  local share
  share="$(measure changed "$out/$1.xwd" "$2")"
  python3 -c "import sys; sys.exit(0 if $share < 0.002 else 1)"
}
keep() {
  measure png "$out/$1.xwd" "$out/$1.png"
  echo "$1: brightness $(measure brightness "$out/$1.xwd")" >>"$out/measures.txt"
}
