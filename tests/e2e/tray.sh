#!/usr/bin/env bash
# The real monitor under Xvfb: with a tray host its icon docks and the window waits hidden until a
# left click on the icon restores it; without a tray host the window stays on the screen.
source "$(dirname "$0")/tools/lib.bash"

start_x
start_tray
start_pty 2
seed_store --com 1
start_monitor

wait_until 15 tray_icon_present || fail "the tray icon did not appear"
pos=$(tray_icon_position)
main_window_visible && fail "the window should wait in the tray"

# "+X+Y" of the icon's top-left corner; click its middle.
x=$(echo "$pos" | cut -d+ -f2)
y=$(echo "$pos" | cut -d+ -f3)
xdotool mousemove $((x + 8)) $((y + 8)) click 1
wait_until 10 main_window_visible || fail "a left click on the icon did not restore the window"
echo "tray icon at $pos restored the window"

# Ended by SIGTERM with its icon docked, run after run: the end removes the icon's own window, and
# nothing may touch that window afterwards. The order of the windows changes from run to run.
for run in 1 2 3 4 5 6 7 8; do
    if ((run > 1)); then
        start_monitor
        wait_until 15 tray_icon_present || fail "run $run: the tray icon did not appear"
    fi
    kill -TERM "$MONITOR_PID"
    wait_until 15 process_ended "$MONITOR_PID" || fail "run $run: the monitor did not end on SIGTERM"
    status=0
    wait "$MONITOR_PID" 2>/dev/null || status=$?
    ((status == 0)) || fail "run $run: SIGTERM with the icon docked ended it with status $status"
done
echo "SIGTERM with the icon docked: 8 runs ended in order"

# Without a tray host the window is shown from the start.
kill "$TRAY_PID"
wait "$TRAY_PID" 2>/dev/null || true
start_monitor
wait_until 15 main_window_visible || fail "without a tray host the window must stay shown"
echo "without a tray host the window is shown"
