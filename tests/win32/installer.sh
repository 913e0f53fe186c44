#!/usr/bin/env bash
# The Windows installer under Wine: installs silently into a fresh private prefix, checks the
# program folder, the Start menu entry, the start at logon, the entry in Programs and Features and
# the configuration key with its grant to Users; uninstalls silently and checks that all of it goes
# but the configuration; installs again and uninstalls with /PURGE, which takes the configuration
# too. The installer packs the Windows build's korvan-ups.exe, whose --grant-config-access the
# installer runs for the grant.
#
# The prefix (${BUILD_DIR:-build-win64}/wine-prefix-installer) is made again on every run, and its
# COM1..COM4 lead nowhere before any program of the test runs: Wine would otherwise give COM1 to
# /dev/ttyS0, which is the console here (scripts/test-windows does the same).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${BUILD_DIR:-$root/build-win64}")
work=$build/installer-test
export WINEPREFIX=$build/wine-prefix-installer WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Nothing here shows a window: the installer and uninstaller run with /S.
unset DISPLAY
say() { echo "installer: $*" >&2; }

server_started=
cleanup() { [[ -z $server_started ]] || wineserver -k 2>/dev/null || true; }
trap cleanup EXIT

# The programs: the monitor the Windows build made, the access-list reader and the installer
# around the monitor.
exe=$build/src/korvan-ups.exe
[[ -f $exe ]] || { say "no $exe (scripts/build-windows builds it with Qt for mingw)"; exit 1; }
mkdir -p "$work"
cp "$exe" "$work/korvan-ups.exe"
x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static -static-libgcc \
  -static-libstdc++ -DWIN32_LEAN_AND_MEAN "$root/tests/win32/installerAclCheck.cpp" -ladvapi32 \
  -o "$work/aclCheck.exe"
"$root/scripts/installer-windows" "$work/korvan-ups.exe" 2>/dev/null
setup=$work/korvan-ups-setup.exe

# A fresh prefix, its serial ports set before anything else runs in it.
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
server_started=1
source "$root/tests/win32/winePrefix.bash"
prepare_wine_prefix "$WINEPREFIX"

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

# The data of one registry value as reg.exe prints it, or nothing when it is missing.
reg_value() {
  wine reg query "$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" || true
}
has_key() { wine reg query "$1" /reg:64 >/dev/null 2>&1; }
lacks_key() { ! has_key "$1"; }
value_is() {  # value_is <key> <name> <expected>
  local got
  got=$(reg_value "$1" "$2")
  [[ $got == "$3" ]] || { echo "      $2: '$got', expected '$3'"; return 1; }
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
  wine "$setup" /S >/dev/null 2>&1 || status=$?
  check "the installer ends with 0 (got $status)" test "$status" -eq 0
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
check "Users may read and write the configuration key and its subkeys" grant_on_key

# A saved configuration, to see it kept.
wine reg add "$config_key" /v CfgUps /t REG_BINARY /d 0102 /f /reg:64 >/dev/null 2>&1

say "uninstalling"
uninstall
check "the program is gone" test ! -e "$programs/korvan-ups.exe"
check "the uninstaller is gone" test ! -e "$programs/uninstall.exe"
check "the program folder and the empty publisher's folder are gone" test ! -e "$publisher"
check "the Start menu entry is gone" test ! -e "$shortcut"
check "the start at logon is gone" value_missing "$run_key" KorvanUps
check "the entry in Programs and Features is gone" lacks_key "$uninstall_key"
check "the configuration stays" value_is "$config_key" CfgUps 0102

say "installing again, uninstalling with /PURGE"
install
check "the saved configuration survives the new installation" value_is "$config_key" CfgUps 0102
check "Users may still read and write the configuration key" grant_on_key
uninstall /PURGE
check "the program folder is gone" test ! -e "$publisher"
check "the entry in Programs and Features is gone" lacks_key "$uninstall_key"
check "the configuration key is gone" lacks_key "$config_key"
check "the publisher's empty keys are gone" lacks_key 'HKLM\Software\Korvan'

if ((failures > 0)); then
  say "$failures check(s) failed"
  exit 1
fi
say "all checks passed"
