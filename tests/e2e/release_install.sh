#!/usr/bin/env bash
# The release set of the 32-bit build as a user gets it: the archive's
# content; a silent install into a fresh prefix (files, the service
# registered with a quoted path, the Run entry, the Start menu, the
# "Uninstall" entry, the layout in local application data); with the driver
# stand-in dropped into the program folder the service publishes; the Run
# entry's command starts an applet that draws on the LCD stand-in; a second
# silent install over the running system restarts both and keeps the user's
# layout; a silent uninstall removes everything it installed and keeps the
# user's layout and added files.
set -u
bin=$1
source "$(dirname "$0")/lib.sh"

# The installer holds the 32-bit programs: it is tested in the win32 build.
arch=${KES_ARCH:-}
if [ -z "$arch" ]; then
  pe=$(od -An -tu4 -j60 -N4 "$bin/Kestrani.exe" | tr -d ' ')
  [ "$(od -An -tx2 -j$((pe + 4)) -N2 "$bin/Kestrani.exe" | tr -d ' ')" = 014c ] && arch=win32 || arch=win64
fi
if [ "$arch" != win32 ]; then
  echo "The installer is tested in the win32 build."
  exit 0
fi

source "$(dirname "$0")/applet_lib.inc"
release=${KES_RELEASE:-$bin/../../release}
setup="$release/Kestrani-$version-setup.exe"
archive="$release/Kestrani-$version-win32.zip"
[ -f "$setup" ] && [ -f "$archive" ] || e2e_fail "no release set in $release"

# The archive: one folder with the programs, the default layout and README.txt.
python3 - "$archive" "$source_dir/res" <<'PY' || e2e_fail "archive content"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(n for n in z.namelist() if not n.endswith("/"))
want = sorted("Kestrani/" + n for n in ("Kestrani.exe", "MorvaithSvc.exe", "Kestrani.ini", "Kestrani.bmp", "README.txt"))
assert names == want, names
for n in ("Kestrani.ini", "Kestrani.bmp"):
    assert z.read("Kestrani/" + n) == open(sys.argv[2] + "/" + n, "rb").read(), n
readme = z.read("Kestrani/README.txt").decode("ascii")
assert "\r\n" in readme and "WinRing0.dll" in readme and "-uninstall" in readme, "README.txt"
PY

e2e_prefix
trap applet_cleanup EXIT
work=$(mktemp -d)
applet_xvfb
tools="$WINEPREFIX/drive_c/Tools"
appwin='C:\Tools'
lcdout="$tools/lcd"
export KES_LGLCD_OUT='C:\Tools\lcd'
mkdir -p "$lcdout"
cp "$bin/blockdump.exe" "$bin/kestrani-client.exe" "$setup" "$tools/"
setupwin="C:\\Tools\\$(basename "$setup")"
# Wine ends its services when the last ordinary program of a prefix exits.
"$wine" 'C:\Tools\blockdump.exe' --hold >/dev/null 2>&1 &
holder=$!
sleep 1

