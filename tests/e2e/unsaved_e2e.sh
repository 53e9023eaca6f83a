#!/usr/bin/env bash
# Unsaved changes with the real editor under Xvfb, real mouse and key events:
# after a stamp, New (Ctrl+N), Open (Ctrl+O), a file dragged in from another
# program and the exit (ﾌｧｲﾙ > 終了) ask first. Each is answered with each
# button: Cancel (Escape) keeps everything, No (Alt+N) goes on without
# saving, Yes (Return) saves, then goes on. The document files on disk and
# the map (saved with Ctrl+S) are checked after each. Then a second start
# with a document hands it over to the running editor, which asks the same.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup "$1" "$2" unsaved_e2e_failure.png

a="$work/stage.kv"
b="$work/other.kv"
"$helper" new-doc "$a" 20 15 || fail "cannot make the test documents"
"$helper" new-doc "$b" 12 12 || fail "cannot make the test documents"

editor_pid=""
run=0
start_editor() {  # document
  run=$((run + 1))
  env -u LC_ALL -u LC_MESSAGES -u LC_CTYPE -u KELVOR_LANG LANG=C "$editor" "$1" \
    >"$work/editor$run.log" 2>&1 &
  editor_pid=$!
  pids+=("$editor_pid")
  find_windows "$editor_pid"
  sleep 0.5
}

# The cells of a document on disk, "column row" each, on one line.
cells_of() { "$helper" cells "$1" 2>/dev/null | awk '{printf "%s %s;", $1, $2}'; }
expect_cells() {  # file expected what
  local now=""
  for _ in $(seq 50); do
    now="$(cells_of "$1")"
    [ "$now" = "$2" ] && return 0
    sleep 0.2
  done
  fail "$3: $(basename "$1") holds \"$now\", expected \"$2\""
}

stamp() {  # column row
  click "$palette" 0 0
  click "$map" "$1" "$2"
}
keys() {
  xdotool windowfocus --sync "$map" 2>/dev/null || true
  xdotool key "$@"
  sleep 0.3
}
# A window of the editor besides the map and the palette, with its title.
extra_window() {  # title ("" = any other than the question box)
  local w name
  for w in $(xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null); do
    [ "$w" = "$map" ] || [ "$w" = "$palette" ] && continue
    name="$(xdotool getwindowname "$w" 2>/dev/null)"
    if [ -n "$1" ]; then [ "$name" = "$1" ] && { echo "$w"; return 0; }
    else [ "$name" != Kelvor ] && { echo "$w"; return 0; }; fi
  done
  return 1
}
wait_extra() {  # title present|gone
  for _ in $(seq 50); do
    if extra_window "$1" >/dev/null; then [ "$2" = present ] && return 0
    else [ "$2" = gone ] && return 0; fi
    sleep 0.2
  done
  return 1
}
answer() {  # key what
  wait_extra Kelvor present || fail "$2: no question"
  local w
  w="$(extra_window Kelvor)"
  xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
  sleep 0.3
  xdotool key "$1"
  wait_extra Kelvor gone || fail "$2: the question stayed"
}
no_question() {  # what
  sleep 1
  extra_window Kelvor >/dev/null && fail "$1: asked although nothing was unsaved"
  return 0
}
# The Open dialog: the path typed into its name field and taken.
choose_file() {  # path what
  wait_extra "" present || fail "$2: no Open dialog"
  local w
  w="$(extra_window "")"
  xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
  sleep 0.5
  xdotool type --delay 20 "$1"
  xdotool key Return
  wait_extra "" gone || fail "$2: the Open dialog stayed"
  sleep 0.5
  # The first click on the map after the Open command only opens the mouse
  # gate (the click that closed the dialog must not edit).
  click "$map" 0 0
}
save_map() {
  keys ctrl+s
  sleep 0.5
}

start_editor "$a"

