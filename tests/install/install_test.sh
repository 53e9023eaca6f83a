#!/usr/bin/env bash
# Installs the build into a temporary folder (DESTDIR) and checks what a
# desktop gets: the layout, the desktop entry, MIME package and AppStream
# metadata as the Debian tools see them, and the installed programs finding
# the installed chip set with nothing lying beside them.
# usage: install_test.sh BUILD_DIR APP_ID VERSION
set -uo pipefail

build="$1"
app_id="$2"
version="$3"

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
  fail "cmake --install: $(tail -5 "$work/install.log")"
usr="$work/root/usr"

# The layout.
for path in bin/kelvor bin/kelvor-cli \
  share/kelvor/map_chip/terrain.png share/kelvor/map_chip/objects.png \
  share/kelvor/examples/sample.kv \
  share/doc/kelvor/manual/ja/index.html share/doc/kelvor/manual/en/index.html \
  share/doc/kelvor/manual/style.css \
  "share/applications/$app_id.desktop" "share/mime/packages/$app_id.xml" \
  "share/metainfo/$app_id.metainfo.xml"; do
  [ -f "$usr/$path" ] || fail "not installed: $path"
done
for size in 16 24 32 48 64 128 256; do
  icon="$usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  file "$icon" | grep -q "PNG image data, $size x $size" || fail "icon $size: $(file "$icon")"
done
# Every page and picture the manual links to is installed with it.
for page in "$usr"/share/doc/kelvor/manual/*/*.html; do
  for ref in $(grep -o '\(href\|src\)="[^"#:]*"' "$page" | sed 's/^[a-z]*="//;s/"$//'); do
    [ -e "$(dirname "$page")/$ref" ] || fail "$page links to a missing $ref"
  done
done

# The Debian tools accept the three desktop files.
for tool in desktop-file-validate appstreamcli update-mime-database mimetype; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
done
desktop="$usr/share/applications/$app_id.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml" >"$work/as.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/as.log")"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metadata names no release $version"
mkdir -p "$work/data"
cp -r "$usr/share/mime" "$work/data/mime"
update-mime-database "$work/data/mime" >/dev/null 2>&1 || fail "update-mime-database"

# Both programs tell their version without a display and exit 0.
for program in kelvor kelvor-cli; do
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY TMPDIR="$work" "$usr/bin/$program" --version)" ||
    fail "$program --version exit status"
  [ "$out" = "Kelvor $version" ] || fail "$program --version printed: $out"
done
ls "$work"/*.lock >/dev/null 2>&1 && fail "kelvor --version touched the single-instance lock"

# The installed kelvor-cli draws the sample with the installed chip set: a
# chip-set image it could not find would be warned about.
"$usr/bin/kelvor-cli" export "$usr/share/kelvor/examples/sample.kv" "$work/map.png" --what map \
  2>"$work/cli.err" || fail "kelvor-cli export: $(cat "$work/cli.err")"
[ -s "$work/cli.err" ] && fail "kelvor-cli export: $(cat "$work/cli.err")"
file "$work/map.png" | grep -q "PNG image data, 960 x 640" || fail "map picture: $(file "$work/map.png")"

# Our type for both document forms, by content; not for another program's .kv.
"$usr/bin/kelvor-cli" convert "$usr/share/kelvor/examples/sample.kv" "$work/text.kv" --to text ||
  fail "kelvor-cli convert"
printf '#:kivy 2.0\n<Root>:\n    Button:\n        text: "x"\n' >"$work/x.kv"
mime_of() { XDG_DATA_HOME="$work/none" XDG_DATA_DIRS="$work/data:/usr/share" mimetype -b "$1"; }
[ "$(mime_of "$usr/share/kelvor/examples/sample.kv")" = application/x-kelvor ] ||
  fail "binary form seen as $(mime_of "$usr/share/kelvor/examples/sample.kv")"
[ "$(mime_of "$work/text.kv")" = application/x-kelvor ] || fail "text form seen as $(mime_of "$work/text.kv")"
[ "$(mime_of "$work/x.kv")" != application/x-kelvor ] || fail "a Kivy file taken for a Kelvor map"
grep -q '^MimeType=application/x-kelvor;$' "$desktop" || fail "the desktop entry names another type"

# The installed editor, started by the desktop entry's Exec line with the
# sample: it finds the installed chip set, so neither the missing-folder box
# ("Kelvor") nor the missing-images box comes up.
exec_line="$(sed -n 's/^Exec=//p' "$desktop")"
wm_class="$(sed -n 's/^StartupWMClass=//p' "$desktop")"
sample="$usr/share/kelvor/examples/sample.kv"
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xprop >/dev/null; then
  # shellcheck source=../../scripts/private-xvfb.sh
  . "$(dirname "$0")/../../scripts/private-xvfb.sh"
  start_private_xvfb 1280x900x24 "$work/xvfb.log" || fail "Xvfb did not start on a free display"
  (cd "$work" && export PATH="$usr/bin:$PATH" TMPDIR="$work" XDG_STATE_HOME="$work/state" &&
    eval "exec ${exec_line/\%f/\"\$sample\"}") >"$work/editor.log" 2>&1 &
  editor=$!
  pids+=("$editor")
  map=""
  for _ in $(seq 100); do
    for w in $(xdotool search --onlyvisible --pid "$editor" 2>/dev/null); do
      case "$(xdotool getwindowname "$w")" in Kelvor\ *) map="$w" ;; esac
    done
    [ -n "$map" ] && break
    sleep 0.2
  done
  [ -n "$map" ] || fail "the installed editor showed no map window: $(cat "$work/editor.log")"
  sleep 1
  for w in $(xdotool search --onlyvisible --pid "$editor" 2>/dev/null); do
    name="$(xdotool getwindowname "$w")"
    case "$name" in
      Kelvor | 以下の画像ファイルがありません) fail "the installed editor reported: $name" ;;
    esac
  done
  xprop -id "$map" WM_CLASS | grep -q "\"$wm_class\"\$" ||
    fail "window class $(xprop -id "$map" WM_CLASS) does not match StartupWMClass=$wm_class"
else
  # No X server: the installed editor at least starts and keeps running.
  (cd "$work" && export PATH="$usr/bin:$PATH" TMPDIR="$work" XDG_STATE_HOME="$work/state" QT_QPA_PLATFORM=offscreen &&
    eval "exec ${exec_line/\%f/\"\$sample\"}") >"$work/editor.log" 2>&1 &
  editor=$!
  pids+=("$editor")
  sleep 3
  kill -0 "$editor" 2>/dev/null || fail "the installed editor ended: $(cat "$work/editor.log")"
fi
echo "install layout, desktop files and installed programs: ok"
