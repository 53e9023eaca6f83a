#!/usr/bin/env bash
# A TMX map from another editor dragged onto the real editor's map window
# under Xvfb: it opens as a new document beside the map, Ctrl+S saves that
# document, and the saved cells are the map's tiles as chips of the chip-set
# folder. The map itself is left as it was.
# Exit 77 (skipped) while the editor is not built.
set -uo pipefail

# shellcheck source=e2e_lib.sh
source "$(dirname "$0")/e2e_lib.sh"
e2e_setup "$1" "$2" map_drop_e2e_failure.png

chips="$bin/map_chip"
[ -f "$chips/terrain.png" ] || fail "no terrain.png in the chip-set folder $chips"
start="$work/start.kv"
"$helper" new-doc "$start" 20 15 || fail "cannot make the test document"

# 4 x 3 tiles of terrain.png (8 x 8 chips), which already lies in the
# chip-set folder, so nothing is copied and nothing asked. Background gids
# 1, 2, 9 and 64 become slots 1 to 4 in that order, the layer's gid 10 slot 1.
mkdir -p "$work/maps"
tmx="$work/maps/stage.tmx"
cat >"$tmx" <<TMX
<?xml version="1.0" encoding="UTF-8"?>
<map version="1.8" orientation="orthogonal" renderorder="right-down" width="4" height="3" tilewidth="32" tileheight="32" infinite="0">
 <tileset firstgid="1" name="terrain" tilewidth="32" tileheight="32" tilecount="64" columns="8">
  <image source="$chips/terrain.png" width="256" height="256"/>
 </tileset>
 <layer id="1" name="background" width="4" height="3">
  <data encoding="csv">
1,2,0,0,
0,9,0,0,
0,0,0,64
</data>
 </layer>
 <layer id="2" name="layer" width="4" height="3">
  <data encoding="csv">
0,0,10,0,
0,0,0,0,
0,0,0,0
</data>
 </layer>
</map>
TMX
tmx_sum="$(md5sum <"$tmx")"
chip_files="$(ls "$chips")"

env -u LC_ALL -u LC_MESSAGES -u LC_CTYPE -u KELVOR_LANG LANG=C "$editor" "$start" \
  >"$work/editor1.log" 2>&1 &
editor_pid=$!
pids+=("$editor_pid")
find_windows "$editor_pid"
sleep 1

saved="$work/maps/stage.kv"
drop "$tmx"
sleep 1
scan_windows "$editor_pid"
[ -z "$box" ] || fail "the drop showed a message box"
xdotool windowfocus --sync "$map" 2>/dev/null || true
xdotool key ctrl+s
expected="0 0 00000001;1 0 00000002;2 0 00010000;1 1 00000003;3 2 00000004;"
now=""
for _ in $(seq 50); do
  now="$("$helper" cells "$saved" 2>/dev/null | tr '\n' ';')"
  [ "$now" = "$expected" ] && break
  sleep 0.2
done
[ "$now" = "$expected" ] || fail "the saved document holds \"$now\", expected \"$expected\""
[ "$("$helper" cells "$start" | wc -l)" -eq 0 ] || fail "the first document changed"
[ "$(md5sum <"$tmx")" = "$tmx_sum" ] || fail "the map file changed"
[ "$(ls "$chips")" = "$chip_files" ] || fail "the chip-set folder changed: $(ls "$chips")"
echo "dropped stage.tmx, saved stage.kv with the map's cells"
echo "PASS"
exit 0
