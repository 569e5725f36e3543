#!/usr/bin/env bash
# The graphics path with the display adapter named as an ATI one and only
# the second library name, "atiadlxy.dll", beside the applet: the stand-in's
# log shows that name loaded; adapter 0's readings stand at the layout's
# places, pixel for pixel as kestrani-render draws them, the memory clock
# times [ATi] MemClock.Multiplier; adapter 1, reported inactive, reads 0
# although the stand-in would answer for it; [Debug] DisplayDevice and
# AtiGPU.NumberOfAdapters are written; the GPU alarm of the ATI section
# blinks.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
ini="$appdir/Kestrani.ini"
cp "$bin/atiadlxy.dll" "$bin/blockdump.exe" "$appdir/"
[ ! -e "$appdir/atiadlxx.dll" ] || e2e_fail "atiadlxx.dll must not be there"
cat >"$appdir/atiadl.profile" <<'PROFILE'
adapters = 2
adapter0.engine = 65000
adapter0.memory = 120000
adapter0.activity = 72
adapter0.temp = 70600
adapter0.fan.speed = 55
adapter1.active = 0
PROFILE
# The ATI section: adapter 0 where the default layout has the NVIDIA card,
# adapter 1's temperature and load in the video-memory row.
while read -r key value; do ini_put "$ini" ATi "$key" "$value"; done <<'KEYS'
Alarm 65
MemClock.Multiplier 1.5
Temperature.00 106,10
Temperature.Font.00 4x7
Usage.00 130,10
Usage.Font.00 4x7
Usage.BarGraph.Position.00 137,15
Usage.BarGraph.Size.00 22,5
Usage.BarGraph.Style.00 90
CoreClock.00 116,18
CoreClock.Font.00 4x5
MemClock.00 140,18
MemClock.Font.00 4x5
FanSpeed.00 146,30
FanSpeed.Font.00 4x5
FanSpeed.BarGraph.Position.00 98,34
FanSpeed.BarGraph.Size.00 32,5
FanSpeed.BarGraph.Style.00 90
Temperature.01 116,24
Temperature.Font.01 4x5
Usage.01 146,24
Usage.Font.01 4x5
Usage.BarGraph.Position.01 98,28
Usage.BarGraph.Size.01 32,5
Usage.BarGraph.Style.01 90
KEYS
echo "keep_frames = 1" >"$appdir/lgLcd.profile"
cpus=$("$wine" "$appwin\\blockdump.exe" 2>/dev/null | tr -d '\r' | field SystemProcessors)
((cpus >= 1)) || e2e_fail "no processor count"
gpu_region=(96 9 160 35)

# Adapter 0 as the stand-in gives it (650 and 1200 MHz, 72 %, 70.6 degrees,
# fan 55 %); adapter 1 all 0.
ati_readings=(--set ati=2 --set "ati.temperature=71 0" --set "ati.coreclock=650 0" --set "ati.memclock=1200 0"
  --set "ati.usage=72 0" --set "ati.fanspeed=55 0")
render --ini "$ini" --set processors="$cpus" "${ati_readings[@]}" --out "$work/ati.bmp" >/dev/null &&
  render --ini "$ini" --set processors="$cpus" "${ati_readings[@]}" --alarm --out "$work/ati-alarm.bmp" >/dev/null &&
  render --ini "$ini" --ini-set ATi/MemClock.Multiplier=1.0 --set processors="$cpus" "${ati_readings[@]}" \
    --out "$work/ati-factor1.bmp" >/dev/null &&
  render --ini "$ini" --set processors="$cpus" --set ati=2 --set "ati.temperature=71 61" --set "ati.coreclock=650 500" \
    --set "ati.memclock=1200 900" --set "ati.usage=72 37" --set "ati.fanspeed=55 45" --out "$work/ati-active1.bmp" \
    >/dev/null || e2e_fail "kestrani-render failed"
for other in factor1 active1; do
  frame_check region "$work/ati.bmp" "$work/ati-$other.bmp" "${gpu_region[@]}" >/dev/null &&
    e2e_fail "the render does not tell $other apart"
done

adapter="ATI Radeon HD 5870"
name_adapter "$adapter"
applet_start
wait_frames 4 30 || e2e_fail "no frames from the applet"
log=$(cat "$appdir/atiadl.log" 2>/dev/null)
[ "$log" = "create atiadlxy.dll result=0" ] || e2e_fail "the ADL stand-in's log: '$log'"
echo "ADL stand-in: $log"
region_shows "$work/ati.bmp" 8 "${gpu_region[@]}" ||
  e2e_fail "the ATI readings (memory clock x 1.5, adapter 1 at 0) are not drawn as kestrani-render draws them"
echo "ATI adapter 0 at its places, memory clock 1200 MHz shown x 1.5, inactive adapter 1 at 0"
ini_expect "$ini" Debug DisplayDevice "$adapter"
ini_expect "$ini" Debug AtiGPU.NumberOfAdapters 2
ini_expect "$ini" Debug NvGPU.NumberOfAdapters ""
# 71 degrees over the ATI threshold 65: the GPU alarm blinks.
alarm_blinks "$work/ati-alarm.bmp" 5
echo "PASS"
