#!/usr/bin/env bash
# The LCD soft buttons through the LCD stand-in: button 4 cycles the pages
# 0, 1, 2, 3, 0; button 3 toggles the date page; button 2 saves the frame of
# that tick (without the capture notice) as a 160 x 43, 24-bit bitmap named
# by the time of the press in the Pictures folder and shows "Capture:" with
# the name; button 1 shows the preview window with the frame enlarged (a
# screenshot under Xvfb) and hides it again; buttons 3 and 4 together end
# the applet.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
applet_setup
echo "keep_frames = 1" >"$appdir/lgLcd.profile"
applet_start
wait_frames 4 30 || e2e_fail "no frames from the applet"

# The pop-ups of pages 1..3 (no service: no real clock either).
render_page 1 "$work/p1.bmp"
render_page 2 "$work/p2.bmp" --set "service=Service not found"
render_page 3 "$work/p3.bmp" --set realclock=0
grab_frame "$work/f.pgm"
! is_popup "$work/f.pgm" || e2e_fail "page 0 shows a pop-up"
for page in 1 2 3; do
  press 8
  wait_page "$work/p$page.bmp" 3 "$work/f.pgm" || e2e_fail "button 4 did not lead to page $page"
done
press 8
wait_frames 2 5
grab_frame "$work/f.pgm"
! is_popup "$work/f.pgm" || e2e_fail "button 4 on page 3 did not return to page 0"

# Button 3: the date page (the date and time of the tick), and back.
press 4
wait_frames 2 5
grab_frame "$work/f.pgm"
at=$(date +%s)
for ((k = 0; k < 5; k++)); do
  t=$((at - 3 + k))
  render_page 4 "$work/p4-$k.bmp" --set date="$(date -d "@$t" +%F)" --set time="$(date -d "@$t" +%T)"
done
[ -n "$(frame_check match "$work/f.pgm" popup=10,8,150,35 -- "$work"/p4-{0..4}.bmp | sed -n 's/^popup=//p')" ] ||
  e2e_fail "button 3 did not show the date page of now"
press 4
wait_frames 2 5
grab_frame "$work/f.pgm"
! is_popup "$work/f.pgm" || e2e_fail "button 3 did not leave the date page"

# Button 2 on page 1: the file holds page 1's pop-up, the LCD the notice.
press 8
wait_page "$work/p1.bmp" 3 "$work/f.pgm" || e2e_fail "no page 1"
[ -z "$(ls "$pictures")" ] || e2e_fail "the Pictures folder is not empty before the capture"
before=$(date +%s)
start_seq=$(frame_count)
press 2
after=$(date +%s)
for ((i = 0; i < 30; i++)); do
  shot=$(ls "$pictures"/*.bmp 2>/dev/null | head -n1)
  [ -n "$shot" ] && break
  sleep 0.1
done
[ -n "$shot" ] || e2e_fail "no capture in $pictures"
name=$(basename "$shot")
ok=0
for ((t = before - 1; t <= after + 1; t++)); do
  [ "$name" = "$(date -d "@$t" +%Y-%m-%d-%H%M%S).bmp" ] && ok=1
done
((ok)) || e2e_fail "capture name $name is not the time of the press"
sleep 0.3
read -r w h bits comp size len < <(frame_check bmpinfo "$shot")
[ "$w $h $bits $comp" = "160 43 24 0" ] || e2e_fail "capture is $w x $h, $bits bits, compression $comp"
((len == 54 + 43 * 480)) || e2e_fail "capture file has $len bytes"
frame_check region "$shot" "$work/p1.bmp" 10 8 150 35 >/dev/null ||
  e2e_fail "the capture does not hold page 1's pop-up (it must not hold the capture notice)"
render_page 2 "$work/notice.bmp" --set "title=Capture:" --set "service=$name"
# The first frame with the notice is the tick that wrote the file.
first=
for seq in $(frame_seqs | awk -v s="$start_seq" '$1 > s'); do
  f=$(kept_frame "$seq")
  [ -f "$f" ] && frame_check region "$f" "$work/notice.bmp" 10 8 150 35 >/dev/null && {
    first=$f
    break
  }
done
[ -n "$first" ] || e2e_fail "the LCD never showed Capture: $name"
n=$(frame_check diff "$first" "$shot" 10 8 150 35)
[ "$n" = 0 ] || e2e_fail "the capture differs from the frame of its tick in $n pixels outside the notice"
echo "capture $name matches frame $(basename "$first")"
press 8 8 8
wait_frames 2 5

# Button 1: the preview window, 320 x 86, showing the frame enlarged.
[ "$(client visible)" = 0 ] || e2e_fail "the preview is visible before button 1"
press 1
sleep 1.5
[ "$(client visible)" = 1 ] || e2e_fail "button 1 did not show the preview"
rect=$(client window-rect)
echo "preview: $rect"
[[ $rect =~ window=(-?[0-9]+),(-?[0-9]+),(-?[0-9]+),(-?[0-9]+)\ client=320,86 ]] ||
  e2e_fail "preview window: $rect"
border=$(((BASH_REMATCH[3] - BASH_REMATCH[1] - 320) / 2))
x=$((BASH_REMATCH[1] + border)) y=$((BASH_REMATCH[2] + border))
import -display "$DISPLAY" -window root "$work/screen.png" 2>/dev/null || e2e_fail "no screenshot"
grab_frame "$work/f.pgm"
convert "$work/screen.png" -crop "320x86+$x+$y" +repage "$work/preview.ppm" || e2e_fail "no crop"
n=$(frame_check preview "$work/preview.ppm" "$work/f.pgm")
echo "preview differs from the enlarged frame in $n of 27520 pixels"
((n < 1400)) || e2e_fail "the preview does not show the LCD frame ($n pixels differ)"
[ -n "${KES_KEEP_SCREENSHOT:-}" ] && cp "$work/screen.png" "$KES_KEEP_SCREENSHOT"
press 1
sleep 1
[ "$(client visible)" = 0 ] || e2e_fail "button 1 again did not hide the preview"

# Buttons 3 and 4 together: the applet ends and lets go of the LCD.
press 12
client wait-gone 5 || e2e_fail "buttons 3 and 4 did not close the applet"
grep -q 'close device=1' "$lcdout/session.log" || e2e_fail "the LCD was not closed"
echo "PASS"
