#!/usr/bin/env bash
# Kestrani with the service publishing from the driver stand-in (Haswell,
# 40, 42, ... degrees) and the LCD stand-in: the frames carry the service's
# temperatures and clock, the system's loads, memory load and network rates
# and the date and time at the default layout's places, pixel for pixel as
# kestrani-render draws them; the data source page names the service, and
# reads "Service not found" within the second after the service stops,
# while the last values stay on the LCD. Fahrenheit shows the temperatures
# converted.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
applet_service haswell
cp "$bin/svcctl.exe" "$svcdir/"
cpus=$(dump | field SystemProcessors)
((cpus >= 1)) || e2e_fail "no processor count"
temps=$(for ((i = 0; i < cpus; i++)); do printf '%d ' $((40 + 2 * i)); done)
render_candidates "$temps"

applet_start
wait_frames 8 30 || e2e_fail "no frames from the applet"
grep -q 'open result=0 device=1' "$lcdout/session.log" || e2e_fail "LCD not opened: $(cat "$lcdout/session.log")"
grep -q 'name="Kestrani' "$lcdout/session.log" || e2e_fail "LCD name: $(cat "$lcdout/session.log")"

# One value region: the candidate indices of the region ($2) in the reading ($1).
value() { sed -n "s/^$2=//p" <<<"$1"; }
# Checks frame $1: every value at its place, the rest as the background.
check_frame() {
  local frame=$1 at=$2 values i v
  values=$(read_values "$frame")
  for name in memory network; do
    [ -n "$(value "$values" "$name")" ] || e2e_fail "$name is not drawn as kestrani-render draws any value 0..100: $values"
  done
  for ((i = 0; i < cpus && i < 4; i++)); do
    [ -n "$(value "$values" "load.$i")" ] || e2e_fail "load of processor $i not readable: $values"
    [ -n "$(value "$values" "temperature.$i")" ] || e2e_fail "temperature $((40 + 2 * i)) of processor $i not drawn: $values"
  done
  [ -n "$(value "$values" average)" ] || e2e_fail "average temperature not drawn: $values"
  v=$(value "$values" frequency)
  [ -n "$v" ] || e2e_fail "processor clock not drawn as 3750..3850 MHz: $values"
  in_range $((3750 + ${v%%,*})) 3790 3810 "processor clock on the LCD"
  render_times "$at"
  v=$(frame_check match "$frame" "${time_regions[@]}" -- "$work"/time-{0..4}.bmp)
  [ -n "$(value "$v" date)" ] || e2e_fail "date and week are not today's"
  [ -n "$(value "$v" clock)" ] || e2e_fail "the clock is not the time of the frame (within 3 s)"
  # Everything else is the background as kestrani-render draws it.
  local masks=("${bar_masks[@]}")
  for spec in "${value_regions[@]}" "${time_regions[@]}"; do masks+=($(tr ',' ' ' <<<"${spec#*=}")); done
  for ((i = 0; i < cpus && i < 4; i++)); do masks+=(27 $((17 + 6 * i)) 60 $((23 + 6 * i))); done
  v=$(frame_check diff "$frame" "$work/cand/0.bmp" "${masks[@]}")
  [ "$v" = 0 ] || e2e_fail "$v pixels outside the values differ from the layout"
  echo "$values"
}
grab_frame "$work/f1.pgm"
at=$(date +%s)
values=$(check_frame "$work/f1.pgm" "$at") || exit 1
echo "frame values (candidate numbers; 'any' where the value is fixed): $(sed -E 's/=([0-9]+,){4,}[0-9]+$/=any/' <<<"$values" | tr '\n' ' ')"
mem=$(value "$values" memory)
# The memory load agrees with the system's (within a few percent).
sysmem=$(client memory)
in_range "${mem%%,*}" $((sysmem - 5)) $((sysmem + 5)) "memory load on the LCD (system: $sysmem)"

# Fahrenheit from the tray menu: the next gathering converts the service's
# temperatures (40 C is 104 F).
render --ini "$appdir/Kestrani.ini" --ini-set Common/Fahrenheit=1 --set processors="$cpus" \
  --set "temperature=$temps" --out "$work/fahrenheit.bmp" >/dev/null || e2e_fail "kestrani-render failed"
client command 1003 >/dev/null || e2e_fail "command 1003 not delivered"
regions=(average=34,9,60,17)
for ((i = 0; i < cpus && i < 4; i++)); do regions+=("temperature.$i=41,$((17 + 6 * i)),60,$((23 + 6 * i))"); done
for ((k = 0; k < 12; k++)); do
  grab_frame "$work/fahrenheit.pgm"
  v=$(frame_check match "$work/fahrenheit.pgm" "${regions[@]}" -- "$work/fahrenheit.bmp")
  grep -q '=$' <<<"$v" || break
done
grep -q '=$' <<<"$v" && e2e_fail "Fahrenheit does not show the temperatures converted: $(tr '\n' ' ' <<<"$v")"
client command 1003 >/dev/null
wait_frames 8 5

# Page 2: the data source is the service with its version.
render_page 2 "$work/page2.bmp" --set "service=Service $version"
render_page 2 "$work/page2-none.bmp" --set "service=Service not found"
press 8 8
wait_page "$work/page2.bmp" 5 "$work/f2.pgm" || e2e_fail "page 2 does not read Service $version"

# Stop the service: within the next second page 2 reads "Service not found".
"$wine" "$svcwin\\svcctl.exe" stop MorvaithSvc >/dev/null 2>&1
for ((i = 0; i < 30; i++)); do
  [ "$(dump | field ServiceText)" = "Service not found" ] && break
  sleep 0.1
done
[ "$(dump | field ServiceText)" = "Service not found" ] || e2e_fail "the service did not stop"
stopped=$(date +%s%N)
wait_page "$work/page2-none.bmp" 5 "$work/f3.pgm" || e2e_fail "page 2 does not read Service not found after the stop"
took=$((($(date +%s%N) - stopped) / 1000000))
echo "Service not found seen ${took} ms after the block disappeared (one gathering a second)"

# Back to page 0 (3, then 0): the last temperatures and clock stay.
press 8 8
wait_frames 4 5
grab_frame "$work/f4.pgm"
check_frame "$work/f4.pgm" "$(date +%s)" >/dev/null || exit 1
echo "PASS"
