# Helpers shared by the end-to-end tests; sourced, not run.
# Every wait here is bounded, so a browser that hangs fails the test instead of stalling it.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; false on timeout.
wait_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

# The visible top-level window of a process, by its exact title.
# The search can answer with a window whose name is changing (the splash as it goes), so each
# answer's name is read again.
window_titled() { # PID TITLE
    local window
    for window in $(xdotool search --onlyvisible --pid "$1" --name "^$(escape_regex "$2")\$" 2>/dev/null); do
        if [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$2" ]; then
            echo "$window"
            return 0
        fi
    done
}

# Gives the keyboard focus to the process's window of that title, found afresh.
focus_window_titled() { # PID TITLE
    local window
    window=$(window_titled "$1" "$2")
    [ -n "$window" ] && xdotool windowfocus "$window"
}

escape_regex() {
    printf '%s' "$1" | sed 's/[][\.*^$()+?{}|]/\\&/g'
}

has_window_titled() { # PID TITLE
    [ -n "$(window_titled "$1" "$2")" ]
}

# Sets X, Y, WIDTH and HEIGHT to the window's place on the screen.
window_geometry() { # WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$')"
}

# A picture with only a few colours is an empty window or a failed grab, not a drawn card.
check_not_blank() { # PROBE PNG MIN_COLOURS
    local colours
    colours=$("$1" colours "$2") || fail "cannot read the picture $2"
    [ "$colours" -ge "$3" ] || fail "the picture $2 has only $colours colours"
}

# For a test on an X display: a scratch folder in $work and the browser's $pid, both cleaned up
# when the test ends, however it ends.
start_x_session() {
    [ -n "${DISPLAY:-}" ] || fail "no X display; run under xvfb-run"
    work=$(mktemp -d)
    pid=
    trap end_x_session EXIT
}

end_x_session() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