# New: Cancel, then No (the size dialog comes; OK makes a map without a file,
# whose Ctrl+S asks for a name), then Yes on the reopened document.
stamp 2 3
keys ctrl+n
answer Escape "New, Cancel"
wait_extra "ﾏｯﾌﾟｻｲｽﾞ変更" gone || fail "New, Cancel: the size dialog opened"
expect_cells "$a" "" "New, Cancel"
keys ctrl+n
answer alt+n "New, No"
wait_extra "ﾏｯﾌﾟｻｲｽﾞ変更" present || fail "New, No: no size dialog"
xdotool key Return
wait_extra "ﾏｯﾌﾟｻｲｽﾞ変更" gone || fail "New, No: the size dialog stayed"
expect_cells "$a" "" "New, No"
save_map
wait_extra "" present || fail "Ctrl+S on a new map did not ask for a name"
xdotool key Escape
wait_extra "" gone || fail "the Save As dialog stayed"
expect_cells "$a" "" "Ctrl+S on a new map"
keys ctrl+o
answer alt+n "Open over the new map, No"
choose_file "$a" "reopening"
stamp 2 3
keys ctrl+n
answer Return "New, Yes"
wait_extra "ﾏｯﾌﾟｻｲｽﾞ変更" present || fail "New, Yes: no size dialog"
xdotool key Escape
expect_cells "$a" "2 3;" "New, Yes"
echo "New: Cancel, No and Yes as answered"

# Open: Cancel, No (the other document opens), Yes (it is saved first).
stamp 4 4
keys ctrl+o
answer Escape "Open, Cancel"
no_question "Open, Cancel" && wait_extra "" gone || fail "Open, Cancel: the Open dialog opened"
expect_cells "$a" "2 3;" "Open, Cancel"
keys ctrl+o
answer alt+n "Open, No"
choose_file "$b" "Open, No"
save_map
expect_cells "$b" "" "Open, No (the map)"
expect_cells "$a" "2 3;" "Open, No"
stamp 1 1
keys ctrl+o
answer Return "Open, Yes"
choose_file "$a" "Open, Yes"
expect_cells "$b" "1 1;" "Open, Yes"
save_map
expect_cells "$a" "2 3;" "Open, Yes (the map)"
echo "Open: Cancel, No and Yes as answered"

# A file dragged in: Cancel keeps the map, No opens the file, Yes saves first.
stamp 5 5
drop "$b"
answer Escape "drop, Cancel"
expect_cells "$a" "2 3;" "drop, Cancel"
save_map
expect_cells "$a" "2 3;5 5;" "drop, Cancel (the map)"
stamp 6 6
drop "$b"
answer alt+n "drop, No"
expect_cells "$a" "2 3;5 5;" "drop, No"
save_map
expect_cells "$b" "1 1;" "drop, No (the map)"
stamp 7 7
drop "$a"
answer Return "drop, Yes"
expect_cells "$b" "1 1;7 7;" "drop, Yes"
save_map
expect_cells "$a" "2 3;5 5;" "drop, Yes (the map)"
echo "drop: Cancel, No and Yes as answered"

# A second start with a document hands it over: the question, then it opens.
stamp 8 8
timeout 20 "$editor" "$b" >"$work/second.log" 2>&1
[ $? -eq 0 ] || fail "the second start did not end with 0"
answer Return "hand-over, Yes"
expect_cells "$a" "2 3;5 5;8 8;" "hand-over, Yes"
stamp 3 3
save_map
expect_cells "$b" "1 1;3 3;7 7;" "hand-over (the map)"
# Saved: a second start without a document only brings the editor forward.
timeout 20 "$editor" >"$work/third.log" 2>&1
no_question "second start without a document"
echo "hand-over: the running editor asked and opened the document"

# The exit (ﾌｧｲﾙ > 終了): Cancel, No, then Yes in a new run.
quit() { keys alt+f; xdotool key x; }
ended() { for _ in $(seq 50); do kill -0 "$editor_pid" 2>/dev/null || return 0; sleep 0.2; done; return 1; }
stamp 9 9
quit
answer Escape "exit, Cancel"
sleep 1
kill -0 "$editor_pid" 2>/dev/null || fail "exit, Cancel: the editor ended"
expect_cells "$b" "1 1;3 3;7 7;" "exit, Cancel"
quit
answer alt+n "exit, No"
ended || fail "exit, No: the editor did not end"
expect_cells "$b" "1 1;3 3;7 7;" "exit, No"
start_editor "$b"
stamp 10 10
quit
answer Return "exit, Yes"
ended || fail "exit, Yes: the editor did not end"
expect_cells "$b" "1 1;3 3;7 7;10 10;" "exit, Yes"
echo "exit: Cancel, No and Yes as answered"

echo "PASS"
exit 0
