# Shared by the scripts that run Windows programs under Wine.
#
#   hide_serial_devices "$0" "$@"
# Runs the calling script again in a private mount namespace in which every /dev/ttyS* is
# /dev/null, then goes on there. Wine gives the machine's serial devices to free COM names on its
# own (the first one it finds, /dev/ttyS0, is the console on these machines) and lists them among
# the system's serial ports, whatever the prefix says; in here it finds nothing to open.
#
#   prepare_wine_prefix <prefix> [COM1 device] [COM2 device] [COM3 device] [COM4 device] [COM5 ...]
# A private prefix whose COM1..COM8 are set before any program runs in it (an empty or missing
# device means no such port), made when <prefix> has none. It refuses to go on when any COM name
# of the prefix leads to a serial device. The wine server is left running for the prefix; stop
# it with `wineserver -k`.
hide_serial_devices() {
  if [[ -z ${KORVAN_SERIAL_HIDDEN:-} ]]; then
    exec env KORVAN_SERIAL_HIDDEN=1 unshare -m --propagation private bash "$@"
  fi
  local device
  for device in /dev/ttyS*; do
    [[ -e $device ]] || continue
    mount --bind /dev/null "$device" || { echo "wine: cannot cover $device" >&2; exit 1; }
  done
}

# True when the path leads to a serial line driver's device (major 4, minors from 64, ttyS) or
# to a USB adapter's (ttyUSB 188, ttyACM 166).
serial_device() {
  local target
  target=$(readlink -f "$1" 2>/dev/null) || return 1
  [[ -c $target ]] || return 1
  local major minor
  read -r major minor < <(stat -L -c '%t %T' "$target")
  major=$((16#$major)) minor=$((16#$minor))
  ((major == 4 && minor >= 64)) || ((major == 188 || major == 166))
}

# wine_step <command...>: a set-up step whose output is shown only when it fails (a full disk, a
# broken Wine), so that the failure says why. The output goes to a file: the wine server and the
# services a step starts keep running, and would hold a pipe open for good.
wine_step() {
  local log=${WINEPREFIX%/}.step.log status=0
  "$@" >"$log" 2>&1 || status=$?
  ((status == 0)) && return 0
  echo "wine: '$*' failed with status $status; the end of its output:" >&2
  tail -n 8 "$log" >&2
  return 1
}

prepare_wine_prefix() {
  local prefix=$1
  shift
  export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ -z ${KORVAN_SERIAL_HIDDEN:-} ]]; then
    echo "wine: not in the private namespace of hide_serial_devices; not running anything" >&2
    return 1
  fi
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    echo "wine: creating the prefix $WINEPREFIX" >&2
    wine_step wineboot -i || return 1
  fi
  local n devices=("$@")
  for n in 1 2 3 4 5 6 7 8; do
    wine_step wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ \
      /d "${devices[n - 1]:-}" /f || return 1
  done
  wineserver -k || true
  wineserver -w || true
  rm -f "$WINEPREFIX"/dosdevices/com*
  wineserver -p
  wine_step wine cmd /c exit || return 1
  local link
  for link in "$WINEPREFIX"/dosdevices/com*; do
    [[ -e $link || -L $link ]] || continue
    if serial_device "$link"; then
      echo "wine: $(basename "$link") leads to the serial device $(readlink "$link"); not running anything" >&2
      return 1
    fi
  done
}
