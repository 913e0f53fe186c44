#!/usr/bin/env bash
# The real korvan-ups.exe under Wine, on a private Xvfb display where Wine's own tray strip is the
# tray host:
#   1. the first start, in a fresh prefix with no COM port, writes the default records (compared
#      byte for byte, with
#      reg.exe as the reader, with those the Linux build writes), says there is no serial port and
#      keeps its window;
#      with COM2 a pseudo-terminal it shows the tray icon, and a click
#      on the icon brings up the main window "Korvan Servicio UPS - Ver 1.4", monitoring COM2 (a
#      pseudo-terminal);
#      a second start ends at once and leaves the one monitor running;
#   1b. settings seeded where earlier installations kept them (the 32-bit view, the user's
#      VirtualStore copy, the 64-bit view) are each read back as they were: the monitor looks for
#      the agent they name, and the key it reads holds them byte for byte;
#   2. with a configuration for net-snmp's snmpd on 127.0.0.1:161 (written with reg.exe), a
#      line-failure trap from snmptrap brings the pop-up, a low-battery trap the countdown, Wine's
#      notepad is asked to close at half-time and at zero the power-off is requested
#      (ExitWindowsEx) and the program ends;
#   3. the event history in the user's AppData holds that sequence;
#   4. started again, the monitor's tray menu opens the "Historial" window.
# Screenshots of each step go to ${BUILD_DIR:-build-win64}/monitor-test/.
#   tests/platform/win32/monitor.sh LINUX_BUILD_DIR   (for ups-seed-store, a Linux tool)
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
# Everything runs where the machine's serial devices are /dev/null (winePrefix.bash).
source "$root/tests/platform/win32/winePrefix.bash"
hide_serial_devices "$0" "$@"
build=$(realpath -m "${BUILD_DIR:-$root/build-win64}")
linux_build=${1:?the Linux build folder, for ups-seed-store}
exe=$build/src/korvan-ups.exe
seed=$linux_build/tests/ups-seed-store
work=$build/monitor-test
config_key='HKLM\Software\Korvan\Ups\SysCfg_V1.2'
oid=.1.3.6.1.4.1.27431
export WINEPREFIX=$work/prefix
say() { echo "monitor: $*" >&2; }
[[ -f $exe ]] || { say "no $exe (scripts/build-windows builds it with Qt for mingw)"; exit 1; }
[[ -x $seed ]] || { say "no $seed"; exit 1; }

