#!/usr/bin/env bash
# Runs one Windows binary under Wine in a fresh prefix of its own, with the
# loader of the build under test (KES_WINE: wine64, or the 32-bit wine).
# The prefix is a copy of a template made once per build tree (KES_WINE_ROOT)
# by wine64, so every test starts from the same clean state; it is removed
# afterwards.
set -u
exe=$1; shift
root=${KES_WINE_ROOT:-$(cd "$(dirname "$exe")" && pwd)/wine}
wine=${KES_WINE:-/usr/lib/wine/wine64}
wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
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
prefix=$(mktemp -d "$root/run-XXXXXX")
cp -a "$root/template/." "$prefix/"
export WINEPREFIX=$prefix
"$wine" "$exe" "$@"
rc=$?
"$wineserver" -k >/dev/null 2>&1
"$wineserver" -w >/dev/null 2>&1
rm -rf "$prefix"
exit $rc