query() { # key [reg options...]: reg query output without CRs
  "$wine" reg query "$@" 2>/dev/null | tr -d '\r'
}
has_key() { # key [reg options...]
  "$wine" reg query "$@" >/dev/null 2>&1
}
reg_value() { # key value [reg options...]: the value's data
  local key=$1 name=$2
  shift 2
  query "$key" /v "$name" "$@" | sed -n "s/^ *$name *REG_[A-Z_]* *//p"
}
unix_path() { # C:\a\b -> the prefix's file
  local p=${1#?:\\}
  echo "$WINEPREFIX/drive_c/${p//\\//}"
}
install_silently() {
  timeout 180 "$wine" "$setupwin" /S >/dev/null 2>&1 || e2e_fail "silent install ended with $?"
}
block() { "$wine" 'C:\Tools\blockdump.exe' "$@" 2>/dev/null | tr -d '\r'; }

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrani'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
service_key='HKLM\System\CurrentControlSet\Services\MorvaithSvc'

# The first silent install.
install_silently
progwin=$(reg_value "$uninstall_key" InstallLocation /reg:32)
[[ "$progwin" == 'C:\Program Files'*'\Kestrani' ]] || e2e_fail "installed to '$progwin'"
progdir=$(unix_path "$progwin")
svcwin=$progwin
svcdir=$progdir
installed=(Kestrani.exe MorvaithSvc.exe README.txt Uninstall.exe Default/Kestrani.ini Default/Kestrani.bmp)
for f in "${installed[@]}"; do
  [ -f "$progdir/$f" ] || e2e_fail "not installed: $f"
done
[ -e "$progdir/Kestrani.ini" ] && e2e_fail "a layout beside Kestrani.exe would win over the user's"
cmp -s "$progdir/Default/Kestrani.ini" "$source_dir/res/Kestrani.ini" || e2e_fail "default layout copy"
layout=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Local/Kestrani' -type d | head -n1)
[ -n "$layout" ] || e2e_fail "no layout folder in local application data"
cmp -s "$layout/Kestrani.ini" "$source_dir/res/Kestrani.ini" || e2e_fail "user's layout"
cmp -s "$layout/Kestrani.bmp" "$source_dir/res/Kestrani.bmp" || e2e_fail "user's background"
menu="$(dirname "$(dirname "$(dirname "$layout")")")/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kestrani"
for f in Kestrani "Kestrani layout" "Uninstall Kestrani"; do
  [ -f "$menu/$f.lnk" ] || e2e_fail "no Start-menu entry $f: $(ls "$menu" 2>&1)"
done

[ "$(reg_value "$service_key" ImagePath)" = "\"$progwin\\MorvaithSvc.exe\"" ] ||
  e2e_fail "service path: $(query "$service_key")"
[ "$(reg_value "$service_key" Start)" = 0x2 ] || e2e_fail "service start type: $(query "$service_key")"
runcmd=$(reg_value "$run_key" Kestrani)
[ "$runcmd" = "\"$progwin\\Kestrani.exe\"" ] || e2e_fail "Run entry: '$runcmd'"
[ "$(reg_value "$uninstall_key" DisplayVersion /reg:32)" = "$version" ] || e2e_fail "$(query "$uninstall_key" /reg:32)"
[ -n "$(reg_value "$uninstall_key" Publisher /reg:32)" ] || e2e_fail "no publisher"
size=$(reg_value "$uninstall_key" EstimatedSize /reg:32)
((size > 0)) || e2e_fail "estimated size '$size'"
[ "$(reg_value "$uninstall_key" UninstallString /reg:32)" = "\"$progwin\\Uninstall.exe\"" ] ||
  e2e_fail "uninstall command: $(query "$uninstall_key" /reg:32)"

# Without the driver library the service ends at once; with the stand-in
# dropped beside it, it publishes the release's version.
for ((i = 0; i < 150; i++)); do
  [ "$(sc_state)" = STOPPED ] && break
  sleep 0.1
done
[ "$(sc_state)" = STOPPED ] || e2e_fail "service without the driver library: $(sc_state)"
cp "$bin/WinRing0.dll" "$progdir/"
"$wine" sc start MorvaithSvc >/dev/null 2>&1
rec=$(block --wait 15)
[ "$(field Accepted <<<"$rec")" = 1 ] || e2e_fail "no record: $rec"
[ "$(field ServiceText <<<"$rec")" = "Service $version" ] || e2e_fail "service version: $rec"

# The applet from the Run entry's command, with the LCD stand-in beside it.
cp "$bin/lgLcdWrapper.dll" "$progdir/"
runexe=${runcmd#\"}
runexe=${runexe%\"}
(cd "$tools" && exec "$wine" "$runexe" >/dev/null 2>&1) &
applet_pid=$!
wait_frames 4 30 || e2e_fail "no frames from the applet started by the Run entry"
client wait-window 10 >/dev/null || e2e_fail "no applet window"
ink=$(frame_check ink "$lcdout/latest.pgm" 0 0 160 43)
((ink > 0)) || e2e_fail "blank frame"
first_pid=$(client pid)

# A silent install over the running system: the applet is closed and
# started again, the service removed and installed again; the user's
# layout and the library they added stay.
echo "; the user's own line" >>"$layout/Kestrani.ini"
install_silently
[ "$(sc_state)" = RUNNING ] || e2e_fail "service after the upgrade: $(sc_state)"
block --wait 15 | grep -q '^Accepted=1$' || e2e_fail "no record after the upgrade"
wait_frames 4 30 || e2e_fail "no frames after the upgrade"
[ "$(client count)" = "windows=1 processes=1" ] || e2e_fail "applets after the upgrade: $(client count)"
[ "$(client pid)" != "$first_pid" ] || e2e_fail "the applet was not started anew"
tail -n1 "$layout/Kestrani.ini" | grep -q "the user's own line" || e2e_fail "the user's layout was replaced"
[ -f "$progdir/WinRing0.dll" ] || e2e_fail "the added driver library is gone"

# A silent uninstall (the uninstaller works on from a copy of itself).
"$wine" "$progwin\\Uninstall.exe" /S >/dev/null 2>&1
for ((i = 0; i < 600; i++)); do
  [ -e "$progdir/Uninstall.exe" ] || has_key "$uninstall_key" /reg:32 || break
  sleep 0.1
done
client wait-gone 10 >/dev/null || e2e_fail "an applet still runs: $(client count)"
has_key "$service_key" && e2e_fail "service still registered: $(query "$service_key")"
[ -z "$(reg_value "$run_key" Kestrani)" ] || e2e_fail "Run entry left"
has_key "$uninstall_key" /reg:32 && e2e_fail "Uninstall entry left"
[ -e "$menu" ] && e2e_fail "Start-menu entries left: $(ls "$menu")"
left=$(cd "$progdir" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$left" = "./WinRing0.dll ./lgLcdWrapper.dll " ] || e2e_fail "left in the program folder: $left"
tail -n1 "$layout/Kestrani.ini" | grep -q "the user's own line" || e2e_fail "the user's layout was removed"
[ -f "$layout/Kestrani.bmp" ] || e2e_fail "the user's background was removed"
echo PASS
