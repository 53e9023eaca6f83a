# Sourced by the scripts that run the editor under Xvfb.
# start_private_xvfb FIRST LAST SIZE LOG starts an X server on the first free
# display number in FIRST..LAST, so the displays of other runs are left alone,
# adds its pid to the caller's `pids`, exports DISPLAY for the editor (and
# drops any Wayland or session hint) and waits until the server answers.
# Returns 1 when no display is free or the server does not come up.
start_private_xvfb() {
  local n display=""
  for n in $(seq "$1" "$2"); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
  done
  [ -n "$display" ] || return 1
  Xvfb "$display" -screen 0 "$3" -nolisten tcp >"$4" 2>&1 &
  pids+=($!)
  export DISPLAY="$display" QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY XDG_SESSION_ID
  for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
