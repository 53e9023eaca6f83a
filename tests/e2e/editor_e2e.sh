#!/usr/bin/env bash
# The real editor under Xvfb, driven with real mouse and key events:
#  1. a chip marked in the palette is stamped on the map and saved with Ctrl+S;
#  2. a copied block is read by another process, byte for byte, and a block
#     another process offers is pasted by the editor;
#  3. under the C locale, menus open with Alt+letter and run their items with
#     a letter or Return, and sizes are typed into the size dialog;
#  4. a second start without a document gives way and exits 0;
#  5. under an English locale the editor speaks English.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup "$1" "$2" e2e_failure.png

doc="$work/e2e.kv"
"$helper" new-doc "$doc" 20 15 || fail "cannot make the test document"
# The C locale: the reference texts, and the keyboard must work as in any other.
env -u LC_ALL -u LC_MESSAGES -u LC_CTYPE -u KELVOR_LANG LANG=C "$editor" "$doc" \
  >"$work/editor1.log" 2>&1 &
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

# 3. Alt+S opens 設定(&S), S runs ｻｲｽﾞ変更(&S)...; a size typed into the dialog
# and confirmed with Return resizes the map. Then Alt+S and Return open it again.
window_named() {  # title -> id of the editor's visible window with that title
  local w
  for w in $(xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && { echo "$w"; return 0; }
  done
  return 1
}
wait_window() {  # title present|gone
  for _ in $(seq 50); do
    if window_named "$1" >/dev/null; then [ "$2" = present ] && return 0
    else [ "$2" = gone ] && return 0; fi
    sleep 0.2
  done
  return 1
}
menu_keys() {  # the key that runs the first item of 設定
  xdotool windowfocus --sync "$map" 2>/dev/null || true
  xdotool key alt+s
  sleep 0.5
  xdotool key "$1"
  wait_window "ﾏｯﾌﾟｻｲｽﾞ変更" present || fail "Alt+S then $1 did not open the size dialog under LANG=C"
}
menu_keys s
xdotool key ctrl+a && xdotool type 33 && xdotool key Tab ctrl+a && xdotool type 21
xdotool key Return
wait_window "ﾏｯﾌﾟｻｲｽﾞ変更" gone || fail "Return did not close the size dialog"
save
if [ -x "$cli" ]; then
  for _ in $(seq 50); do "$cli" info "$doc" --json | grep -q '"width":33,"height":21' && break; sleep 0.2; done
  "$cli" info "$doc" --json | grep -q '"width":33,"height":21' ||
    fail "the size typed under LANG=C was not applied: $("$cli" info "$doc" --json)"
fi
menu_keys Return
xdotool key Escape
wait_window "ﾏｯﾌﾟｻｲｽﾞ変更" gone || fail "Escape did not close the size dialog"

# 4. A second start without a document gives way and changes nothing (one
# with a document hands it over: unsaved_e2e.sh).
timeout 20 "$editor" >"$work/second.log" 2>&1
rc=$?
[ "$rc" -eq 0 ] || fail "the second start ended with $rc"
kill -0 "$editor_pid" 2>/dev/null || fail "the first editor is gone"
# The running editor still edits its own document: a new stamp lands there.
click "$map" 7 7
save
wait_cell 7 7 "$stamped" || fail "the running editor no longer saves its own document"

# 5. Under an English locale (it need not be installed: the name decides) the
# caption is English.
kill "$editor_pid" 2>/dev/null
wait "$editor_pid" 2>/dev/null
env -u LC_ALL -u LC_MESSAGES -u KELVOR_LANG LANG=en_US.UTF-8 "$editor" "$doc" \
  >"$work/editor-english.log" 2>&1 &
editor_pid=$!
pids+=("$editor_pid")
caption=""
for _ in $(seq 100); do
  for w in $(xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null); do
    name="$(xdotool getwindowname "$w" 2>/dev/null)"
    case "$name" in "Kelvor "*) caption="$name" ;; esac
  done
  [ -n "$caption" ] && break
  sleep 0.2
done
case "$caption" in
  "Kelvor    Chips used: "*) ;;
  *) fail "the caption under LANG=en_US.UTF-8 is \"$caption\"" ;;
esac

echo "PASS"
exit 0
