#!/usr/bin/env bash
# The recovery copy with the real editor under Xvfb, real mouse and key events:
#  1. chips are stamped, the copy is written, the editor is killed (-9); the
#     next start asks, Yes restores, Ctrl+S writes exactly what was stamped;
#  2. the same with No: the copy is gone and the document is as it was;
#  3. the editor ends with SIGTERM right after a stamp: that stamp is in the
#     copy, which the next start restores.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

bin="$1"
helper="$2"
editor="$bin/kelvor"
if [ ! -x "$editor" ]; then
  echo "SKIP: the editor is not built ($editor)"
  exit 77
fi
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  import -window root "$PWD/recovery_e2e_failure.png" 2>/dev/null &&
    echo "screen: $PWD/recovery_e2e_failure.png"
  for log in "$work"/editor*.log; do
    [ -f "$log" ] && sed "s|^|$(basename "$log"): |" "$log" | tail -10
  done
  exit 1
}

# A display, a temp folder and a state folder of our own: no other editor
# shares the single-instance claim or the recovery copies of this run.
# Xvfb picks a free display itself and tells its number.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb found no free display"
display=":$(head -1 "$work/display")"
export DISPLAY="$display" TMPDIR="$work" QT_QPA_PLATFORM=xcb XDG_STATE_HOME="$work/state"
unset WAYLAND_DISPLAY XDG_SESSION_ID
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"

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
find_windows() {
  map=""
  palette=""
  for _ in $(seq 150); do
    map=""
    palette=""
    for w in $(xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null); do
      name="$(xdotool getwindowname "$w" 2>/dev/null)"
      case "$name" in
        "Kelvor    "*) map="$w" ;;
        Kelvor) ;;
        ?*) palette="$w" ;;
      esac
    done
    [ -n "$map" ] && [ -n "$palette" ] && break
    sleep 0.2
  done
  [ -n "$map" ] || fail "run $run: the map window did not show"
  [ -n "$palette" ] || fail "run $run: the palette window did not show"
  sleep 0.5
}
answer() {  # key: Return takes the default (Yes), alt+n says No
  # The map window is called "Kelvor" too until its caption shows the counts,
  # which happens before the question.
  local box="" name
  for _ in $(seq 100); do
    box=""
    local counted=""
    for w in $(xdotool search --onlyvisible --pid "$editor_pid" 2>/dev/null); do
      name="$(xdotool getwindowname "$w" 2>/dev/null)"
      case "$name" in
        "Kelvor    "*) counted=1 ;;
        Kelvor) box="$w" ;;
      esac
    done
    [ -n "$counted" ] && [ -n "$box" ] && break
    sleep 0.2
  done
  [ -n "$counted" ] && [ -n "$box" ] || fail "run $run: no restore question"
  xdotool windowactivate --sync "$box" 2>/dev/null || xdotool windowfocus --sync "$box"
  sleep 0.3
  xdotool key "$1"
}

menu=30
at() {  # window column row -> screen x y of the square's centre
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$((X + $2 * 32 + 16)) $((Y + menu + $3 * 32 + 16))"
}
click() {  # window column row
  # shellcheck disable=SC2046
  xdotool mousemove --sync $(at "$1" "$2" "$3") click 1
  sleep 0.3
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
stamped_cells() {  # the cells of the copy with the given positions stamped
  "$helper" cells "$(copy_file)" | awk '{print $1, $2}' | tr '\n' ' '
}

# 1. Stamp two chips on three cells; once the copy holds them, kill -9.
start_editor 200
find_windows
click "$palette" 0 0
click "$map" 2 3
click "$map" 4 5
click "$palette" 1 0
click "$map" 6 7
for _ in $(seq 100); do
  [ -n "$(copy_file)" ] && [ "$(stamped_cells)" = "2 3 4 5 6 7 " ] && break
  sleep 0.2
done
[ "$(stamped_cells)" = "2 3 4 5 6 7 " ] || fail "the copy does not hold the three stamps"
expected="$("$helper" cells "$(copy_file)")"
caption="$(xdotool getwindowname "$map")"
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null
[ -n "$(copy_file)" ] || fail "the copy did not survive kill -9"
[ -z "$("$helper" cells "$doc")" ] || fail "the document changed before it was saved"

start_editor 200
answer Return
find_windows
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
find_windows
click "$palette" 0 0
click "$map" 8 8
for _ in $(seq 100); do
  [ -n "$(copy_file)" ] && stamped_cells | grep -q "8 8" && break
  sleep 0.2
done
stamped_cells | grep -q "8 8" || fail "run 2: the copy does not hold the stamp"
kill -9 "$editor_pid"
wait "$editor_pid" 2>/dev/null
start_editor 200
answer alt+n
find_windows
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
find_windows
click "$palette" 0 0
click "$map" 10 10
for _ in $(seq 100); do
  [ -n "$(copy_file)" ] && stamped_cells | grep -q "10 10" && break
  sleep 0.2
done
stamped_cells | grep -q "10 10" || fail "run 3: the copy does not hold the first stamp"
click "$map" 12 12
kill -TERM "$editor_pid"
for _ in $(seq 100); do kill -0 "$editor_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$editor_pid" 2>/dev/null && fail "SIGTERM did not end the editor"
stamped_cells | grep -q "12 12" || fail "SIGTERM did not write the last stamp to the copy"
expected="$("$helper" cells "$(copy_file)")"
start_editor ""
answer Return
find_windows
xdotool windowfocus --sync "$map" 2>/dev/null || true
xdotool key ctrl+s
wait_cells "$doc" "$expected" || fail "run 3: the saved document is not the copy"
echo "run 3: SIGTERM kept the last stamp; restored and saved"

echo "PASS"
exit 0
