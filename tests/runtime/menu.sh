#!/usr/bin/env bash
# The tray menu, the dialog and the flight keys of the real program, used as
# a person would: mouse and keyboard through xdotool on the Wine virtual
# desktop (1024x768 at the top left of the X screen), results read back from
# the registry, the X windows that Wine creates and screenshots.
#
#   menu.sh WINGZAP_EXE SCREENSHOT_DIR
#
# Runs inside the test session: DISPLAY, WINEPREFIX and WINELOADER are set.
set -u

EXE=${1:?path of the 64-bit Wingzap.exe}
SHOTS=${2:?folder for the screenshots}/menu_screenshots
KEY='HKCU\Software\Wingzap'
mkdir -p "$SHOTS"
rm -f "$SHOTS"/*.png
WORK=$(mktemp -d)
PROGRAM_PID=
VICTIM_PID=

cleanup() {
    # Only the processes started here, by their ids.
    [ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null
    [ -n "$VICTIM_PID" ] && kill "$VICTIM_PID" 2>/dev/null
    [ -n "$PROGRAM_PID" ] && wait "$PROGRAM_PID" 2>/dev/null
    [ -n "$VICTIM_PID" ] && wait "$VICTIM_PID" 2>/dev/null
    "$WINELOADER" reg delete "$KEY" /f >/dev/null 2>&1
    rm -rf "$WORK"
}
trap cleanup EXIT
source "$(dirname "$0")/desktop.sh"

# Colour of one pixel of a screenshot, as #RRGGBB.
pixel() { convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | awk 'NR == 2 { print substr($3, 1, 7) }'; }

# A person does something again when the first try brought nothing: a click
# that finds the program busy (still leaving its menu, say) is ignored by
# design. Runs `action` until `condition` holds, giving each try 3 s to show,
# for at most `seconds`.
act_until() {
    local seconds=$1 condition=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@" && wait_for 3 "$condition"; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
    done
}

# True when the part "x y width height" of the screen has been drawn: it is
# not of one colour, and two screenshots in a row show it the same.
LAST_AREA=
drawn() {
    shot "$WORK/area.png" || return 1
    convert "$WORK/area.png" -crop "$3x$4+$1+$2" +repage "$WORK/area-now.png"
    local colours
    colours=$(identify -format '%k' "$WORK/area-now.png")
    if [ -n "$LAST_AREA" ] && [ "$colours" -gt 2 ] && ! differ "$WORK/area-now.png" "$WORK/area-last.png"; then
        LAST_AREA=
        return 0
    fi
    LAST_AREA=1
    mv "$WORK/area-now.png" "$WORK/area-last.png"
    return 1
}

# Geometry "x y width height" of an X window, on the desktop's coordinates.
geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { if (w) print x, y, w, h }'
}

# The program's popup menu: a visible window of the program without a name.
MENU=
menu_window() {
    local w
    for w in $(xdotool search --onlyvisible --classname 'wingzap' 2>/dev/null); do
        [ -z "$(xdotool getwindowname "$w" 2>/dev/null)" ] || continue
        set -- $(geometry "$w")
        if [ "${3:-0}" -gt 50 ] && [ "${4:-0}" -gt 50 ]; then
            MENU="$*"
            return 0
        fi
    done
    return 1
}
menu_closed() { ! menu_window; }
menu_open() { menu_window && drawn $MENU; }
open_menu() { LAST_AREA=; act_until 15 menu_open right_click_icon; }

# The options dialog: its window text is "Wingzap" in every language.
DIALOG=
dialog_window() {
    local w
    w=$(xdotool search --onlyvisible --name '^Wingzap$' 2>/dev/null | head -1)
    [ -n "$w" ] || return 1
    DIALOG=$(geometry "$w")
    [ -n "$DIALOG" ]
}
dialog_closed() { ! dialog_window; }
dialog_open() { dialog_window && drawn $DIALOG; }

# A flight: the background window is stretched over the whole desktop.
background_width() {
    local w
    w=$(xdotool search --name '^Background$' 2>/dev/null | head -1)
    [ -n "$w" ] || return 1
    set -- $(geometry "$w")
    echo "${3:-0}"
}
flying() { [ "$(background_width)" = 1024 ]; }
parked() { [ "$(background_width)" = 1 ]; }

icon_of() { convert "$1" -crop "16x16+$((ICON_X - 8))+$((ICON_Y - 8))" +repage "$2"; }
icon_picture() { shot "$WORK/i.png" && icon_of "$WORK/i.png" "$1"; }
differ() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1)" != 0 ]; }
icon_differs_from() { icon_picture "$WORK/now.png" && differ "$WORK/now.png" "$1"; }
icon_equals() { icon_picture "$WORK/now.png" && ! differ "$WORK/now.png" "$1"; }

right_click_icon() { xdotool mousemove "$ICON_X" "$ICON_Y" click 3; }
double_click_icon() { xdotool mousemove "$ICON_X" "$ICON_Y" click --repeat 2 --delay 60 1; }

# The item rows of the NT menu from its top: every item is 17 pixels high,
# a separator 9, the frame 3.
ROW_INFO=11 ROW_TOGGLE=37 ROW_RESET_WINDOWS=54 ROW_RESET_STATISTICS=71 ROW_QUIT=97
choose() {
    set -- $MENU "$1"
    xdotool mousemove $(($1 + 30)) $(($2 + $5)) click 1
}

# The dialog's controls, from its top left corner.
type_speed() {
    local text=$1
    set -- $DIALOG
    xdotool mousemove $(($1 + 376)) $(($2 + 211)) click 1
    xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
    xdotool type "$text"
}
press_ok() { set -- $DIALOG && xdotool mousemove $(($1 + 214)) $(($2 + 255)) click 1; }
press_cancel() { set -- $DIALOG && xdotool mousemove $(($1 + 314)) $(($2 + 255)) click 1; }

start_program() {
    env "$@" "$WINELOADER" "$EXE" >/dev/null 2>&1 &
    PROGRAM_PID=$!
    wait_for 15 background_exists || die "the program made no window"
    wait_for 10 find_icon || die "no tray icon appeared"
    note "tray icon at $ICON_X,$ICON_Y"
}

# A key during a flight, typed with the keyboard focus in the other program's
# window, brought to the front after the launch: as on Windows 10, where a
# program launched by a timer gets no foreground, the flight's keys reach the
# program all the same.
press_during_flight() {
    local key=$1
    shift
    xdotool windowfocus "$VICTIM" 2>/dev/null
    xdotool key "$key"
    wait_for 5 "$@"
}


# ---------------------------------------------------------------------------
# A victim for the holes: a window of another program.
"$WINELOADER" reg delete "$KEY" /f >/dev/null 2>&1
reg_set UseSound 0     # no launch sound: it would hold everything for a second
reg_set Speed 1000     # no chicken until the speed is changed below
"$WINELOADER" notepad >/dev/null 2>&1 &
VICTIM_PID=$!
victim_window() { VICTIM=$(xdotool search --onlyvisible --name 'Notepad' 2>/dev/null | head -1); [ -n "$VICTIM" ]; }
wait_for 15 victim_window || die "the victim window did not appear"
set -- $(geometry "$VICTIM")
# A point of its text area, as near to the desktop's middle as it can be: a
# chicken enters at the left or right edge and is far from there when shot.
SHOT_X=$(( 512 < $1 + 20 ? $1 + 20 : (512 > $1 + $3 - 20 ? $1 + $3 - 20 : 512) ))
SHOT_Y=$(( $2 + $4 / 2 + 10 ))
victim_colour() { shot "$WORK/v.png" && pixel "$WORK/v.png" "$SHOT_X" "$SHOT_Y"; }
holed() { [ "$(victim_colour)" != "#FFFFFF" ]; }
whole() { [ "$(victim_colour)" = "#FFFFFF" ]; }
wait_for 5 whole || die "the victim's text area is not white at $SHOT_X,$SHOT_Y"

# ---------------------------------------------------------------------------
note "English user"
start_program
icon_of "$WORK/tray.png" "$WORK/enabled.png"

open_menu || die "a right-click on the icon opened no menu"
shot "$SHOTS/menu_en.png"
set -- $MENU
MENU_WIDTH_EN=$3
[ "$4" = 109 ] || die "the menu is $4 pixels high, not that of five items and two separators"

choose $ROW_INFO
wait_for 5 dialog_open || die "Info opened no dialog"
wait_for 2 menu_closed || fail "the menu stayed open"
shot "$SHOTS/dialog_en.png"
set -- $DIALOG
convert "$SHOTS/dialog_en.png" -crop "$3x$4+$1+$2" +repage "$WORK/dialog_en.png"
act_until 10 dialog_closed press_cancel || die "Cancel did not close the dialog"

act_until 15 dialog_open double_click_icon || die "a double-click on the icon opened no dialog"
act_until 10 dialog_closed press_cancel || die "Cancel did not close the dialog"

# Disable: another picture, and no chicken even at the shortest speed.
open_menu || die "the menu did not open again"
choose $ROW_TOGGLE
wait_for 5 icon_differs_from "$WORK/enabled.png" || fail "Disable did not swap the tray icon"
act_until 15 dialog_open double_click_icon || die "no dialog for the new speed"
type_speed 1
act_until 10 dialog_closed press_ok || die "OK did not close the dialog"
reg_read
[ "$(reg_get Speed)" = 1 ] || fail "OK did not store the new speed (Speed=$(reg_get Speed))"
if wait_for 1 flying; then fail "a chicken came while disabled"; fi

open_menu || die "the menu did not open while disabled"
shot "$WORK/menu_disabled.png"
set -- $MENU
convert "$SHOTS/menu_en.png" -crop "$3x$4+$1+$2" +repage "$WORK/m1.png"
convert "$WORK/menu_disabled.png" -crop "$3x$4+$1+$2" +repage "$WORK/m2.png"
differ "$WORK/m1.png" "$WORK/m2.png" || fail "the toggle item reads the same enabled and disabled"
cp "$WORK/menu_disabled.png" "$SHOTS/menu_en_disabled.png"
choose $ROW_TOGGLE
wait_for 5 flying || die "no chicken came after Enable"

# A missed shot into the victim, then O into the victim: the flight ends,
# the dialog opens.
xdotool mousemove "$SHOT_X" "$SHOT_Y" click 1
press_during_flight o dialog_window || die "O during the flight opened no dialog"
wait_for 5 dialog_open || die "the dialog of O was not drawn"
flying && fail "the flight went on behind the dialog of O"
type_speed 1000
act_until 10 dialog_closed press_ok || die "OK did not close the dialog"
wait_for 3 parked || fail "the background window still covers the screen"
wait_for 3 holed || fail "the missed shot left no hole in the victim"
icon_of "$WORK/v.png" "$WORK/now.png"  # the screenshot that showed the hole
differ "$WORK/now.png" "$WORK/enabled.png" && ! wait_for 3 icon_equals "$WORK/enabled.png" &&
    fail "Enable did not bring the enabled picture back"

open_menu || die "the menu did not open after the flight"
choose $ROW_RESET_WINDOWS
wait_for 5 whole || fail "Reset Windows did not remove the hole"

open_menu || die "the menu did not open for Quit"
choose $ROW_QUIT
await_exit
[ "$EXIT_CODE" = 0 ] || fail "Quit ended the program with code $EXIT_CODE"
reg_read
[ "$(reg_get CountMissedShots)" = 1 ] || fail "the missed shot was not stored (CountMissedShots=$(reg_get CountMissedShots))"
[ "$(reg_get Speed)" = 1000 ] || fail "Speed is $(reg_get Speed), not the 1000 set with O"

# ---------------------------------------------------------------------------
note "German user"
start_program LC_ALL=de_DE.UTF-8
open_menu || die "a right-click on the icon opened no menu for a German user"
shot "$SHOTS/menu_de.png"
set -- $MENU
[ "$3" != "$MENU_WIDTH_EN" ] || fail "the German menu is as wide as the English one: not German"
choose $ROW_INFO
wait_for 5 dialog_open || die "Info opened no dialog for a German user"
shot "$SHOTS/dialog_de.png"
set -- $DIALOG
convert "$SHOTS/dialog_de.png" -crop "$3x$4+$1+$2" +repage "$WORK/dialog_de.png"
differ "$WORK/dialog_en.png" "$WORK/dialog_de.png" || fail "the German dialog looks like the English one"

# A chicken at once, a missed shot, and Esc into the victim quits.
type_speed 1
act_until 10 dialog_closed press_ok || die "OK did not close the German dialog"
wait_for 5 flying || die "no chicken came at speed 1"
xdotool mousemove "$SHOT_X" "$SHOT_Y" click 1
press_during_flight Escape program_ended || die "Esc during the flight did not end the program"
await_exit
[ "$EXIT_CODE" = 0 ] || fail "Esc during a flight ended the program with code $EXIT_CODE"
wait_for 3 whole || fail "the hole stayed after the program ended"
reg_read
[ "$(reg_get CountMissedShots)" = 2 ] || fail "statistics not written at the end (CountMissedShots=$(reg_get CountMissedShots))"

note "screenshots in $SHOTS"
finish
