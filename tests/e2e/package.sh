#!/usr/bin/env bash
# The Debian packages, end to end: cpack builds korvan-ups and korvan-ups-simulator from this
# build; their contents, control data and lintian's verdict are checked; the monitor's package is
# installed with apt-get, gets its capabilities, and starts from its XDG autostart entry in a fresh
# X session with a tray host (as a desktop session would start it); then apt-get removes it (the
# files go, the autostart entry left as a configuration file is skipped by the session) and purges
# it. The simulator's package installs and removes on its own.
# Installing packages changes the machine: the test runs as root only (CI runs it on a throwaway
# machine) and removes what it installed on every way out.
source "$(dirname "$0")/tools/lib.bash"

skip() {
    echo "SKIP: $*"
    exit 0
}

[[ $(id -u) -eq 0 ]] || skip "the package test installs packages with apt-get and runs as root only"
command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null || skip "not a Debian system"
for tool in cpack lintian desktop-file-validate getcap dpkg-shlibdeps file setpriv; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps installs it)"
done

# The installed monitor probes COM1..COM4 as this build maps them: they must be the test paths,
# never real ports (on some machines /dev/ttyS0 is the system console).
com_devices=$(sed -n 's/^UPS_COM_DEVICES:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
[[ $com_devices == "$COMDIR/COM1;$COMDIR/COM2;$COMDIR/COM3;$COMDIR/COM4" ]] ||
    fail "this build maps COM1..COM4 to \"$com_devices\"; the package test starts the installed" \
        "monitor and runs on a build whose ports are $COMDIR/COMn (scripts/test makes one)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$BUILD/CMakeCache.txt")
[[ -n $version ]] || fail "no project version in $BUILD/CMakeCache.txt"
arch=$(dpkg --print-architecture)

# One package test at a time on this machine, whichever build tree it comes from.
exec 8>/tmp/korvan-e2e-package.lock
flock -w 240 8 || fail "another run of the package test held the machine for 4 minutes"

for p in korvan-ups korvan-ups-simulator; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ -z $status || $status == *not-installed ]] ||
        skip "$p is already on this machine ($status); the test would replace and remove it"
done

# apt-get reads the packages as its own unprivileged user: a folder it can enter.
PKGDIR=$(mktemp -d /tmp/korvan-pkg.XXXXXX)
chmod 755 "$PKGDIR"
export DEBIAN_FRONTEND=noninteractive
APT=(apt-get -y -q -o DPkg::Lock::Timeout=120)

remove_packages() {
    local p status
    for p in korvan-ups korvan-ups-simulator; do
        status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        [[ -z $status || $status == *not-installed ]] && continue
        "${APT[@]}" purge "$p" >/dev/null 2>&1 || echo "could not purge $p" >&2
    done
}
SESSION=""
trap 'cleanup; remove_packages; rm -rf "$PKGDIR" ${SESSION:+"$SESSION"}' EXIT

# --- Build --------------------------------------------------------------------------------------
(cd "$PKGDIR" && cpack --config "$BUILD/CPackConfig.cmake" -B "$PKGDIR") >"$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
DEB=$PKGDIR/korvan-ups_${version}_${arch}.deb
SIMDEB=$PKGDIR/korvan-ups-simulator_${version}_${arch}.deb
[[ -f $DEB ]] || fail "no $(basename "$DEB"); cpack made: $(ls "$PKGDIR")"
[[ -f $SIMDEB ]] || fail "no $(basename "$SIMDEB"); cpack made: $(ls "$PKGDIR")"
echo "built $(basename "$DEB") and $(basename "$SIMDEB")"

