#!/usr/bin/env bash
# The run command without a terminal, with the programs of this build: it
# shows the service's readings, then the LCD once a second for a few
# seconds, keeps the last frame as a PNG, removes the service and leaves
# nothing running.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/applet_lib.inc"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build=$(cd "$bin/../.." && pwd)
out=$(KES_NO_BUILD=1 KES_BUILD_DIR="$build" KES_SECONDS=4 KES_PNG="$work/lcd.png" \
  timeout 180 bash "$source_dir/scripts/run.sh" </dev/null 2>&1)
rc=$?
echo "$out" | tail -n 30
((rc == 0)) || e2e_fail "run command ended with $rc"
grep -q "^ServiceText=Service $version" <<<"$out" || e2e_fail "no service readings"
frames=$(grep -c '^+-\{160\}+$' <<<"$out")
((frames >= 4)) || e2e_fail "only $((frames / 2)) LCD pictures printed"
grep -q 'Status : not installed' <<<"$out" || e2e_fail "the service was not removed"
for f in "$work/lcd.png" "$work/lcd-x4.png"; do
  [ -f "$f" ] || e2e_fail "no picture $f"
done
size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' "$work/lcd.png")
[ "$size" = "160 43" ] || e2e_fail "picture is $size"
echo "PASS"
