#!/usr/bin/env bash
# The real editor under Xvfb: two stamped cells are selected with Ctrl-drag,
# moved with M + drag by (3, 3), saved with Ctrl+S; the file then holds the
# two cells at their new place and nothing else.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup "$1" "$2" e2e_move_failure.png

doc="$work/move.kv"
"$helper" new-doc "$doc" 20 15 || fail "cannot make the test document"
env -u LC_ALL -u LC_MESSAGES -u LC_CTYPE -u KELVOR_LANG LANG=C "$editor" "$doc" \
  >"$work/editor1.log" 2>&1 &
editor_pid=$!
pids+=("$editor_pid")
find_windows "$editor_pid"
sleep 1

drag() {  # window from-column from-row to-column to-row
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(at "$1" "$2" "$3") mousedown 1
  sleep 0.2
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(at "$1" "$(( ($2 + $4) / 2 ))" "$(( ($3 + $5) / 2 ))")
  sleep 0.2
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(at "$1" "$4" "$5")
  sleep 0.2
  xdotool mouseup 1
  sleep 0.3
}

# Mark chip (0, 0), stamp it on (2, 3) and (3, 4), then select (2, 3)..(3, 4).
click "$palette" 0 0
click "$map" 2 3
click "$map" 3 4
xdotool keydown ctrl
drag "$map" 2 3 3 4
xdotool keyup ctrl
# M + drag from (2, 3) to (5, 6).
xdotool windowfocus --sync "$map" 2>/dev/null || true
xdotool keydown m
drag "$map" 2 3 5 6
xdotool keyup m
xdotool key ctrl+s

expected=""
for _ in $(seq 50); do
  cells="$("$helper" cells "$doc" 2>/dev/null | tr '\n' ';')"
  chip="$(echo "$cells" | cut -d';' -f1 | awk '{print $3}')"
  expected="5 6 $chip;6 7 $chip;"
  [ -n "$chip" ] && [ "$cells" = "$expected" ] && break
  sleep 0.2
done
[ "$cells" = "$expected" ] || fail "after the move the saved cells are '$cells', not '$expected'"
echo "moved cells: $cells"
