# Sourced by the scripts that run the editor under Xvfb.
# start_private_xvfb SIZE LOG starts an X server on a display number that the
# server itself finds free (-displayfd: no other run can take it between a
# check and the start), adds its pid to the caller's `pids`, exports DISPLAY
# for the editor (and drops any Wayland or session hint) and waits until the
# server answers. -noreset: a server that resets when its last client leaves
# refuses the next client for a moment, which the editor takes as no display.
# Returns 1 when the server does not come up.
start_private_xvfb() {
  local numberFile n=""
  numberFile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$numberFile" >"$2" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    read -r n <"$numberFile" 2>/dev/null && [ -n "$n" ] && break
    sleep 0.1
  done
  rm -f "$numberFile"
  [ -n "$n" ] || return 1
  export DISPLAY=":$n" QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY XDG_SESSION_ID
  for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