pids=()
cleanup() {
  wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
fail() {
  import -window root "$work/failure.png" 2>/dev/null || true
  say "FAIL: $* (screen in $work/failure.png)"
  exit 1
}
wait_until() {  # wait_until <seconds> <command...>
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}
# The history's count of starts. A monitor that waits in the tray makes its main window only when it
# first shows: a start is seen in the history, which it writes once its tray icon is up.
history=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/korvan-ups/historial.db
starts() {
  sqlite3 "file:$history?mode=ro" "select count(*) from events where kind = 'monitor_started'" \
    2>/dev/null || echo 0
}
started_after() { (($(starts) > $1)); }
# Wine paints a window a moment after it is mapped.
shot() { sleep 1.5; import -window root "$work/$1.png" 2>/dev/null || true; }
window_named() { xwininfo -root -tree | grep -q "\"$1\": (\"$2\""; }
window_shown() { xwininfo -name "$1" 2>/dev/null | grep -q "IsViewable"; }
running() { kill -0 "$1" 2>/dev/null; }

# UDP 161 and 162 are machine-wide: the Linux end-to-end tests take the same lock.
exec 9>/tmp/korvan-e2e-snmp.lock
flock -w 240 9 || fail "another test held the SNMP ports for 4 minutes"

wineserver -k 2>/dev/null || true
rm -rf "$work"
mkdir -p "$work/snmpd"
display=
for n in $(seq 121 150); do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || { display=$n; break; }
done
[[ -n $display ]] || fail "no free X display"
# -noreset: the server would reset whenever its last client leaves, refusing whoever connects then.
Xvfb ":$display" -nolisten tcp -noreset -screen 0 1024x768x24 >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$display
wait_until 10 test -e "/tmp/.X11-unix/X$display" || fail "Xvfb did not start"

prepare_wine_prefix "$WINEPREFIX"

# The name=HEX pairs of the binary values in a .reg file, sorted.
reg_file_values() {
  python3 - "$1" <<'EOF'
import re, sys
text = open(sys.argv[1]).read().replace("\\\n", "")
for name, data in sorted(re.findall(r'"(\w+)"=hex:([0-9a-f,\s]*)', text)):
    print(name + "=" + re.sub(r"[,\s]", "", data).upper())
EOF
}
# seed_values <file.reg> <key> <view>: its binary values written into <key> with reg.exe.
seed_values() {
  local line
  while read -r line; do
    wine reg add "$2" /v "${line%%=*}" /t REG_BINARY /d "${line#*=}" /f "$3" >/dev/null 2>&1 || return 1
  done < <(reg_file_values "$1")
}

# ---- 1. the first start ----
# With no COM port at all the monitor writes its defaults, says there is no serial port, and ends.
wine "$exe" >"$work/first.log" 2>&1 &
monitor=$!
pids+=($monitor)
records() { wine reg query "$config_key" /reg:32 2>/dev/null | tr -d '\r' | awk '$2 == "REG_BINARY" && ($1 == "CfgUps" || $1 == "CfgSnmp") { print $1 "=" $3 }' | sort; }
wait_until 30 window_shown "! ERROR !" || fail "no message about the serial port"
sleep 3  # the first start paints its first box late
shot 1-first-start
"$seed" "$work/defaults.reg" --defaults || fail "ups-seed-store could not write the defaults"
expected=$(reg_file_values "$work/defaults.reg")
[[ $(records) == "$expected" ]] || fail "the default records differ from the Linux build's: $(records)"
say "first start: the default records, byte for byte as the Linux build writes them"
xdotool search --name '^! ERROR !$' key --window %1 Return
# Without a port the window stays up, supervision stopped, so that the configuration can be opened.
wait_until 10 window_shown "Korvan Servicio UPS - Ver 1.4" || fail "no window after the box"
running "$monitor" || fail "the monitor ended for want of a port"
kill "$monitor"
wait "$monitor" 2>/dev/null || true

# COM2 becomes a pseudo-terminal held open here: the monitor says that no port is chosen and goes
# on with COM2, the one it found.
python3 -c 'import os, pty, time
master, slave = pty.openpty()
print(os.ttyname(slave), flush=True)
time.sleep(3600)' >"$work/com2" &
pids+=($!)
wait_until 10 test -s "$work/com2" || fail "no pseudo-terminal"
prepare_wine_prefix "$WINEPREFIX" "" "$(head -n1 "$work/com2")"
before=$(starts)
wine "$exe" >"$work/serial.log" 2>&1 &
monitor=$!
pids+=($monitor)
wait_until 30 window_shown "! CUIDADO !" || fail "no message about the port to choose"
xdotool search --name '^! CUIDADO !$' key --window %1 Return
wait_until 20 window_named "Wine System Tray" "explorer.exe" || fail "no tray strip"
wait_until 20 started_after "$before" || fail "the monitor did not start"
# The icon is the first in Wine's tray strip; a click brings the main window up.
tray=$(xdotool search --name '^Wine System Tray$' | head -n1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
# A click right after the box went sometimes left no window on the screen a second later; the
# click comes once the start has settled.
sleep 3
xdotool mousemove $((X + 10)) $((Y + 10)) click 1
wait_until 10 window_shown "Korvan Servicio UPS - Ver 1.4" || fail "the tray icon's click showed no window"
sleep 1
window_shown "Korvan Servicio UPS - Ver 1.4" || fail "the main window went away again"
running "$monitor" || fail "the monitor ended"
shot 2-main-window
say "tray icon and main window 'Korvan Servicio UPS - Ver 1.4' shown, monitoring COM2"
# A second start finds the first, has its window shown, and ends; the first runs on.
wine "$exe" >"$work/second.log" 2>&1 &
second=$!
pids+=($second)
wait_until 20 bash -c "! kill -0 $second 2>/dev/null" || fail "a second monitor kept running"
running "$monitor" || fail "the first monitor ended at the second start"
window_shown "Korvan Servicio UPS - Ver 1.4" || fail "the running monitor's window is not shown"
say "a second start ended and left the one monitor running"
kill "$monitor"
wait "$monitor" 2>/dev/null || true

# ---- 1b. settings where earlier installations kept them ----
"$seed" "$work/earlier.reg" --snmp 127.0.0.2 --shutdown --tmpfail 9 ||
  fail "ups-seed-store could not write the earlier settings"
expected_earlier=$(reg_file_values "$work/earlier.reg")
virtual_store='HKCU\Software\Classes\VirtualStore\MACHINE\SOFTWARE\WOW6432Node\Korvan\Ups\SysCfg_V1.2'
for place in "$config_key /reg:32" "$virtual_store /reg:64" "$config_key /reg:64"; do
  read -r key view <<<"$place"
  for v in /reg:32 /reg:64; do wine reg delete 'HKLM\Software\Korvan' /f "$v" >/dev/null 2>&1 || true; done
  wine reg delete 'HKCU\Software\Classes\VirtualStore' /f >/dev/null 2>&1 || true
  seed_values "$work/earlier.reg" "$key" "$view" || fail "could not seed $key $view"
  wine "$exe" >"$work/earlier.log" 2>&1 &
  monitor=$!
  pids+=($monitor)
  # Nothing answers at 127.0.0.2: only a monitor that read the settings looks for that agent.
  wait_until 60 window_shown "! ERROR !" || fail "settings in $key $view: no agent looked for"
  [[ $(records) == "$expected_earlier" ]] ||
    fail "settings in $key $view were not read back as they were: $(records)"
  say "settings in $key $view read back as they were"
  kill "$monitor"
  wait "$monitor" 2>/dev/null || true
done

# ---- 2. an outage against snmpd ----
"$seed" "$work/snmp.reg" --snmp 127.0.0.1 --trap --shutdown --tmpfail 2 --tmplowb 12 \
  --community privada || fail "ups-seed-store could not write the configuration"
seed_values "$work/snmp.reg" "$config_key" /reg:32 || fail "reg.exe could not write the configuration"
printf 'line=1\nbattery=1\nname=UPS Prueba Wine\nserial=W-0001\nmodel=Modelo W\n' >"$work/snmpd/values"
cat >"$work/snmpd/snmpd.conf" <<EOF
agentAddress udp:127.0.0.1:161
master no
view upsview included $oid
view upsview included .1.3.6.1.2.1.1
rocommunity ambito 127.0.0.1 -V upsview
rwcommunity privada 127.0.0.1 -V upsview
pass_persist $oid $root/tests/support/peers/upsAgentBackend.sh $work/snmpd/values $work/snmpd/sets.log
EOF
net_snmp_env=(MIBS= MIBDIRS=/nonexistent SNMP_PERSISTENT_DIR="$work/snmpd" SNMPCONFPATH=/nonexistent)
env "${net_snmp_env[@]}" snmpd -f -Lf "$work/snmpd/log" -C -c "$work/snmpd/snmpd.conf" \
  -p "$work/snmpd/pid" &
pids+=($!)
answering() { env "${net_snmp_env[@]}" snmpget -v1 -c ambito -t 0.3 -r 0 127.0.0.1 "$oid.1.1.1.2.0" >/dev/null 2>&1; }
wait_until 20 answering || fail "snmpd did not answer on 127.0.0.1:161"
ups_state() {  # ups_state <battery> <line>: the agent's values and a status trap saying so
  sed -i "s/^battery=.*/battery=$1/; s/^line=.*/line=$2/" "$work/snmpd/values"
  env "${net_snmp_env[@]}" snmptrap -v 1 -c public 127.0.0.1:162 "$oid" 127.0.0.1 6 1 '' \
    "$oid.1.1.1.1.0" i "$1" "$oid.1.1.1.2.0" i "$2"
}

wine notepad >/dev/null 2>&1 &
pids+=($!)
wait_until 30 window_named "Untitled - Notepad" "notepad.exe" || fail "notepad did not start"
before=$(starts)
wine "$exe" >"$work/monitor.log" 2>&1 &
monitor=$!
pids+=($monitor)
events() { sqlite3 "file:$history?mode=ro" "select kind from events order by id" 2>/dev/null | tr '\n' ' '; }
wait_until 60 started_after "$before" || fail "the monitor did not start"
# The monitor looks for the agent, reads it and listens on UDP 162 before the first trap.
sleep 8
window_shown "! ERROR !" && { shot failure-box; fail "a message box came up: see failure-box.png"; }

ups_state 1 2
wait_until 15 window_shown "Información" || fail "no pop-up after the line-failure trap"
shot 3-line-failure
say "line-failure trap: pop-up shown"

ups_state 2 2
wait_until 10 window_shown "Batería Baja" || fail "no countdown after the low-battery trap"
start=$SECONDS
shot 4-countdown
say "low-battery trap: countdown shown"
wait_until 20 bash -c "! xwininfo -root -tree | grep -q '\"Untitled - Notepad\"'" ||
  fail "notepad was not closed"
closed_after=$((SECONDS - start))
running "$monitor" || fail "the monitor ended before zero"
say "notepad closed ${closed_after} s after the first countdown notice (10 s left)"
wait_until 20 bash -c "! kill -0 $monitor 2>/dev/null" || fail "the monitor did not end at zero"
say "the monitor ended $((SECONDS - start)) s after the first countdown notice"
shot 5-after-zero

# ---- 3. the history ----
got=$(events)
for kind in monitor_started mains_failed notice_shown battery_low critical_entered \
  applications_closed power_off_requested monitor_ended; do
  [[ " $got " == *" $kind "* ]] || fail "the history lacks $kind: $got"
done
sqlite3 "file:$history?mode=ro" "select kind, details from events order by id" >"$work/history.txt"
grep -q "^applications_closed|.*Untitled - Notepad" "$work/history.txt" ||
  fail "the history does not name notepad among the applications closed"
# Half-time of the 12 s countdown: after the critical state began, before the power-off, and
# with none of the last seconds' notices before it (the countdown counts seconds, so a slow tick
# under Wine may skip a notice but never half-time).
order=$(grep -n -e "^critical_entered|" -e "^applications_closed|" -e "^notice_shown| [42] seg" \
  -e "^power_off_requested|" "$work/history.txt" | cut -d'|' -f1 | cut -d: -f2 | uniq | tr '\n' ' ')
[[ $order == "critical_entered applications_closed notice_shown power_off_requested " ||
  $order == "critical_entered applications_closed power_off_requested " ]] ||
  fail "the applications were not asked to close at half-time ($order): $(cat "$work/history.txt")"
say "history: $(wc -l <"$work/history.txt") events, power-off: $(grep '^power_off_requested' "$work/history.txt")"

# ---- 4. the history window ----
# Started again with the mains back, the monitor shows the outage in "Historial...", which its
# tray menu opens.
ups_state 1 1
before=$(starts)
wine "$exe" >"$work/after.log" 2>&1 &
monitor=$!
pids+=($monitor)
wait_until 60 started_after "$before" || fail "the monitor did not start again"
sleep 5
tray=$(xdotool search --name '^Wine System Tray$' | head -n1)
eval "$(xdotool getwindowgeometry --shell "$tray")"
xdotool mousemove $((X + 10)) $((Y + 10)) click 3
wait_until 10 window_shown "Servicio de UPS" || fail "the tray menu did not open"
xdotool key h
wait_until 15 window_shown "Historial" || fail "the history window did not open"
shot 6-historial
running "$monitor" || fail "the monitor ended with the history window open"
say "the history window opened from the tray menu"
say "passed; screenshots in $work"