# --- Contents -----------------------------------------------------------------------------------
dpkg-deb -c "$DEB" >"$WORK/contents" || fail "dpkg-deb -c failed"
# has_entry MODE PATH: a file of the package with that mode, owned by root.
has_entry() {
    awk -v mode="$1" -v path="./$2" '$1 == mode && $2 == "root/root" && $6 == path { found = 1 }
        END { exit !found }' "$WORK/contents" || fail "the package lacks $2 with mode $1"
}
has_entry -rwxr-xr-x usr/bin/korvan-ups
has_entry -rw-r--r-- usr/share/applications/korvan-ups.desktop
has_entry -rw-r--r-- etc/xdg/autostart/korvan-ups.desktop
for size in 16 22 32 48 64 128 256; do
    has_entry -rw-r--r-- "usr/share/icons/hicolor/${size}x${size}/apps/korvan-ups.png"
done
has_entry -rw-r--r-- usr/share/man/man1/korvan-ups.1.gz
has_entry -rw-r--r-- usr/share/doc/korvan-ups/copyright
grep -q upssim "$WORK/contents" && fail "the monitor's package carries the simulator"
dpkg-deb -c "$SIMDEB" >"$WORK/sim-contents" || fail "dpkg-deb -c failed on the simulator's package"
awk '$6 == "./usr/bin/upssim" && $1 == "-rwxr-xr-x" { found = 1 } END { exit !found }' \
    "$WORK/sim-contents" ||
    fail "the simulator's package lacks usr/bin/upssim"
grep -q korvan-ups.desktop "$WORK/sim-contents" &&
    fail "the simulator's package carries the monitor's entries"

# The files themselves: icons of their nominal size, valid desktop entries, a stripped binary.
mkdir "$WORK/root"
dpkg-deb -x "$DEB" "$WORK/root"
for size in 16 22 32 48 64 128 256; do
    file "$WORK/root/usr/share/icons/hicolor/${size}x${size}/apps/korvan-ups.png" |
        grep -q "PNG image data, $size x $size," ||
        fail "the ${size}x${size} icon is not a $size px PNG"
done
for entry in usr/share/applications/korvan-ups.desktop etc/xdg/autostart/korvan-ups.desktop; do
    desktop-file-validate "$WORK/root/$entry" || fail "$entry does not validate"
    grep -qx 'Icon=korvan-ups' "$WORK/root/$entry" || fail "$entry names another icon"
done
grep -qx 'Comment=Monitor de UPS' "$WORK/root/usr/share/applications/korvan-ups.desktop" ||
    fail "the desktop entry's comment is not \"Monitor de UPS\""
file "$WORK/root/usr/bin/korvan-ups" | grep -q ', stripped' ||
    fail "the packaged executable is not stripped"

# --- Control data -------------------------------------------------------------------------------
field() { dpkg-deb -f "$DEB" "$1"; }
[[ $(field Package) == korvan-ups && $(field Version) == "$version" &&
    $(field Architecture) == "$arch" ]] ||
    fail "control: $(field Package) $(field Version) $(field Architecture)"
