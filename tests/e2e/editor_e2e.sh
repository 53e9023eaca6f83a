#!/usr/bin/env bash
# The real editor under Xvfb, driven with real mouse and key events:
#  1. a chip marked in the palette is stamped on the map and saved with Ctrl+S;
#  2. a copied block is read by another process, byte for byte, and a block
#     another process offers is pasted by the editor;
#  3. a second start gives way to the running editor and exits 0.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup "$1" "$2" e2e_failure.png

doc="$work/e2e.kv"
"$helper" new-doc "$doc" 20 15 || fail "cannot make the test document"
"$editor" "$doc" >"$work/editor1.log" 2>&1 &
editor_pid=$!
pids+=("$editor_pid")

find_windows "$editor_pid"
sleep 1

save() {
  xdotool windowfocus --sync "$map" 2>/dev/null || true
  xdotool key ctrl+s
}
wait_cell() {  # column row expected-hex
  local value=""
  for _ in $(seq 50); do
    value="$("$helper" cell "$doc" "$1" "$2" 2>/dev/null)"
    [ "$value" = "$3" ] && return 0
    [ -z "$3" ] && [ -n "$value" ] && [ "$value" != "00000000" ] && return 0
    sleep 0.2
  done
  return 1
}

# 1. Mark chip (0, 0) of the first sheet, stamp it on cell (2, 3), save.
click "$palette" 0 0
click "$map" 2 3
save
wait_cell 2 3 "" || fail "Ctrl+S did not save the stamped cell (cells: $("$helper" cells "$doc" | tr '\n' ';'))"
cells="$("$helper" cells "$doc")"
[ "$(echo "$cells" | wc -l)" -eq 1 ] || fail "expected one stamped cell, found: $cells"
stamped="$(echo "$cells" | awk '{print $3}')"
echo "stamped cell (2, 3) = $stamped"
if [ -x "$cli" ]; then
  info="$("$cli" info "$doc" --json)" || fail "kelvor-cli info refused the saved document"
  echo "$info" | grep -Eq '"chipsUsed":\[(1,0|0,1)\]' || fail "kelvor-cli info: $info"
  echo "$info" | grep -Eq '"width":20,"height":15' || fail "kelvor-cli info: $info"
fi

# 2a. Select cell (2, 3) with Ctrl and copy it with C; another process reads it.
xdotool keydown ctrl
click "$map" 2 3
xdotool keyup ctrl
xdotool key c
blocks="$("$helper" clip-read 10)" || fail "no block reached the clipboard"
little="${stamped:6:2}${stamped:4:2}${stamped:2:2}${stamped:0:2}"
expected="$(printf '0100000001000000\n%s\n01' "$little")"
[ "$blocks" = "$expected" ] || fail "clipboard blocks: $blocks, expected $expected"

# 2b. Another process offers a 1 x 1 block (collision and south wall flags);
# V-click pastes it on cell (5, 5).
"$helper" clip-write 0100000001000000 00050000 01 30 >"$work/writer.out" &
writer=$!
pids+=("$writer")
for _ in $(seq 50); do grep -q ready "$work/writer.out" 2>/dev/null && break; sleep 0.1; done
xdotool keydown v
click "$map" 5 5
xdotool keyup v
save
wait_cell 5 5 00000500 || fail "the block of the other process was not pasted"

# 3. A second start with another document gives way and opens nothing.
"$helper" new-doc "$work/other.kv" 4 4
timeout 20 "$editor" "$work/other.kv" >"$work/second.log" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "the second start ended with $rc"
kill -0 "$editor_pid" 2>/dev/null || fail "the first editor is gone"
# The running editor still edits its own document: a new stamp lands there.
click "$map" 7 7
save
wait_cell 7 7 "$stamped" || fail "the running editor no longer saves its own document"
[ -z "$("$helper" cells "$work/other.kv")" ] || fail "the second start's document was changed"

echo "PASS"
exit 0
