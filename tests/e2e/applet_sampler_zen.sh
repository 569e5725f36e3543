#!/usr/bin/env bash
# The applet's own sampler on a Zen 4 (the driver library beside it, no
# service): page 2 names the internal source, and every processor's
# temperature on the LCD is its CCD's (63.25 C on CCD 0), with the average
# beside it, as kestrani-render draws them.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
cp "$bin/WinRing0.dll" "$appdir/"
echo "base=zen4" >"$appdir/WinRing0.profile"
cp "$bin/blockdump.exe" "$appdir/"
cpus=$("$wine" "$appwin\\blockdump.exe" 2>/dev/null | tr -d '\r' | field SystemProcessors)
((cpus >= 1)) || e2e_fail "no processor count"
applet_running

temps=$(for ((i = 0; i < cpus; i++)); do printf '63.25 '; done)
render --ini "$appdir/Kestrani.ini" --set processors="$cpus" --set "temperature=$temps" \
  --out "$work/zen4.bmp" >/dev/null || e2e_fail "kestrani-render failed"
regions=(average=34,9,60,17)
for ((i = 0; i < cpus && i < 4; i++)); do regions+=("temperature.$i=41,$((17 + 6 * i)),60,$((23 + 6 * i))"); done
for ((k = 0; k < 12; k++)); do
  grab_frame "$work/f1.pgm"
  v=$(frame_check match "$work/f1.pgm" "${regions[@]}" -- "$work/zen4.bmp")
  grep -q '=$' <<<"$v" || break
done
grep -q '=$' <<<"$v" && e2e_fail "the CCD temperatures are not on the LCD: $(tr '\n' ' ' <<<"$v")"
echo "temperatures of CCD 0 on the LCD"

render_page 2 "$work/page2.bmp" --set "service=Internal Service"
press 8 8
wait_page "$work/page2.bmp" 5 "$work/f2.pgm" || e2e_fail "page 2 does not read Internal Service"
echo "page 2 reads Internal Service"
