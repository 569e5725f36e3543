#!/usr/bin/env bash
# The graphics path with the display adapter named as an NVIDIA one: the
# applet loads the nvapi.dll stand-in beside it and shows adapter 0's
# readings at the default layout's places, pixel for pixel as
# kestrani-render draws the same readings, the memory clock times
# [NVidia] MemClock.Multiplier; it writes [Debug] DisplayDevice and
# NvGPU.NumberOfAdapters; the GPU alarm of the NVIDIA section blinks. Then,
# started anew: an Intel adapter shows [Intel] Temperature as the rounded
# mean of the processors' temperatures (the applet's own sampler over the
# driver stand-in), and an adapter of another maker creates no reader.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
ini="$appdir/Kestrani.ini"
cp "$bin/nvapi.dll" "$bin/blockdump.exe" "$appdir/"
cat >"$appdir/nvapi.profile" <<'PROFILE'
gpus = 2
gpu0.sensor0.temp = 67
gpu0.usage.gpu = 58
gpu0.usage.memory = 23
gpu0.clock.core = 540000
gpu0.clock.memory = 900000
gpu0.cooler.level = 44
gpu0.tach = 2100
PROFILE
ini_put "$ini" NVidia Alarm 60
ini_put "$ini" NVidia MemClock.Multiplier 2.0
echo "keep_frames = 1" >"$appdir/lgLcd.profile"
cpus=$("$wine" "$appwin\\blockdump.exe" 2>/dev/null | tr -d '\r' | field SystemProcessors)
((cpus >= 1)) || e2e_fail "no processor count"
gpu_region=(96 9 160 35)  # the graphics card's values and bars in the default layout

# The readings the stand-in gives, adapter 0 and adapter 1 (its defaults).
nv_readings=(--set nvidia=2 --set "nv.temperature=67 55" --set "nv.coreclock=540 405" --set "nv.memclock=900 1848"
  --set "nv.usage=58 30" --set "nv.vram=23 12" --set "nv.fanrpm=2100 1500" --set "nv.fanspeed=44 40")
render --ini "$ini" --set processors="$cpus" "${nv_readings[@]}" --out "$work/nv.bmp" >/dev/null &&
  render --ini "$ini" --set processors="$cpus" "${nv_readings[@]}" --alarm --out "$work/nv-alarm.bmp" >/dev/null &&
  render --ini "$ini" --ini-set NVidia/MemClock.Multiplier=1.0 --set processors="$cpus" "${nv_readings[@]}" \
    --out "$work/nv-factor1.bmp" >/dev/null || e2e_fail "kestrani-render failed"
frame_check region "$work/nv.bmp" "$work/nv-factor1.bmp" "${gpu_region[@]}" >/dev/null &&
  e2e_fail "the memory clock factor does not show in the render"

adapter="NVIDIA GeForce GTX 980"
name_adapter "$adapter"
applet_start
wait_frames 4 30 || e2e_fail "no frames from the applet"
region_shows "$work/nv.bmp" 8 "${gpu_region[@]}" ||
  e2e_fail "the NVIDIA readings (memory clock x 2) are not drawn as kestrani-render draws them"
echo "NVIDIA adapter 0 at the layout's places, memory clock 900 MHz shown x 2"
ini_expect "$ini" Debug DisplayDevice "$adapter"
ini_expect "$ini" Debug NvGPU.NumberOfAdapters 2
ini_expect "$ini" Debug AtiGPU.NumberOfAdapters ""
# 67 degrees over the NVIDIA threshold 60: the GPU alarm blinks.
alarm_blinks "$work/nv-alarm.bmp" 5
applet_exit

# Intel: the mean of the sampler's temperatures (40, 42, ... by processor).
cp "$bin/WinRing0.dll" "$appdir/"
echo "base=haswell" >"$appdir/WinRing0.profile"
ini_put "$ini" Intel Temperature 106,10
ini_put "$ini" Intel Temperature.Font 4x7
sed -i '/^NvGPU\.NumberOfAdapters=/d' "$ini"
temps=$(for ((i = 0; i < cpus; i++)); do printf '%d ' $((40 + 2 * i)); done)
render --ini "$ini" --set processors="$cpus" --set "temperature=$temps" --set intel=1 --out "$work/intel.bmp" >/dev/null &&
  render --ini "$ini" --set processors="$cpus" --set "temperature=$temps" --out "$work/none.bmp" >/dev/null ||
  e2e_fail "kestrani-render failed"
frame_check region "$work/intel.bmp" "$work/none.bmp" "${gpu_region[@]}" >/dev/null && e2e_fail "the Intel item does not show in the render"
name_adapter "Intel(R) HD Graphics 4600"
applet_start
wait_frames 4 30 || e2e_fail "no frames from the applet"
region_shows "$work/intel.bmp" 8 "${gpu_region[@]}" ||
  e2e_fail "[Intel] Temperature does not show the mean $((40 + cpus - 1)) of $cpus processors"
echo "Intel adapter: [Intel] Temperature shows $((40 + cpus - 1)), the mean of $cpus processors"
[ -z "$(ini_get "$ini" Debug NvGPU.NumberOfAdapters)" ] || e2e_fail "an Intel adapter made an NVIDIA reader"
applet_exit

# Another maker: no reader, though nvapi.dll lies beside the applet.
adapter="Matrox G200eW"
name_adapter "$adapter"
applet_start
wait_frames 4 30 || e2e_fail "no frames from the applet"
region_shows "$work/none.bmp" 8 "${gpu_region[@]}" || e2e_fail "an unknown adapter shows graphics values"
ini_expect "$ini" Debug DisplayDevice "$adapter"
[ -z "$(ini_get "$ini" Debug NvGPU.NumberOfAdapters)$(ini_get "$ini" Debug AtiGPU.NumberOfAdapters)" ] ||
  e2e_fail "an unknown adapter made a reader: $(grep -i 'NumberOfAdapters' "$ini")"
echo "unknown adapter: no graphics values, no reader"
echo "PASS"
