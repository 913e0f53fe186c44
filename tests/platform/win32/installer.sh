#!/usr/bin/env bash
# The Windows installer under Wine: installs silently into a fresh private prefix, checks the
# program folder, the Start menu entry, the start at logon, the entry in Programs and Features, the
# event log's source, the firewall rule asked of netsh (a recorder stands in for Wine's netsh, as
# Wine has no firewall), the program's resources read back from the installed file, and the
# configuration key in the 32-bit view with its grant to Users; installs a changed program over a
# running monitor, which must end and be replaced, and over a file held open, which must fail;
# uninstalls silently and checks that all of it goes but the configuration and the user's history;
# installs again and uninstalls with /PURGE, which takes those too. The installer packs the Windows
# build's korvan-ups.exe, whose --grant-config-access the installer runs for the grant.
#
# The prefix (${BUILD_DIR:-build-win64}/wine-prefix-installer) is made again on every run, and its
# COM1..COM4 lead nowhere before any program of the test runs: Wine would otherwise give COM1 to
# /dev/ttyS0, which is the console here (scripts/test-windows does the same).
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# Everything runs where the machine's serial devices are /dev/null (winePrefix.bash).
source "$root/tests/platform/win32/winePrefix.bash"
hide_serial_devices "$0" "$@"
build=$(realpath -m "${BUILD_DIR:-$root/build-win64}")
work=$build/installer-test
export WINEPREFIX=$build/wine-prefix-installer WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The installer and uninstaller run with /S; the monitor they replace draws on a private display.
say() { echo "installer: $*" >&2; }

