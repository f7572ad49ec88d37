# Sourced by the runtime scripts that use the real program on the Wine
# virtual desktop (1024x768 at the top left of the X screen): the checks,
# waits, the screen, the tray icon, the program's registry key. The script
# sets KEY (the key reg_set and reg_read use by default), WORK (a scratch
# folder), PROGRAM_PID (the loader of the program it started) and, to keep
# the screen of a failed check, SHOTS (a folder).

# `note` says what a script does, with its name; `fail` counts a failed
# check and goes on; `die` ends the run at a check whose failure makes the
# rest meaningless; `finish` ends it, with 1 when any check failed.
FAILURES=0
note() { echo "${0##*/}: $*"; }
fail() {
    note "FAIL: $*"
    FAILURES=$((FAILURES + 1))
    [ -z "${SHOTS:-}" ] || shot "$SHOTS/failure-$FAILURES.png"
}
die() {
    note "FAIL: $*"
    if [ -n "${SHOTS:-}" ]; then
        shot "$SHOTS/failure.png"
        note "the screen at that moment: $SHOTS/failure.png"
    fi
    exit 1
}
finish() {
    [ "$FAILURES" = 0 ] || { note "$FAILURES checks failed"; exit 1; }
    note "all checks passed in $SECONDS s"
}

reg_set() { "$WINELOADER" reg add "$KEY" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null 2>&1; }
# Reads the key (or another) once; reg_get then prints a value of it as a
# decimal number, reg_string a string value as stored, nothing when it is
# not stored.
reg_read() { "$WINELOADER" reg query "${1:-$KEY}" 2>/dev/null | tr -d '\r' >"$WORK/key.txt"; }
reg_get() {
    local value
    value=$(awk -v n="$1" '$1 == n && $2 == "REG_DWORD" { print $3 }' "$WORK/key.txt")
    [ -n "$value" ] && echo $((value))
}
reg_string() {
    awk -v n="$1" '$1 == n && $2 == "REG_SZ" { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print }' "$WORK/key.txt"
}

# The virtual desktop only: the X screen around it is larger.
# (Only ever of the root window: import of a single window can hang.)
shot() { timeout 10 import -window root -crop 1024x768+0+0 +repage "$1" 2>/dev/null; }

# Polls `condition` every 0.1 s until it succeeds or `seconds` have passed.
wait_for() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

# The Unix processes of the program in this prefix. Where the 64-bit loader
# hands a 32-bit exe on (a 64-bit prefix, as in the worlds), the process a
# script started is not the program's: it is found by its command line, the
# exe's path first or right after a loader's, as the soak finds it.
program_processes() {
    local p
    for p in $(pgrep -f '(^|/wine[^ ]* )[^ ]*Wingzap[.]exe'); do
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$p"
    done
}

background_exists() { [ -n "$(xdotool search --name '^Background$' 2>/dev/null)" ]; }
program_ended() { ! kill -0 "$PROGRAM_PID" 2>/dev/null; }

# The tray icon: the pixels at the right end of the taskbar that are not the
# taskbar's own colour. Sets ICON_X, ICON_Y (its centre).
ICON_X=
ICON_Y=
find_icon() {
    shot "$WORK/tray.png"
    convert "$WORK/tray.png" -crop 120x16+904+751 +repage -depth 8 txt:- |
        awk 'NR > 1 { split($1, p, /[,:]/); print p[1] + 904, p[2] + 751, $3 }' >"$WORK/tray.txt"
    local taskbar
    taskbar=$(awk '{ print $3 }' "$WORK/tray.txt" | sort | uniq -c | sort -rn | awk 'NR == 1 { print $2 }')
    set -- $(awk -v bg="$taskbar" '$3 != bg {
            if (n++ == 0) { x0 = x1 = $1; y0 = y1 = $2 }
            if ($1 < x0) x0 = $1; if ($1 > x1) x1 = $1; if ($2 < y0) y0 = $2; if ($2 > y1) y1 = $2 }
        END { if (n >= 20) print int((x0 + x1) / 2), int((y0 + y1) / 2) }' "$WORK/tray.txt")
    [ $# -eq 2 ] || return 1
    ICON_X=$1
    ICON_Y=$2
}

# Waits for the end of the program started as PROGRAM_PID; its exit code in
# EXIT_CODE.
EXIT_CODE=
await_exit() {
    wait_for 10 program_ended || die "the program did not end"
    wait "$PROGRAM_PID"
    EXIT_CODE=$?
    PROGRAM_PID=
}
