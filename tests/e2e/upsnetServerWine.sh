#!/usr/bin/env bash
# upsnetServer.sh against the Windows build's server under Wine: Network UPS Tools' Linux programs
# read it, run its command and follow it over loopback. The Windows build is the one beside this
# build folder (BUILD-win64, as scripts/test makes it), in its own Wine prefix.
build=${1:?build directory}
win=$(realpath -m "${UPSNET_WIN_BUILD:-$build-win64}")
exe=$win/tests/win32/ups-upsnet-serve.exe
[[ -f $exe ]] || { echo "SKIP: no Windows build of the server at $exe"; exit 77; }
command -v wine >/dev/null || { echo "SKIP: Wine is not installed"; exit 77; }
# scripts/test-windows makes the prefix with the COM ports pointed away from the machine's own.
export WINEPREFIX=$win/wine-prefix
[[ -d $WINEPREFIX ]] || { echo "SKIP: no Wine prefix in $win (scripts/test-windows makes it)"; exit 77; }
wineserver -p 2>/dev/null || true
status=0
UPSNET_SERVE="wine $exe" bash "$(dirname "$0")/upsnetServer.sh" "$build" || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