server_started=
pids=()
cleanup() {
  [[ -z $server_started ]] || wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# The programs: the monitor the Windows build made, the access-list reader and the installer
# around the monitor.
exe=$build/src/korvan-ups.exe
[[ -f $exe ]] || { say "no $exe (scripts/build-windows builds it with Qt for mingw)"; exit 1; }
mkdir -p "$work"
cp "$exe" "$work/korvan-ups.exe"
x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static -static-libgcc \
  -static-libstdc++ -DWIN32_LEAN_AND_MEAN "$root/tests/platform/win32/installerAclCheck.cpp" -ladvapi32 \
  -o "$work/aclCheck.exe"
for tool in resourceCheck peers/installerPeer; do
  x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static -static-libgcc \
    -static-libstdc++ -DWIN32_LEAN_AND_MEAN "$root/tests/platform/win32/$tool.cpp" -lversion \
    -o "$work/$(basename "$tool").exe"
done
"$root/scripts/installer-windows" "$work/korvan-ups.exe" 2>/dev/null
setup=$work/korvan-ups-setup.exe
# The same installer around a changed program, for the upgrade.
mkdir -p "$work/upgrade"
cp "$work/korvan-ups.exe" "$work/upgrade/korvan-ups.exe"
printf 'korvan-ups upgrade %s' "$(date +%s%N)" >>"$work/upgrade/korvan-ups.exe"
"$root/scripts/installer-windows" "$work/upgrade/korvan-ups.exe" 2>/dev/null
upgrade=$work/upgrade/korvan-ups-setup.exe

display=
for n in $(seq 151 180); do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || { display=$n; break; }
done
[[ -n $display ]] || { say "no free X display"; exit 1; }
# -noreset: the server would reset whenever its last client leaves, refusing whoever connects then.
Xvfb ":$display" -nolisten tcp -noreset -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$display
# The monitor that the upgrade replaces watches COM2, a pseudo-terminal held open here.
python3 -c 'import os, pty, time
master, slave = pty.openpty()
print(os.ttyname(slave), flush=True)
time.sleep(3600)' >"$work/com2" &
pids+=($!)
for _ in $(seq 50); do [[ -s $work/com2 ]] && break; sleep 0.1; done

# A fresh prefix, its serial ports set before anything else runs in it.
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
server_started=1
prepare_wine_prefix "$WINEPREFIX" "" "$(head -n1 "$work/com2")"
# Wine's netsh gives way to the recorder: the file in system32, and Wine told to run it instead
# of its built-in one.
cp "$work/installerPeer.exe" "$WINEPREFIX/drive_c/windows/system32/netsh.exe"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;netsh.exe=n"
netsh_log=$WINEPREFIX/drive_c/netsh.log

failures=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }
check() {  # check <description> <command...>
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

programs="$WINEPREFIX/drive_c/Program Files/Korvan/Servicio de UPS"
publisher="$WINEPREFIX/drive_c/Program Files/Korvan"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Servicio de UPS.lnk"
installed='C:\Program Files\Korvan\Servicio de UPS'
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvanUps'
config_key='HKLM\Software\Korvan\Ups\SysCfg_V1.2'
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\korvan-ups'
rule_add="advfirewall firewall add rule name=\"Servicio de UPS (traps SNMP)\" dir=in action=allow program=\"$installed\\korvan-ups.exe\" protocol=UDP localport=162 profile=any enable=yes"
rule_delete='advfirewall firewall delete rule name="Servicio de UPS (traps SNMP)"'
history_dir=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/korvan-ups

# The data of one registry value as reg.exe prints it, or nothing when it is missing; the
# configuration's key is read in the 32-bit view, everything else in the 64-bit one.
view() { [[ $1 == *'Software\Korvan'* ]] && echo /reg:32 || echo /reg:64; }
reg_value() {
  wine reg query "$1" /v "$2" "$(view "$1")" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" || true
}
has_key() { wine reg query "$1" "$(view "$1")" >/dev/null 2>&1; }
lacks_key() { ! has_key "$1"; }
# A reg.exe that Wine fails to start now and then prints nothing: a value that reads wrong is read
# twice more before the check fails (seen once on a loaded machine, with the values beside it read).
value_is() {  # value_is <key> <name> <expected>
  local got attempt
  for attempt in 1 2 3; do
    got=$(reg_value "$1" "$2")
    [[ $got == "$3" ]] && return 0
    [[ $attempt == 3 ]] || sleep 0.5
  done
  echo "      $2: '$got', expected '$3'"
  return 1
}
value_missing() { [[ -z $(reg_value "$1" "$2") ]]; }
grant_on_key() {
  local status=0
  wine "$work/aclCheck.exe" >"$work/aclCheck.log" 2>&1 || status=$?
  tr -d '\r' <"$work/aclCheck.log" | sed 's/^/      /'
  return "$status"
}
install() {
  local status=0
  wine "${1:-$setup}" /S >/dev/null 2>&1 || status=$?
  check "the installer ends with ${2:-0} (got $status)" test "$status" -eq "${2:-0}"
}
# netsh was asked for exactly this (the recorder's log, one command line each).
netsh_asked() { tr -d '\r' <"$netsh_log" 2>/dev/null | grep -qF -- "$1"; }
resources_read_back() {
  local status=0
  wine "$work/resourceCheck.exe" "$installed\\korvan-ups.exe" 1.4.0 >"$work/resources.log" 2>&1 ||
    status=$?
  tr -d '\r' <"$work/resources.log" | sed 's/^/      /'
  return "$status"
}
running() { kill -0 "$1" 2>/dev/null; }
monitor_up() {
  wine "$programs/korvan-ups.exe" >/dev/null 2>&1 &
  monitor=$!
  pids+=($monitor)
  local waited=0
  until xwininfo -root -tree 2>/dev/null | grep -q '"korvan-ups.exe"' || ((waited > 150)); do
    sleep 0.2; waited=$((waited + 1))
  done
}
# The uninstaller copies itself away and returns at once; its copy removes the publisher's folder
# last of the files, so that is waited for (bounded), then the purge's keys when asked.
uninstall() {
  local status=0 waited=0
  wine "$installed\\uninstall.exe" /S "$@" >/dev/null 2>&1 || status=$?
  check "the uninstaller ends with 0 (got $status)" test "$status" -eq 0
  while [[ -e $publisher ]] && ((waited < 300)); do sleep 0.2; waited=$((waited + 1)); done
  if [[ " $* " == *" /PURGE "* ]]; then
    while has_key 'HKLM\Software\Korvan' && ((waited < 300)); do sleep 0.2; waited=$((waited + 1)); done
  fi
  # Let the copy end before the next step looks at or changes anything.
  sleep 1
  say "uninstaller done after about $((waited / 5)) s"
}

say "installing"
install
check "the program is in Program Files" test -f "$programs/korvan-ups.exe"
check "the uninstaller is beside it" test -f "$programs/uninstall.exe"
check "the Start menu entry is in the all-users Programs folder" test -f "$shortcut"
check "the Start menu entry leads to the program" \
  grep -q -a "korvan-ups.exe" "$shortcut"
check "the monitor starts at logon for every user" \
  value_is "$run_key" KorvanUps "\"$installed\\korvan-ups.exe\""
check "Programs and Features: DisplayName" value_is "$uninstall_key" DisplayName "Servicio de UPS"
check "Programs and Features: DisplayVersion" value_is "$uninstall_key" DisplayVersion "1.4.0"
check "Programs and Features: Publisher" value_is "$uninstall_key" Publisher "Korvan"
check "Programs and Features: UninstallString" \
  value_is "$uninstall_key" UninstallString "\"$installed\\uninstall.exe\""
check "Programs and Features: QuietUninstallString" \
  value_is "$uninstall_key" QuietUninstallString "\"$installed\\uninstall.exe\" /S"
check "Programs and Features: InstallLocation" value_is "$uninstall_key" InstallLocation "$installed"
check "Programs and Features: DisplayIcon" \
  value_is "$uninstall_key" DisplayIcon "\"$installed\\korvan-ups.exe\",0"
check "Programs and Features: NoModify" value_is "$uninstall_key" NoModify 0x1
check "Programs and Features: NoRepair" value_is "$uninstall_key" NoRepair 0x1
check "the configuration key exists" has_key "$config_key"
check "Users may read and write the configuration key and its subkeys, not the maker's key" \
  grant_on_key
check "the event log's source names the program as its message file" \
  value_is "$event_key" EventMessageFile "$installed\\korvan-ups.exe"
check "the event log's source: TypesSupported" value_is "$event_key" TypesSupported 0x7
check "netsh was asked to replace the firewall rule" netsh_asked "$rule_delete"
check "netsh was asked for the inbound rule on UDP 162 for the program, every profile" \
  netsh_asked "$rule_add"
check "the program's resources: icon, version, manifest, event message" resources_read_back

say "upgrading over a running monitor"
monitor_up
check "the monitor runs from Program Files" running "$monitor"
install "$upgrade"
check "the running monitor was asked to end and ended" bash -c "! kill -0 $monitor 2>/dev/null"
check "the new program replaced the old one" cmp -s "$work/upgrade/korvan-ups.exe" "$programs/korvan-ups.exe"
say "upgrading over a program file held open"
rm -f "$WINEPREFIX/drive_c/hold.stop"
wine "$work/installerPeer.exe" hold "$installed\\korvan-ups.exe" >"$work/hold.log" 2>&1 &
holder=$!
pids+=($holder)
for _ in $(seq 100); do grep -q holding "$work/hold.log" 2>/dev/null && break; sleep 0.1; done
install "$setup" 3
touch "$WINEPREFIX/drive_c/hold.stop"
wait "$holder" 2>/dev/null || true
check "the held program file was left as it was" cmp -s "$work/upgrade/korvan-ups.exe" "$programs/korvan-ups.exe"

# A saved configuration and a user's history, to see them kept.
wine reg add "$config_key" /v CfgUps /t REG_BINARY /d 0102 /f /reg:32 >/dev/null 2>&1
mkdir -p "$history_dir"
echo history >"$history_dir/historial.db"
: >"$netsh_log"

say "uninstalling"
uninstall
check "the program is gone" test ! -e "$programs/korvan-ups.exe"
check "the uninstaller is gone" test ! -e "$programs/uninstall.exe"
check "the program folder and the empty publisher's folder are gone" test ! -e "$publisher"
check "the Start menu entry is gone" test ! -e "$shortcut"
check "the start at logon is gone" value_missing "$run_key" KorvanUps
check "the entry in Programs and Features is gone" lacks_key "$uninstall_key"
check "the configuration stays" value_is "$config_key" CfgUps 0102
check "the user's history stays" test -f "$history_dir/historial.db"
check "the event log's source is gone" lacks_key "$event_key"
check "netsh was asked to remove the firewall rule" netsh_asked "$rule_delete"

say "installing again, uninstalling with /PURGE"
install
check "the saved configuration survives the new installation" value_is "$config_key" CfgUps 0102
check "Users may still read and write the configuration key" grant_on_key
uninstall /PURGE
check "the program folder is gone" test ! -e "$publisher"
check "the entry in Programs and Features is gone" lacks_key "$uninstall_key"
check "the configuration key is gone" lacks_key "$config_key"
check "the publisher's empty keys are gone" lacks_key 'HKLM\Software\Korvan'
check "the user's history is gone" test ! -e "$history_dir"

if ((failures > 0)); then
  say "$failures check(s) failed"
  exit 1
fi
say "all checks passed"
