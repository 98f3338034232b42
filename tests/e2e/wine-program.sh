#!/usr/bin/env bash
# Runs the Windows program under Wine as a user on Linux would, in a Wine
# prefix of the test run's own: made once (wineboot) on first use, without
# Mono or Gecko, and without network. Exits with the program's status.
#
#   wine-program.sh PREFIX EXE [WORDS...]
set -uo pipefail
prefix=$1
exe=$2
shift 2
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || command -v wine || ls /usr/lib/wine/wine64 2>/dev/null)
[ -n "$wine" ] || { echo "wine-program: Wine is not installed" >&2; exit 77; }
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1 || { echo "wine-program: wineboot failed" >&2; exit 1; }
  wineserver -w
fi
"$wine" "$exe" "$@"
status=$?
wineserver -k 2>/dev/null
exit $status
