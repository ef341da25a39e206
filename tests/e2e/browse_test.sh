#!/usr/bin/env bash
# Runs the real browser on an X display (xvfb-run gives it one) and drives it like a person:
# type an address into the location box, press Enter, click a link, then close the window.
# Usage: browse_test.sh PIVREL SCREEN_PROBE DATA_DIR
set -euo pipefail
pivrel=$1 probe=$2 data=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"

start_x_session

# The per-user files go to a fresh folder; the home page is a small local deck, so that the
# start needs no network and shows a known title.
mkdir -p "$work/home" "$work/xdg"
cat >"$work/start.wml" <<'DECK'
<?xml version="1.0"?>
<wml><card id="start" title="Start"><p>Ready.</p></card></wml>
DECK
printf '[GENERAL]\r\nUseBackImage=1\r\nBackImageFile=%s\r\nBackImageMode=0\r\n[BROWSER]\r\nHomePage=%s\r\n' \
    "$data/pics/skin1.bmp" "file://$work/start.wml" >"$work/home/Pivrel.ini"

PIVREL_HOME="$work/home" XDG_CONFIG_HOME="$work/xdg" XDG_CACHE_HOME="$work/xdg" QT_QPA_PLATFORM=xcb \
    "$pivrel" >"$work/pivrel.log" 2>&1 &
pid=$!

wait_until 20 has_window_titled "$pid" "Pivrel 2.2 - Start" \
    || { cat "$work/pivrel.log" >&2; fail "the home page was not shown"; }
win=$(window_titled "$pid" "Pivrel 2.2 - Start")
window_geometry "$win"
echo "window $win at $X,$Y size ${WIDTH}x$HEIGHT"

# Focus the location box with a click, replace its text, and press Enter.
edit=$("$probe" find-edit "$X" "$Y" "$WIDTH" "$HEIGHT") || fail "no location box found on the screen"
xdotool mousemove $edit click 1
xdotool key End shift+Home
xdotool type --delay 2 "file://$data/samples/index.wml"
xdotool key Return
wait_until 15 has_window_titled "$pid" "Pivrel 2.2 - Pivrel samples" \
    || fail "typing the address did not show the index deck (title: $(xdotool getwindowname "$win"))"

# The first link of the index opens the welcome deck, another file.
link=
find_link() { link=$("$probe" find-link "$X" "$Y" "$WIDTH" "$HEIGHT"); }
wait_until 10 find_link || fail "no link found on the screen"
link=$("$probe" find-link "$X" "$Y" "$WIDTH" "$HEIGHT")
xdotool mousemove $link click 1
wait_until 15 has_window_titled "$pid" "Pivrel 2.2 - Welcome to Pivrel" \
    || fail "clicking the link did not show the welcome deck (title: $(xdotool getwindowname "$win"))"

sleep 0.3
"$probe" grab "$work/shown.png" "$X" "$Y" "$WIDTH" "$HEIGHT" || fail "cannot grab the screen"
check_not_blank "$probe" "$work/shown.png" 16

# Alt+X closes the window; the recent list is saved on the way out, in the folder PIVREL_HOME
# names and nowhere else.
xdotool key alt+x
wait_until 10 bash -c "! kill -0 $pid" || fail "the window did not close on Alt+X"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { cat "$work/pivrel.log" >&2; fail "the browser exited with status $status"; }
pid=
grep -q "samples/welcome.wml" "$work/home/Recent.lst" || fail "Recent.lst lacks the welcome deck"
[ ! -e "$work/xdg/pivrel" ] || fail "files were written outside PIVREL_HOME: $(ls "$work/xdg/pivrel")"
echo "PASS"