depends=$(field Depends)
for dep in libcap2-bin libxres1 libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libx11-6; do
    [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done
[[ -n $(field Maintainer) && -n $(field Description) && -n $(field Section) ]] ||
    fail "control lacks Maintainer, Description or Section"
dpkg-deb --ctrl-tarfile "$DEB" | tar -x -C "$WORK" ./postinst ./postrm ./conffiles ||
    fail "the package has no postinst, postrm or conffiles"
grep -q '^ *if ! setcap cap_net_bind_service,cap_net_raw+ep /usr/bin/korvan-ups' "$WORK/postinst" ||
    fail "postinst does not set the capabilities"
grep -qx /etc/xdg/autostart/korvan-ups.desktop "$WORK/conffiles" ||
    fail "the autostart entry is not a configuration file"
echo "Depends: $depends"

# --- lintian ------------------------------------------------------------------------------------
# lintian exits 1 when it reports an error, 2 when it could not check.
lintian_status=0
lintian --no-cfg "$DEB" "$SIMDEB" >"$WORK/lintian" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$WORK/lintian" || true
((lintian_status != 2)) || fail "lintian could not check the packages"
grep -q '^E: ' "$WORK/lintian" && fail "lintian reports errors"
((lintian_status == 0)) || fail "lintian exited with $lintian_status"
echo "lintian: no errors"

# --- Install ------------------------------------------------------------------------------------
"${APT[@]}" install "$DEB" >"$WORK/apt-install.log" 2>&1 ||
    { tail -20 "$WORK/apt-install.log" >&2; fail "apt-get install failed"; }
[[ $(dpkg-query -W -f='${Status}' korvan-ups) == "install ok installed" ]] ||
    fail "korvan-ups is not installed"
status=$(dpkg-query -W -f='${Status}' korvan-ups-simulator 2>/dev/null || true)
[[ -z $status || $status == *not-installed ]] ||
    fail "installing the monitor brought the simulator ($status)"
dpkg -L korvan-ups >"$WORK/installed"
[[ -x /usr/bin/korvan-ups ]] || fail "/usr/bin/korvan-ups is missing"
caps=$(getcap /usr/bin/korvan-ups)
[[ $caps == *cap_net_bind_service,cap_net_raw=ep* ]] || fail "capabilities not set: \"$caps\""
echo "installed; $caps"

# --- Autostart in a fresh session ---------------------------------------------------------------
# A desktop session's reading of an autostart entry: skipped when hidden, disabled, shown only
# in other desktops, or when its TryExec program is not there; otherwise its Exec line runs with
# the field codes dropped. Prints the command; fails when the session would skip the entry.
autostart_command() {
    local entry=$1 key value exec="" tryexec="" hidden="" enabled="" only=""
    while IFS='=' read -r key value; do
        case $key in
            Exec) exec=$value ;;
            TryExec) tryexec=$value ;;
            Hidden) hidden=$value ;;
            X-GNOME-Autostart-enabled) enabled=$value ;;
            OnlyShowIn) only=$value ;;
        esac
    done < <(sed -n '/^\[Desktop Entry\]/,/^\[/p' "$entry")
    [[ $hidden != true && $enabled != false ]] || return 1
    [[ -z $only || ";$only" == *";${XDG_CURRENT_DESKTOP:-none};"* ]] || return 1
    [[ -z $tryexec ]] || command -v "$tryexec" >/dev/null || return 1
    [[ -n $exec ]] || return 1
    echo "$exec" | sed -E 's/ ?%[fFuUdDnNickvm]//g'
}

# The session belongs to an ordinary user, as on a desktop: root would hold every capability
# anyway, so only an unprivileged process shows that the installed file's capabilities work.
SESSION_USER=nobody
SESSION=$(mktemp -d /tmp/korvan-pkg-session.XXXXXX)
mkdir -p "$SESSION/home" "$SESSION/runtime"
# COM4 (the store counts the ports from 0), a pseudo-terminal that opens like a serial port.
"$SEED" "$SESSION/home/.config/korvan-ups/registry.reg" --com 3 || fail "could not seed the store"
chown -R "$SESSION_USER" "$SESSION"
chmod 700 "$SESSION/runtime"
start_x
start_tray
start_pty 4
chmod 666 "$(readlink "$COMDIR/COM4")"

AUTOSTART=/etc/xdg/autostart/korvan-ups.desktop
command=$(autostart_command "$AUTOSTART") || fail "a session would not start $AUTOSTART"
read -r -a argv <<<"$command"
echo "autostart runs: ${argv[*]} (as $SESSION_USER)"
setpriv --reuid="$SESSION_USER" --regid="$(id -g "$SESSION_USER")" --clear-groups \
    env -i HOME="$SESSION/home" XDG_RUNTIME_DIR="$SESSION/runtime" DISPLAY="$DISPLAY" \
    PATH=/usr/local/bin:/usr/bin:/bin "${argv[@]}" >"$WORK/monitor.log" 2>&1 &
MONITOR_PID=$!
PIDS+=($MONITOR_PID)

