#!/bin/bash
# The splash window shows its picture during the start-up pause, when no events are handled:
# the program runs on a virtual X server, and 1 s after its 637 x 360 splash window appears
# the screen is captured. An unpainted window is one flat colour there.
# Usage: splash-painted.sh <ombrix> [<folder to keep the screenshot in>]
# Exit 0 painted, 1 not painted or no splash, 77 (skipped) without Xvfb or ImageMagick.
set -u
program=$1
keep=${2:-}
if [ "${3:-}" != "--on-display" ]; then
    for tool in xvfb-run xwininfo import convert; do
        command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
    done
    # Start the search for a free display at a random number: two xvfb-run -a started at the
    # same moment (parallel tests) can otherwise both take the first free one.
    exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" \
        bash "$0" "$program" "$keep" --on-display
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=xcb "$program" &
pid=$!
# A tree line ends with the window's size and its position on the screen: 637x360+X+Y  +X+Y
splash=""
for _ in $(seq 600); do # up to 30 s on a loaded machine
    splash=$(xwininfo -root -tree 2>/dev/null | grep -E ' 637x360\+' | head -1)
    [ -n "$splash" ] && break
    sleep 0.05
done
[ -n "$splash" ] && sleep 1 && import -window root "$work/screen.png"
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ -n "$splash" ] || { echo "no splash window appeared"; exit 1; }
[ -n "$keep" ] && cp "$work/screen.png" "$keep/splash-after-1s.png"
at=$(echo "$splash" | awk '{print $NF}')
colours=$(convert "$work/screen.png" -crop "637x360$at" +repage -format '%k' info:)
echo "the splash window at $at shows $colours colours"
[ "$colours" -gt 100 ]
