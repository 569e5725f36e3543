#!/usr/bin/env bash
# [Common] HideTrayIcon: off, the tray icon stays while the LCD is open; on,
# it is gone once the LCD opens and is not added again (menu commands
# rebuild the menu, a standby binds the LCD anew); on without the LCD
# library, the icon stays. kestrani-client asks the notification area
# whether it holds the applet's icon.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
ini="$appdir/Kestrani.ini"

# Starts the applet and waits until it drew a second's frames, or with no
# LCD library until its window has lived through a few render ticks.
start_and_settle() {
  applet_start
  if [ -e "$appdir/lgLcdWrapper.dll" ]; then
    wait_frames 4 30 || e2e_fail "no frames from the applet"
    grep -q 'open result=0' "$lcdout/session.log" || e2e_fail "the LCD was not opened"
  else
    client wait-window 30 >/dev/null || e2e_fail "no applet window"
  fi
  sleep 1.5
}
icon() { client tray-icon; }

start_and_settle
[ "$(icon)" = 1 ] || e2e_fail "HideTrayIcon off: no tray icon while the LCD is open"
echo "HideTrayIcon off: the icon stays while the LCD is open"
applet_exit

ini_put "$ini" Common HideTrayIcon 1
start_and_settle
[ "$(icon)" = 0 ] || e2e_fail "HideTrayIcon on: the icon is still there with the LCD open"
client command 1003 2 >/dev/null || e2e_fail "menu commands not delivered"
[ "$(icon)" = 0 ] || e2e_fail "HideTrayIcon on: the icon came back with the menu commands"
client power 4 >/dev/null || e2e_fail "suspend not delivered: $(client count)"
client power 7 >/dev/null || e2e_fail "resume not delivered: $(client count)"
wait_frames 8 10 || e2e_fail "no frames after the resume"
opens=$(grep -c 'open result=0' "$lcdout/session.log")
((opens >= 2)) || e2e_fail "the LCD was not bound anew after the resume"
[ "$(icon)" = 0 ] || e2e_fail "HideTrayIcon on: the icon came back after a standby"
echo "HideTrayIcon on: the icon is gone once the LCD opens, and stays gone"
applet_exit

rm "$appdir/lgLcdWrapper.dll"
start_and_settle
[ "$(icon)" = 1 ] || e2e_fail "HideTrayIcon on without the LCD library: the icon is gone"
echo "HideTrayIcon on, no LCD library: the icon stays"
echo "PASS"
