# Shared by the scripts that run Windows programs under Wine: a private prefix whose COM1..COM4
# are set before any program runs in it. Wine would otherwise give COM1 to /dev/ttyS0, which is
# the console on these machines.
#   prepare_wine_prefix <prefix> [COM1 device] [COM2 device] [COM3 device] [COM4 device]
# An empty or missing device means no such port. A new prefix is made when <prefix> has none.
# The wine server is left running for the prefix; stop it with `wineserver -k`.
prepare_wine_prefix() {
  local prefix=$1
  shift
  local devices=("${1:-}" "${2:-}" "${3:-}" "${4:-}")
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "wine: creating the prefix $WINEPREFIX" >&2
    wineboot -i >/dev/null 2>&1
  fi
  local n
  for n in 1 2 3 4; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "${devices[n - 1]}" /f \
      >/dev/null 2>&1
  done
  wineserver -k || true
  wineserver -w || true
  rm -f "$WINEPREFIX"/dosdevices/com*
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1
  local target
  for n in 1 2 3 4; do
    target=$(readlink "$WINEPREFIX/dosdevices/com$n" 2>/dev/null || true)
    if [[ $target == /dev/ttyS* ]]; then
      echo "wine: COM$n still leads to $target; not running anything" >&2
      return 1
    fi
  done
}
