#!/usr/bin/env bash
# A new user's first start on an X display (xvfb-run gives it one): with no per-user folder at
# all the window opens on the shipped welcome deck with no box in the way, and the keyboard
# alone reaches and follows a link.
# Usage: first_start_test.sh PIVREL
set -euo pipefail
pivrel=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"

start_x_session

# The profile folder does not exist yet, not even its parent.
PIVREL_HOME="$work/new/profile" QT_QPA_PLATFORM=xcb "$pivrel" >"$work/pivrel.log" 2>&1 &
pid=$!

wait_until 20 has_window_titled "$pid" "Pivrel 2.2 - Welcome to Pivrel" \
    || { cat "$work/pivrel.log" >&2; fail "the welcome deck was not shown"; }
win=$(window_titled "$pid" "Pivrel 2.2 - Welcome to Pivrel")
sleep 0.5
windows=$(xdotool search --onlyvisible --pid "$pid" --name '.' 2>/dev/null | wc -l)
[ "$windows" -eq 1 ] || fail "$windows windows are open at the start; a box is in the way"

# Tab twice: the first link, then the second ("See a table"), which Enter follows.
# A window just mapped may refuse the focus for a moment (BadMatch), the more so in a slow build.
wait_until 10 focus_window_titled "$pid" "Pivrel 2.2 - Welcome to Pivrel" \
    || fail "the window never took the keyboard focus"
sleep 0.3
xdotool key Tab
xdotool key Tab
xdotool key Return
wait_until 10 has_window_titled "$pid" "Pivrel 2.2 - A table" \
    || fail "Tab, Tab, Enter did not open the second link (title: $(xdotool getwindowname "$win"))"

# Alt+Left goes back to the first card.
xdotool key alt+Left
wait_until 10 has_window_titled "$pid" "Pivrel 2.2 - Welcome to Pivrel" || fail "Alt+Left did not go back"

xdotool key alt+x
wait_until 10 bash -c "! kill -0 $pid" || fail "the window did not close on Alt+X"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || { cat "$work/pivrel.log" >&2; fail "the browser exited with status $status"; }
echo "PASS"
