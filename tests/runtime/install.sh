#!/usr/bin/env bash
# The installer as a user runs it, silent: an install for the current user,
# the installed program, an upgrade over a running Wingzap (and over one
# that does not answer), and the uninstaller. Results are read from the
# files, the registry and the program's end.
#
#   install.sh SETUP_EXE SHIPPED_EXE
#
# Runs inside the test session of the shipped exe: DISPLAY, WINEPREFIX and
# WINELOADER are set, for wine32 (the installer is a 32-bit program).
set -u

SETUP=${1:?path of Wingzap-<version>-setup.exe}
EXE=${2:?path of the shipped Wingzap.exe}
KEY='HKCU\Software\Wingzap'
UNINSTALL='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Wingzap'
RUN='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
WORK=$(mktemp -d)
PROGRAM_PID=

# The folder and the shortcut in the Unix file system of the prefix.
unix() { local p=${1#?:}; echo "$WINEPREFIX/drive_c${p//\\//}"; }
read -r LOCALAPPDATA APPDATA < <("$WINELOADER" cmd /c 'echo %LOCALAPPDATA% %APPDATA%' 2>/dev/null | tr -d '\r')
FOLDER="$LOCALAPPDATA\\Programs\\Wingzap"
DIR=$(unix "$FOLDER")
LINK=$(unix "$APPDATA\\Microsoft\\Windows\\Start Menu\\Programs\\Wingzap.lnk")

cleanup() {
    # Only the program started here, by its id.
    [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null && wait "$PROGRAM_PID" 2>/dev/null
    "$WINELOADER" reg delete "$KEY" /f >/dev/null 2>&1
    "$WINELOADER" reg delete "$UNINSTALL" /f >/dev/null 2>&1
    "$WINELOADER" reg delete "$RUN" /v Wingzap /f >/dev/null 2>&1
    rm -rf "$DIR" "$LINK" "$WORK"
}
trap cleanup EXIT
source "$(dirname "$0")/desktop.sh"

[ -n "$LOCALAPPDATA" ] && [ -n "$APPDATA" ] || die "no %LOCALAPPDATA% or %APPDATA% in the prefix"
[ ! -e "$DIR" ] && [ ! -e "$LINK" ] || die "$DIR or $LINK is left from an earlier run"
"$WINELOADER" reg delete "$UNINSTALL" /f >/dev/null 2>&1
"$WINELOADER" reg delete "$KEY" /f >/dev/null 2>&1
reg_set UseSound 0     # no launch sound
reg_set Speed 1000     # no chicken during the test
reg_set CountHits 7

setup() { "$WINELOADER" "$SETUP" "$@" >/dev/null 2>&1; }
start_installed() {
    "$WINELOADER" "$DIR/Wingzap.exe" >/dev/null 2>&1 &
    PROGRAM_PID=$!
    wait_for 15 background_exists || die "the installed program made no window"
}
run_value() { reg_read "$RUN"; reg_string Wingzap; }
uninstalled() { ! "$WINELOADER" reg query "$UNINSTALL" >/dev/null 2>&1; }

# ---------------------------------------------------------------------------
note "a silent install"
setup /S || die "the silent install failed with exit code $?"
cmp -s "$DIR/Wingzap.exe" "$EXE" || fail "the installed Wingzap.exe is not $EXE"
[ -f "$DIR/Uninstall.exe" ] || fail "no Uninstall.exe in $FOLDER"
[ -f "$LINK" ] || fail "no Start-menu shortcut $LINK"
strings -a "$LINK" | grep -qxF "$FOLDER\\Wingzap.exe" || fail "the shortcut does not start $FOLDER\\Wingzap.exe"
reg_read "$UNINSTALL"
for pair in "DisplayName=Wingzap" "Publisher=The Wingzap developers" \
    "DisplayVersion=$(basename "$SETUP" | sed 's/^Wingzap-//; s/-setup\.exe$//')" \
    "DisplayIcon=$FOLDER\\Wingzap.exe" "InstallLocation=$FOLDER" \
    "UninstallString=\"$FOLDER\\Uninstall.exe\"" "QuietUninstallString=\"$FOLDER\\Uninstall.exe\" /S"; do
    name=${pair%%=*}
    [ "$(reg_string "$name")" = "${pair#*=}" ] || fail "$name is \"$(reg_string "$name")\", not \"${pair#*=}\""
done
[ "$(reg_get NoModify)" = 1 ] && [ "$(reg_get NoRepair)" = 1 ] || fail "NoModify or NoRepair is not 1"
size=$(find "$DIR" -type f -printf '%s\n' | awk '{ n += $1 } END { print int(n / 1024) }')
estimate=$(reg_get EstimatedSize)
[ -n "$estimate" ] && [ "$estimate" -ge $((size - 1)) ] && [ "$estimate" -le $((size + 1)) ] ||
    fail "EstimatedSize is ${estimate:-missing} KB, the folder holds $size KB"
[ -z "$(run_value)" ] || fail "a Run value without /LOGON: $(run_value)"

# Another exe in the folder than the one shipped: the upgrade must replace it.
printf x >>"$DIR/Wingzap.exe"
start_installed
wait_for 10 find_icon || die "the installed program shows no tray icon"
note "the installed program's tray icon at $ICON_X,$ICON_Y"

# ---------------------------------------------------------------------------
note "an upgrade over a Wingzap that does not answer"
hung=$(program_processes)
[ -n "$hung" ] || die "no Unix process of the running program"
kill -STOP $hung
setup /S /LOGON
code=$?
kill -CONT $hung
[ "$code" = 2 ] || fail "the install over a hung Wingzap ended with code $code, not 2"
cmp -s "$DIR/Wingzap.exe" "$EXE" && fail "the install over a hung Wingzap replaced the exe"
[ -z "$(run_value)" ] || fail "the install over a hung Wingzap wrote the Run value"
# Woken up, it handles the Quit it was sent.
await_exit

note "an upgrade over a running Wingzap"
start_installed
"$WINELOADER" reg delete "$KEY" /v CountMissedShots /f >/dev/null 2>&1  # written back at the quit
setup /S /LOGON || fail "the upgrade failed with exit code $?"
program_ended || fail "the running program was still there when the upgrade ended"
await_exit
[ "$EXIT_CODE" = 0 ] || fail "the running program ended with code $EXIT_CODE"
cmp -s "$DIR/Wingzap.exe" "$EXE" || fail "the upgrade did not put $EXE in place"
[ "$(run_value)" = "\"$FOLDER\\Wingzap.exe\"" ] || fail "the Run value is \"$(run_value)\" after /LOGON"
reg_read
[ "$(reg_get UseSound),$(reg_get Speed),$(reg_get CountHits)" = "0,1000,7" ] ||
    fail "settings and counters changed: UseSound=$(reg_get UseSound) Speed=$(reg_get Speed) CountHits=$(reg_get CountHits)"
[ "$(reg_get CountMissedShots)" = 0 ] || fail "the quit did not write the counters (CountMissedShots=$(reg_get CountMissedShots))"

# ---------------------------------------------------------------------------
note "a silent uninstall over a running Wingzap"
start_installed
# The uninstaller runs on from a copy of itself: its last step is the key.
"$WINELOADER" "$DIR/Uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed with exit code $?"
wait_for 20 uninstalled || die "the Uninstall key is still there"
await_exit
[ "$EXIT_CODE" = 0 ] || fail "the uninstall ended the program with code $EXIT_CODE"
[ ! -e "$DIR" ] || fail "$FOLDER is still there: $(ls "$DIR" | paste -sd' ')"
[ ! -e "$LINK" ] || fail "the Start-menu shortcut is still there"
[ -z "$(run_value)" ] || fail "the Run value is still there"
reg_read
[ "$(reg_get CountHits)" = 7 ] || fail "the silent uninstall did not keep $KEY"

finish
