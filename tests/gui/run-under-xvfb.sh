#!/bin/bash
# Runs a GUI test program on a virtual X server (xcb), where the middle button pastes the
# selection clipboard, and fails when that clipboard is missing there.
# Usage: run-under-xvfb.sh <test program> [<gtest options>]
# Exit: the program's status, 77 (skipped) without xvfb-run or in a ThreadSanitizer build.
set -u
command -v xvfb-run >/dev/null || { echo "skipped: no xvfb-run"; exit 77; }
program=$1
shift
# The X11 libraries lock and hand over events in ways ThreadSanitizer cannot see (their own
# threads, not built for it): the offscreen runs of the same tests are the ones it checks.
if ldd "$program" 2>/dev/null | grep -q libtsan; then
    echo "skipped: ThreadSanitizer build"
    exit 77
fi
# A random first display number: two xvfb-run -a started at once may take the same one.
# (-platform wins over the offscreen platform the GUI tests' main sets.) Under the address
# sanitizer, the xcb platform's D-Bus connection is not counted as a leak of ours.
suppressions=$(cd "$(dirname "$0")/../../tools/sanitizers" && pwd)/lsan-xcb.supp
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$suppressions"
exec env OMBRIX_REQUIRE_SELECTION=1 xvfb-run -a -n $((100 + RANDOM % 800)) \
    -s "-screen 0 1280x1024x24" "$program" -platform xcb "$@"
