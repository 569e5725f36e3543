#!/usr/bin/env bash
# No INI file beside the program nor under Kestrani\ in the local
# application-data folder: one error box captioned with the product title,
# whose text starts with "Error, " and the looked-for path padded to 30
# characters; once it is dismissed the program ends. With the INI file only
# under Kestrani\ in that folder, the applet uses it: the LCD shows the
# background picture beside it, and the start writes its [Debug] key there.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
rm -f "$appdir/Kestrani.ini"

# Checks one start whose INI path is $1.
expect_error_box() {
  local path=$1 text caption first
  applet_start
  text=$(client dialog-text) || e2e_fail "no error box for $path"
  caption=$(client dialog-caption)
  first=$(head -n1 <<<"$text")
  echo "box '$caption': $(tr '\n' '|' <<<"$text")"
  [ "$caption" = "$title" ] || e2e_fail "caption '$caption', expected '$title'"
  [ "$first" = "$(printf 'Error, %-30s' "$path")" ] || e2e_fail "text starts '$first' for $path"
  kill -0 "$applet_pid" 2>/dev/null || e2e_fail "the program did not wait for the box"
  client dialog-close >/dev/null
  for ((i = 0; i < 100; i++)); do
    kill -0 "$applet_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$applet_pid" 2>/dev/null && e2e_fail "the program still runs after the box was dismissed"
  wait "$applet_pid" 2>/dev/null
  [ "$(client count)" = "windows=0 processes=0" ] || e2e_fail "left behind: $(client count)"
}

# The local application-data folder of the prefix's user.
local_appdata=$("$wine" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' \
  /v 'Local AppData' 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[ -n "$local_appdata" ] || e2e_fail "no local application-data folder in the prefix"
expect_error_box "$local_appdata\\Kestrani\\Kestrani.ini"

# A short folder, so that the padding shows.
mkdir -p "$WINEPREFIX/drive_c/L"
for key in 'User Shell Folders' 'Shell Folders'; do
  "$wine" reg add "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\$key" /v 'Local AppData' \
    /t REG_SZ /d 'C:\L' /f >/dev/null 2>&1
done
expect_error_box 'C:\L\Kestrani\Kestrani.ini'

# The file there, with a layout that hides every value, and a striped
# background of its own beside it: the frames are that background.
mkdir -p "$WINEPREFIX/drive_c/L/Kestrani"
printf '[Common]\r\nClock=255,255\r\n' >"$WINEPREFIX/drive_c/L/Kestrani/Kestrani.ini"
python3 - "$WINEPREFIX/drive_c/L/Kestrani/Kestrani.bmp" <<'PY'
import struct, sys
w, h = 160, 43
stride = (w * 3 + 3) & ~3
rows = b"".join(bytes(b for x in range(w) for b in ((0, 0, 0) if (x // 4 + y // 3) % 2 else (255, 255, 255)))
                + bytes(stride - 3 * w) for y in reversed(range(h)))
header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", 54 + len(rows), 0, 0, 54, 40, w, h, 1, 24, 0, len(rows), 0, 0, 0, 0)
open(sys.argv[1], "wb").write(header + rows)
PY
render --ini "$WINEPREFIX/drive_c/L/Kestrani/Kestrani.ini" --out "$work/striped.bmp" >/dev/null ||
  e2e_fail "kestrani-render failed"
[ "$(frame_check ink "$work/striped.bmp" 0 0 160 43)" -gt 3000 ] || e2e_fail "the striped background did not render"
applet_start
wait_frames 4 30 || e2e_fail "no frames with the INI file under Kestrani\\"
grab_frame "$work/appdata.pgm"
[ "$(frame_check diff "$work/appdata.pgm" "$work/striped.bmp")" = 0 ] ||
  e2e_fail "the LCD does not show the background beside the INI file under Kestrani\\"
[ -n "$(ini_get "$WINEPREFIX/drive_c/L/Kestrani/Kestrani.ini" Debug DisplayDevice)" ] ||
  e2e_fail "the start wrote no [Debug] key into the INI file under Kestrani\\"
[ ! -e "$appdir/Kestrani.ini" ] || e2e_fail "an INI file appeared beside the program"
echo "the INI file under Kestrani\\ in the local application-data folder is used, its background shown"
echo "PASS"
