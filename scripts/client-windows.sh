# Sourced (POSIX sh) by the scripts that drive the real client on an X display with xdotool: the demo,
# the screenshots, the product figures and the package test. They set CLIENT_PID to the
# client's process id, and MAIN to the main window's id once it is known.

# wait_for TENTHS COMMAND [ARGUMENTS...]: runs COMMAND every tenth of a second until it
# succeeds; fails after TENTHS tries.
wait_for() {
    local tenths=$1
    shift
    until "$@" >/dev/null 2>&1; do
        tenths=$((tenths - 1))
        [ "$tenths" -gt 0 ] || return 1
        sleep 0.1
    done
}

# The client's visible windows, one id a line.
client_windows() { xdotool search --onlyvisible --pid "$CLIENT_PID" 2>/dev/null || true; }

# The client's visible window whose name contains TEXT.
window_named() {
    local w
    for w in $(client_windows); do
        case "$(xdotool getwindowname "$w" 2>/dev/null)" in *"$1"*) echo "$w"; return 0 ;; esac
    done
    return 1
}

# "WIDTH HEIGHT" and "X Y" of a window.
size_of() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\)/\1 \2/p'; }
position_of() { xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p'; }

# The largest visible window: the main window (toasts and dialogs are smaller).
main_window() {
    local w
    for w in $(client_windows); do echo "$(size_of "$w") $w"; done |
        awk 'NF == 3 && (!id || $1 * $2 > best) { best = $1 * $2; id = $3 } END { if (id) print id; else exit 1 }'
}

# Visible windows other than the main window and Qt's 1 x 1 helpers: toasts, dialogs.
other_windows() {
    local w size
    for w in $(client_windows); do
        [ "$w" != "${MAIN:-}" ] || continue
        size=$(size_of "$w")
        if [ -n "$size" ] && [ "$size" != "1 1" ]; then echo "$w"; fi
    done
}
has_other_window() { [ -n "$(other_windows)" ]; }
no_other_window() { [ -z "$(other_windows)" ]; }

# click_in WINDOW X Y: a left click at X, Y inside WINDOW.
click_in() {
    local position
    position=$(position_of "$1")
    xdotool mousemove $((${position% *} + $2)) $((${position#* } + $3)) click 1
}

# Signs in from the login window with keys only: the credentials are remembered, so one Enter
# signs in. There is no window manager to give it the keyboard: it is given directly.
sign_in_with_keys() {
    xdotool windowfocus --sync "$1"
    xdotool key Return
}
