# X-session steps shared by the end-to-end tests and the bench and soak scripts (sourced): a
# private X display, a tray host, a pseudo-terminal COM port and looks at the monitor's windows.
# The sourcing script defines remember_pid PID (the process is ended with the script) and
# fail MESSAGE, and sets PTYHOLD (the ups-pty-hold helper), SCRATCH (a folder for logs) and
# DISPLAY_FIRST (the first display number to try; 50 numbers from there).
COMDIR=/tmp/korvan-ups-com

# end_processes PID...: signals them last first (a program before the display it draws on), then
# waits for each.
end_processes() {
    local i pid pids=("$@")
    # A stopped process (the bench's turns stop some) only ends once it is let go on.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null && kill -CONT "${pids[i]}" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}

# wait_until SECONDS COMMAND...: polls every 100 ms.
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

start_x() {
    local n
    for n in $(seq "$DISPLAY_FIRST" $((DISPLAY_FIRST + 49))); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        # -noreset: by default the server resets when its last client leaves (a test that ends
        # the monitor and the tray host), and a program connecting during the reset is refused.
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$SCRATCH/xvfb.log" 2>&1 &
        remember_pid $!
        export DISPLAY=":$n"
        wait_until 10 xdpyinfo || fail "Xvfb did not start"
        return 0
    done
    fail "no free display"
}

# start_tray [WIDTH]: trayer at the bottom right; TRAY_PID is its process.
start_tray() {
    trayer --edge bottom --align right --widthtype pixel --width "${1:-100}" --height 24 \
        >"$SCRATCH/trayer.log" 2>&1 &
    TRAY_PID=$!
    remember_pid "$TRAY_PID"
    wait_until 10 bash -c 'xwininfo -root -tree | grep -q "\"panel\" \"trayer\""' ||
        fail "trayer did not start"
}

# start_pty N: COM N (1..4) opens as a pseudo-terminal.
start_pty() {
    mkdir -p "$COMDIR"
    "$PTYHOLD" "$COMDIR/COM$1" >"$SCRATCH/pty$1.log" &
    remember_pid $!
    wait_until 5 test -L "$COMDIR/COM$1" || fail "pty for COM$1 not ready"
}

main_window_visible() { xdotool search --onlyvisible --name '^Korvan Servicio UPS' | grep -q .; }
# popup_shown TITLE: a window with exactly that title is on the screen.
popup_shown() { xdotool search --onlyvisible --name "^$1\$" | grep -q .; }
