#!/usr/bin/env bash
# The navigation gestures in the real editor under Xvfb, with real X events:
#  1. one wheel notch down over the map scrolls three cells;
#  2. Ctrl+wheel zooms in to 150 % keeping the pointed cell under the pointer;
#  3. a drag with the middle button pans the view.
# Each is seen through the cell a click then stamps, read from the saved map.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup "$1" "$2" e2e_navigation_failure.png

doc="$work/navigation.kv"
"$helper" new-doc "$doc" 300 300 || fail "cannot make the test document"
env -u LC_ALL -u LC_MESSAGES -u LC_CTYPE LANG=C KELVOR_LANG=ja "$editor" "$doc" \
  >"$work/editor1.log" 2>&1 &
editor_pid=$!
pids+=("$editor_pid")
find_windows "$editor_pid"
sleep 1

stamp_at() {  # screen x y: a click there stamps the marked chip
  xdotool mousemove --sync "$1" "$2" click 1
  sleep 0.3
}
expect_stamped() {  # column row what
  xdotool windowfocus --sync "$map" 2>/dev/null || true
  xdotool key ctrl+s
  for _ in $(seq 50); do
    value="$("$helper" cell "$doc" "$1" "$2" 2>/dev/null)"
    [ -n "$value" ] && [ "$value" != "00000000" ] && return 0
    sleep 0.2
  done
  fail "$3: cell ($1, $2) was not stamped (cells: $("$helper" cells "$doc" | tr '\n' ';'))"
}

click "$palette" 0 0
read -r x y <<<"$(at "$map" 5 5)"  # the centre of the sixth cell across and down

# 1. One notch down: the view shows three rows further down.
xdotool mousemove --sync "$x" "$y" click 5
sleep 0.3
stamp_at "$x" "$y"
expect_stamped 5 8 "the wheel"

# 2. Ctrl+wheel up: 150 %, cell (5, 8) still under the pointer. One 150 %
# cell (48 pixels) to the right is cell (6, 8); at 100 % it would be (7, 8).
xdotool keydown ctrl click 4 keyup ctrl
sleep 0.3
stamp_at "$((x + 48))" "$y"
expect_stamped 6 8 "Ctrl+wheel"

# 3. Dragging 96 pixels to the left with the middle button shows two 150 %
# cells further right: the pointer's old place now shows cell (7, 8).
xdotool mousemove --sync "$x" "$y" mousedown 2
xdotool mousemove_relative --sync -- -48 0
xdotool mousemove_relative --sync -- -48 0
xdotool mouseup 2
sleep 0.3
stamp_at "$x" "$y"
expect_stamped 7 8 "the middle-button drag"
echo "navigation: wheel, Ctrl+wheel and middle drag as expected"
