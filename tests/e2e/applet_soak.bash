#!/usr/bin/env bash
# A manual measurement, not one of the scenarios: Kestrani runs for
# KES_SOAK_SECONDS (default 600) with the service, the LCD stand-in and the
# GPU stand-ins beside it, and its handle count, GDI and USER objects,
# working set and private bytes are printed every KES_SOAK_STEP seconds
# (default 30). KES_SOAK_REBUILDS=N also sends N commands of an unknown id
# each step, each of which rebuilds the tray menu and its pictures.
# KES_SOAK_LCD="enumerate = 259" (any profile text of the LCD stand-in) makes
# the LCD fail that way, so the applet tries to bind it on every tick; the
# "frames" column then counts the stand-in's session lines instead.
# Run it as the scenarios are run:
#   KES_WINE_ROOT=build/win64/wine bash tests/e2e/applet_soak.bash build/win64/bin
set -u
bin=$(cd "$1" && pwd)
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
cp "$bin/nvapi.dll" "$bin/atiadlxx.dll" "$appdir/"
applet_service haswell
lcd_fails=
if [ -n "${KES_SOAK_LCD:-}" ]; then
  printf '%s\n' "$KES_SOAK_LCD" >"$appdir/lgLcd.profile"
  lcd_fails=1
fi
applet_start
if [ -n "$lcd_fails" ]; then
  client wait-window 30 >/dev/null || e2e_fail "no applet window"
else
  wait_frames 8 30 || e2e_fail "no frames from the applet"
fi
count() {
  if [ -z "$lcd_fails" ]; then
    frame_count
  elif [ -f "$lcdout/session.log" ]; then
    wc -l <"$lcdout/session.log"
  else
    echo 0
  fi
}
total=${KES_SOAK_SECONDS:-600} step=${KES_SOAK_STEP:-30}
start=$(date +%s)
echo "seconds handles systemhandles gdi user workingset private pagefile frames unix-rss-kB unix-fds"
while :; do
  now=$(($(date +%s) - start))
  stats=$(client stats) || e2e_fail "the applet is gone after $now s"
  unix="$(awk '/^VmRSS/ { print $2 }' "/proc/$applet_pid/status") $(ls "/proc/$applet_pid/fd" | wc -l)"
  echo "$now $(sed -n 's/^\(handles\|systemhandles\|gdi\|user\|workingset\|private\|pagefile\)=//p' <<<"$stats" |
    tr '\n' ' ')$(count) $unix"
  ((now >= total)) && break
  sleep "$step"
  if ((${KES_SOAK_REBUILDS:-0} > 0)); then
    client command 9999 "$KES_SOAK_REBUILDS" >/dev/null || e2e_fail "commands not delivered"
  fi
done
