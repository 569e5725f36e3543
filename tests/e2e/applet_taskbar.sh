#!/usr/bin/env bash
# A restarted taskbar: the shell loses the tray icons and posts the
# registered message "TaskbarCreated" to every top-level window; the applet
# adds its icon again with the same record (window and id). With
# HideTrayIcon=1 the icon, removed once the LCD was bound, stays away.
# Whether the taskbar holds the icon is asked by kestrani-client: only an
# icon the taskbar holds can be changed.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
applet_running

# icon_within S WANT: the taskbar's answer becomes WANT within S seconds.
icon_within() {
  local i
  for ((i = 0; i < $1 * 4; i++)); do
    [ "$(client tray-icon)" = "$2" ] && return 0
    sleep 0.25
  done
  return 1
}
icon_within 5 1 || e2e_fail "the taskbar holds no icon of the applet after its start"
client tray-forget >/dev/null || e2e_fail "the icon could not be removed"
[ "$(client tray-icon)" = 0 ] || e2e_fail "the icon is still there after its removal"
client broadcast TaskbarCreated >/dev/null || e2e_fail "TaskbarCreated not posted"
icon_within 5 1 || e2e_fail "the icon did not come back after TaskbarCreated"
# Its clicks still arrive with the same id: a left click shows the window.
[ "$(client visible)" = 0 ] || e2e_fail "the window shows before the click"
client applet-message 0 514 >/dev/null
sleep 0.5
[ "$(client visible)" = 1 ] || e2e_fail "the tray click did not show the window"

client command 1000 >/dev/null
client wait-gone 10 || e2e_fail "Exit did not end the applet"
wait "$applet_pid" 2>/dev/null
sed -i 's/^HideTrayIcon=0/HideTrayIcon=1/' "$appdir/Kestrani.ini"
grep -q '^HideTrayIcon=1' "$appdir/Kestrani.ini" || e2e_fail "could not set HideTrayIcon"
applet_running
icon_within 5 0 || e2e_fail "HideTrayIcon left the icon with the LCD bound"
client broadcast TaskbarCreated >/dev/null || e2e_fail "TaskbarCreated not posted"
sleep 2
[ "$(client tray-icon)" = 0 ] || e2e_fail "TaskbarCreated brought back the icon that HideTrayIcon removed"
echo "PASS"
