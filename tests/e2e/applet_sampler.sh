#!/usr/bin/env bash
# The applet's own sampler: with the driver library beside it (the applet
# runs elevated under Wine) and no service, page 2 names the internal
# source.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
cp "$bin/WinRing0.dll" "$appdir/"
echo "base=haswell" >"$appdir/WinRing0.profile"
applet_running

render_page 2 "$work/page2.bmp" --set "service=Internal Service"
press 8 8
wait_page "$work/page2.bmp" 5 "$work/f2.pgm" || e2e_fail "page 2 does not read Internal Service"
echo "page 2 reads Internal Service"

