# Shared by the end-to-end scripts (sourced, not run): a display, a temp
# folder and a state folder of the run's own, so that no other editor
# shares its single-instance claim or its recovery copies; the editor's
# windows; clicks on chips and cells; files dragged onto the map.

# bin-folder helper-program failure-picture-name. Exits 77 (skipped) while
# the editor is not built or a tool is missing.
e2e_setup() {
  bin="$1"
  helper="$2"
  e2e_picture="$PWD/$3"
  editor="$bin/kelvor"
  cli="$bin/kelvor-cli"
  if [ ! -x "$editor" ]; then
    echo "SKIP: the editor is not built ($editor)"
    exit 77
  fi
  for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  work="$(mktemp -d)"
  pids=()
  trap e2e_cleanup EXIT
  # shellcheck source=../../scripts/private-xvfb.sh
  source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/private-xvfb.sh"
  start_private_xvfb 1600x1000x24 "$work/xvfb.log" || fail "Xvfb did not start on a free display"
  export TMPDIR="$work" XDG_STATE_HOME="$work/state"
}

e2e_cleanup() {
  for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}

fail() {
  echo "FAIL: $*"
  import -window root "$e2e_picture" 2>/dev/null && echo "screen: $e2e_picture"
  for log in "$work"/editor*.log; do
    [ -f "$log" ] && sed "s|^|$(basename "$log"): |" "$log" | tail -10
  done
  exit 1
}

# Sets `map` and `palette` to the two windows of the editor `pid` that show
# now, and `box` to a message box of it (captioned "Kelvor"). The map
# window's caption is "Kelvor" and the usage counts.
scan_windows() {  # pid
  local name
  map=""
  palette=""
  box=""
  for w in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    name="$(xdotool getwindowname "$w" 2>/dev/null)"
    case "$name" in
      "Kelvor    "*) map="$w" ;;
      Kelvor) box="$w" ;;
      ?*) palette="$w" ;;
    esac
  done
}

# Waits until both windows of the editor `pid` show.
find_windows() {  # pid
  for _ in $(seq 150); do
    scan_windows "$1"
    [ -n "$map" ] && [ -n "$palette" ] && break
    sleep 0.2
  done
  [ -n "$map" ] || fail "the map window did not show"
  [ -n "$palette" ] || fail "the palette window did not show"
}

# Client-area points of chips and cells at 100 %: 32 pixels each, below a
# menu bar of about 20 to 30 pixels; the centre of a square tolerates either.
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

# Drags `file` from another program's window onto the map.
drop() {  # file
  "$helper" drag "$1" 20 >"$work/drag.out" 2>&1 &
  local dragger=$!
  pids+=("$dragger")
  for _ in $(seq 50); do grep -q ready "$work/drag.out" 2>/dev/null && break; sleep 0.1; done
  sleep 0.5
  xdotool mousemove --sync 60 60 mousedown 1
  sleep 0.3
  # shellcheck disable=SC2046
  for step in 1 2 3 4; do xdotool mousemove --sync $(at "$map" $((step * 2)) $((step * 2))); sleep 0.2; done
  xdotool mouseup 1
  for _ in $(seq 50); do grep -q dropped "$work/drag.out" 2>/dev/null && break; sleep 0.1; done
  grep -q dropped "$work/drag.out" || fail "the drag did not reach the editor: $(cat "$work/drag.out")"
}
