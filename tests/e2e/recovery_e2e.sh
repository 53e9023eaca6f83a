#!/usr/bin/env bash
# The recovery copy with the real editor under Xvfb, real mouse and key events:
#  1. chips are stamped, the copy is written, the editor is killed (-9); the
#     next start asks, Yes restores, Ctrl+S writes exactly what was stamped;
#  2. the same with No: the copy is gone and the document is as it was;
#  3. the editor ends with SIGTERM right after a stamp: that stamp is in the
#     copy, which the next start restores.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup "$1" "$2" recovery_e2e_failure.png

doc="$work/stage.kv"
"$helper" new-doc "$doc" 20 15 || fail "cannot make the test document"

editor_pid=""
map=""
palette=""
run=0
start_editor() {  # interval-ms (empty: the editor's own)
  run=$((run + 1))
  KELVOR_RECOVERY_INTERVAL_MS="$1" "$editor" "$doc" >"$work/editor$run.log" 2>&1 &
  editor_pid=$!
  pids+=("$editor_pid")
}
windows() {
  find_windows "$editor_pid"
  sleep 0.5
}
answer() {  # key: Return takes the default (Yes), alt+n says No
  # The map window is captioned "Kelvor" alone until it shows the counts,
  # which it does before the question.
  for _ in $(seq 100); do
    scan_windows "$editor_pid"
    [ -n "$map" ] && [ -n "$box" ] && break
    sleep 0.2
  done
  [ -n "$map" ] && [ -n "$box" ] || fail "run $run: no restore question"
  xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
  sleep 0.3
  xdotool key "$1"
}

copy_file() { ls "$work"/state/kelvor/kelvor-*.kv 2>/dev/null | head -1; }
wait_cells() {  # file expected-cell-lines
  for _ in $(seq 100); do
    [ -f "$1" ] && [ "$("$helper" cells "$1" 2>/dev/null)" = "$2" ] && return 0
    sleep 0.2
  done
  return 1
}
wait_gone() {
  for _ in $(seq 100); do [ -z "$(copy_file)" ] && return 0; sleep 0.2; done
  return 1
}
stamped_cells() {  # "column row " of every cell the copy holds a chip or flag in
  "$helper" cells "$(copy_file)" | awk '{print $1, $2}' | tr '\n' ' '
}
wait_copy_holds() {  # "column row" ...: until the copy holds these cells (among others)
  local cells
  for _ in $(seq 100); do
    if [ -n "$(copy_file)" ]; then
      cells="$(stamped_cells)"
      local all=1
      for cell in "$@"; do [[ " $cells" == *" $cell "* ]] || all=""; done
      [ -n "$all" ] && return 0
    fi
    sleep 0.2
  done
  return 1
}

# 1. Stamp two chips on three cells; once the copy holds them, kill -9.
start_editor 200
windows
click "$palette" 0 0
click "$map" 2 3
click "$map" 4 5
click "$palette" 1 0
click "$map" 6 7
wait_copy_holds "2 3" "4 5" "6 7" || fail "the copy does not hold the three stamps"
[ "$(stamped_cells)" = "2 3 4 5 6 7 " ] || fail "the copy holds more than the stamps"
expected="$("$helper" cells "$(copy_file)")"
caption="$(xdotool getwindowname "$map")"
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null
[ -n "$(copy_file)" ] || fail "the copy did not survive kill -9"
[ -z "$("$helper" cells "$doc")" ] || fail "the document changed before it was saved"

start_editor 200
answer Return
windows
[ "$(xdotool getwindowname "$map")" = "$caption" ] ||
  fail "restored caption '$(xdotool getwindowname "$map")', before '$caption'"
xdotool windowfocus --sync "$map" 2>/dev/null || true
xdotool key ctrl+s
wait_cells "$doc" "$expected" ||
  fail "Ctrl+S after the restore saved: $("$helper" cells "$doc" | tr '\n' ';') expected $expected"
wait_gone || fail "the copy stayed after the save"
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null
echo "run 1: restored and saved $(echo "$expected" | wc -l) cells"

# 2. A new stamp, kill -9, then No: the copy goes, the document stays.
cp "$doc" "$work/saved.kv"
start_editor 200
windows
click "$palette" 0 0
click "$map" 8 8
wait_copy_holds "8 8" || fail "run 2: the copy does not hold the stamp"
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null
start_editor 200
answer alt+n
windows
wait_gone || fail "the copy stayed after No"
cmp -s "$doc" "$work/saved.kv" || fail "No changed the document"
sleep 1
[ -z "$(copy_file)" ] || fail "an unchanged document got a copy"
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null
echo "run 2: declined; copy gone, document unchanged"

# 3. With the editor's own interval: a stamp the copy holds, then one more
# and SIGTERM at once. The last stamp reaches the copy through the signal.
start_editor ""
windows
click "$palette" 0 0
click "$map" 10 10
wait_copy_holds "10 10" || fail "run 3: the copy does not hold the first stamp"
click "$map" 12 12
kill -TERM "$editor_pid"
for _ in $(seq 100); do kill -0 "$editor_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$editor_pid" 2>/dev/null && fail "SIGTERM did not end the editor"
[[ " $(stamped_cells)" == *" 12 12 "* ]] || fail "SIGTERM did not write the last stamp to the copy"
expected="$("$helper" cells "$(copy_file)")"
start_editor ""
answer Return
windows
xdotool windowfocus --sync "$map" 2>/dev/null || true
xdotool key ctrl+s
wait_cells "$doc" "$expected" || fail "run 3: the saved document is not the copy"
echo "run 3: SIGTERM kept the last stamp; restored and saved"

echo "PASS"
exit 0
