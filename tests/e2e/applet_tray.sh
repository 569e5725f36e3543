#!/usr/bin/env bash
# Tray menu commands: "Fahrenheit" (1003) and "LCD Invert" (1001) toggle
# and write 1 and 0 into the INI file, the inversion showing on the LCD at
# once; choosing a network interface (1100 + its position in the interface
# table) writes its index as "Index" of section "NetWork" and moves the check
# mark in the menu's "Network" list to it (a screenshot of the open menu),
# and the next start reads it back.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
ini="$appdir/Kestrani.ini"
applet_start
wait_frames 4 30 || e2e_fail "no frames from the applet"

# ini_value SECTION KEY: the value in the file (sections and keys in any case).
ini_value() {
  tr -d '\r' <"$ini" | awk -v s="$1" -v k="$2" '
    /^\[/ { sec = tolower($0) == "[" tolower(s) "]"; next }
    sec { i = index($0, "="); if (i && tolower(substr($0, 1, i - 1)) == tolower(k)) { print substr($0, i + 1); exit } }'
}
toggle() { # id section key expected
  client command "$1" >/dev/null || e2e_fail "command $1 not delivered"
  sleep 0.3
  [ "$(ini_value "$2" "$3")" = "$4" ] || e2e_fail "after command $1: $2/$3 = '$(ini_value "$2" "$3")', expected $4"
}

toggle 1003 Common Fahrenheit 1
toggle 1003 Common Fahrenheit 0

# The right half without a graphics card is background only: inverting
# turns its ink into paper.
grab_frame "$work/f0.pgm"
ink0=$(frame_check ink "$work/f0.pgm" 98 9 160 35)
toggle 1001 Common DoInvert 1
wait_frames 2 5
grab_frame "$work/f1.pgm"
ink1=$(frame_check ink "$work/f1.pgm" 98 9 160 35)
((ink0 + ink1 == 62 * 26)) || e2e_fail "LCD Invert: ink $ink0 before, $ink1 after (of $((62 * 26)))"
toggle 1001 Common DoInvert 0
wait_frames 2 5
grab_frame "$work/f2.pgm"
[ "$(frame_check ink "$work/f2.pgm" 98 9 160 35)" = "$ink0" ] || e2e_fail "LCD Invert off did not restore the picture"

# The network interfaces the menu offers: Ethernet (6) and wireless (71).
client interfaces >"$work/if.txt"
echo "interfaces: $(tr '\n' ';' <"$work/if.txt")"
listed=$(awk '$2 == "type=6" || $2 == "type=71"' "$work/if.txt" | wc -l)
read -r pos index < <(awk '$2 == "type=6" || $2 == "type=71" { sub("index=", "", $3); print $1, $3 }' \
  "$work/if.txt" | tail -n1)
if [ -z "${pos:-}" ]; then
  echo "NOTE: no Ethernet or wireless interface under Wine here: the network choice cannot be made"
  echo "PASS"
  exit 0
fi
id=$((1100 + pos))
toggle "$id" NetWork Index "$index"
# The checked entries of the menu's "Network" list, from a screenshot: the
# tray menu opened by a right click on the icon, Down twice (past
# "Configuration" to "Network"), Right.
network_checks() {
  local main rect i
  client applet-message 0 517 >/dev/null
  sleep 1
  client menu-keys 40 40 >/dev/null || e2e_fail "the tray menu did not open"
  main=$(client menu-windows)
  client menu-keys 39 >/dev/null
  sleep 0.5
  rect=$(client menu-windows | grep -vxF "$main")
  [ "$(wc -l <<<"$rect")" = 1 ] && [ -n "$rect" ] || e2e_fail "the Network list did not open: $(client menu-windows)"
  import -display "$DISPLAY" -window root "$work/menu.png" 2>/dev/null || e2e_fail "no screenshot"
  read -r x0 y0 x1 y1 <<<"$rect"
  convert "$work/menu.png" -crop "$((x1 - x0))x$((y1 - y0))+$x0+$y0" +repage "$work/network.ppm"
  frame_check checked "$work/network.ppm" "$listed"
  for ((i = 0; i < 5; i++)); do
    [ -z "$(client menu-windows)" ] && break
    client menu-keys 27 >/dev/null
  done
}
checks=$(network_checks)
[ "$checks" = $((listed - 1)) ] || e2e_fail "the check mark is on entries '$checks' of $listed, expected $((listed - 1))"

# The next start reads the choice back.
client command 1000 >/dev/null
client wait-gone 10 || e2e_fail "Exit did not end the applet"
wait "$applet_pid" 2>/dev/null
applet_start
client wait-window 20 >/dev/null || e2e_fail "no second start"
sleep 1
[ "$(ini_value NetWork Index)" = "$index" ] || e2e_fail "the start changed Index to $(ini_value NetWork Index)"
checks=$(network_checks)
[ "$checks" = $((listed - 1)) ] || e2e_fail "after a restart the check mark is on entries '$checks', expected $((listed - 1))"
echo "PASS"
