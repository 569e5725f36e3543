# Shared helpers of the service scenarios; sourced, never run by itself.
# e2e_prefix makes a fresh WINEPREFIX under $KES_WINE_ROOT, copied from the
# template that tests/wine-run.sh also uses, and ends its wineserver and
# removes it when the scenario exits.
# $wine is the loader of the build under test (KES_WINE: wine64, or the
# 32-bit wine, which runs PE32 programs in a prefix made by wine64).
wine=${KES_WINE:-/usr/lib/wine/wine64}
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export LC_ALL=C
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The built version: the project's version in the top CMakeLists.txt, in
# the four numbers of the programs' file version.
IFS=. read -r -a version_parts < <(sed -n 's/^project(Kestrani VERSION \([0-9.]*\).*/\1/p' \
  "$(dirname "${BASH_SOURCE[0]}")/../../CMakeLists.txt")
version_parts=("${version_parts[0]}" "${version_parts[1]:-0}" "${version_parts[2]:-0}" "${version_parts[3]:-0}")
version=$(IFS=.; echo "${version_parts[*]}")

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

e2e_cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    "$wineserver" -k >/dev/null 2>&1
    "$wineserver" -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
  fi
}

e2e_prefix() {
  local root=${KES_WINE_ROOT:?KES_WINE_ROOT not set}
  mkdir -p "$root"
  (
    flock 9
    if [ ! -f "$root/template/.ready" ]; then
      rm -rf "$root/template"
      WINEPREFIX="$root/template" "$wine64" wineboot -i >/dev/null 2>&1
      WINEPREFIX="$root/template" "$wineserver" -w
      touch "$root/template/.ready"
    fi
  ) 9>"$root/.lock"
  WINEPREFIX=$(mktemp -d "$root/e2e-XXXXXX")
  export WINEPREFIX
  cp -a "$root/template/." "$WINEPREFIX/"
  trap e2e_cleanup EXIT
}

# Copies the service, the driver stand-in (unless "nodriver") and the reader
# into C:\<folder>; sets svcdir (Unix path) and svcwin (Windows path).
# e2e_stage folder profile|nodriver
e2e_stage() {
  local folder=$1 profile=$2
  svcdir="$WINEPREFIX/drive_c/$folder"
  svcwin="C:\\$folder"
  mkdir -p "$svcdir"
  cp "$bin/MorvaithSvc.exe" "$bin/blockdump.exe" "$svcdir/"
  if [ "$profile" != nodriver ]; then
    cp "$bin/WinRing0.dll" "$svcdir/"
    echo "base=$profile" >"$svcdir/WinRing0.profile"
  fi
}

# Runs the service program with the given arguments; output without CRs.
svc() {
  "$wine" "$svcwin\\MorvaithSvc.exe" "$@" 2>/dev/null | tr -d '\r'
}

# The published block as blockdump prints it.
dump() {
  "$wine" "$svcwin\\blockdump.exe" 2>/dev/null | tr -d '\r'
}

# field NAME < dump output
field() {
  sed -n "s/^$1=//p"
}

# Waits up to $2 seconds until the block is accepted by the reader.
wait_accepted() {
  local i
  for ((i = 0; i < $1; i++)); do
    [ "$(dump | field Accepted)" = 1 ] && return 0
    sleep 1
  done
  return 1
}

# Service state as "sc query" reports it (e.g. RUNNING, PAUSED, STOPPED).
sc_state() {
  "$wine" sc query MorvaithSvc 2>/dev/null | tr -d '\r' | sed -n 's/.*STATE *: *[0-9]* *\([A-Z_]*\).*/\1/p'
}

# Asserts that a floating-point value lies in [lo, hi].
in_range() { # value lo hi what
  awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v + 0 >= lo && v + 0 <= hi) }' ||
    e2e_fail "$4 = $1, expected $2..$3"
}

# Keeps one program of the session alive: Wine ends its services when the
# last ordinary program of a prefix exits.
e2e_hold() {
  "$wine" "$svcwin\\blockdump.exe" --hold >/dev/null 2>&1 &
  holder=$!
  sleep 1
}