monitor_is_installed_binary() { [[ $(readlink "/proc/$MONITOR_PID/exe") == /usr/bin/korvan-ups ]]; }
wait_until 5 monitor_is_installed_binary ||
    fail "the autostart entry did not start /usr/bin/korvan-ups"
# The file's capabilities take effect: CAP_NET_BIND_SERVICE (10) and CAP_NET_RAW (13) effective
# in a process of an ordinary user.
[[ $(awk '/^Uid:/ { print $3 }' "/proc/$MONITOR_PID/status") == "$(id -u "$SESSION_USER")" ]] ||
    fail "the monitor does not run as $SESSION_USER"
cap_eff=$((16#$(awk '/^CapEff:/ { print $2 }' "/proc/$MONITOR_PID/status")))
(((cap_eff >> 10) & 1 && (cap_eff >> 13) & 1)) ||
    fail "the monitor runs without its capabilities (CapEff $(printf %x "$cap_eff"))"
wait_until 15 tray_icon_present ||
    { cat "$WORK/monitor.log" >&2; fail "the tray icon did not appear"; }
kill -0 "$MONITOR_PID" 2>/dev/null || fail "the monitor ended"
for title in '! ERROR !' '! CUIDADO !'; do
    xdotool search --onlyvisible --name "^$title\$" | grep -q . &&
        fail "the monitor shows a \"$title\" box"
done
echo "the autostarted monitor (PID $MONITOR_PID, CapEff $(printf %x "$cap_eff")) docked its" \
    "icon at $(tray_icon_position)"
kill "$MONITOR_PID"
wait "$MONITOR_PID" 2>/dev/null || true

# --- Remove and purge ---------------------------------------------------------------------------
"${APT[@]}" remove korvan-ups >"$WORK/apt-remove.log" 2>&1 ||
    { tail -20 "$WORK/apt-remove.log" >&2; fail "apt-get remove failed"; }
[[ $(dpkg-query -W -f='${Status}' korvan-ups) == "deinstall ok config-files" ]] ||
    fail "after remove: $(dpkg-query -W -f='${Status}' korvan-ups)"
while read -r path; do
    [[ -d $path || $path == "$AUTOSTART" ]] && continue
    [[ -e $path ]] && fail "$path is left after remove"
done <"$WORK/installed"
[[ -e /usr/bin/korvan-ups ]] && fail "/usr/bin/korvan-ups is left after remove"
# The configuration file stays until a purge; a session skips it since its program is gone.
autostart_command "$AUTOSTART" >/dev/null && fail "a session would still start the removed monitor"
"${APT[@]}" purge korvan-ups >"$WORK/apt-purge.log" 2>&1 ||
    { tail -20 "$WORK/apt-purge.log" >&2; fail "apt-get purge failed"; }
[[ -e $AUTOSTART ]] && fail "$AUTOSTART is left after purge"
status=$(dpkg-query -W -f='${Status}' korvan-ups 2>/dev/null || true)
[[ -z $status || $status == *not-installed ]] || fail "after purge: $status"
echo "removed: no file left; purged: autostart entry gone"

# --- The simulator's package --------------------------------------------------------------------
"${APT[@]}" install "$SIMDEB" >"$WORK/apt-sim.log" 2>&1 ||
    { tail -20 "$WORK/apt-sim.log" >&2; fail "apt-get install of the simulator failed"; }
/usr/bin/upssim --help | grep -q '^Usage: upssim' || fail "the installed simulator does not run"
status=$(dpkg-query -W -f='${Status}' korvan-ups 2>/dev/null || true)
[[ -z $status || $status == *not-installed ]] || fail "the simulator brought the monitor ($status)"
"${APT[@]}" purge korvan-ups-simulator >"$WORK/apt-sim.log" 2>&1 ||
    fail "apt-get purge of the simulator failed"
[[ -e /usr/bin/upssim ]] && fail "/usr/bin/upssim is left after purge"
echo "simulator package installed, ran and was removed"
