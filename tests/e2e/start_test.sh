#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real program on a virtual display: its window titled "Lexigrove"
# appears and it exits 0 when the window is closed; without words.mdb only the
# missing-database message appears and no main window ever does.
# Arguments: the lexigrove executable, the xwindow tool. LEXIGROVE_SCREENSHOT=file.xwd keeps a picture.
set -euo pipefail
source "$(dirname "$0")/on_display.sh"

# Closes the window titled Lexigrove and expects the program to end with 0.
close_and_expect_exit_0() { # pid, what was on screen
  "$xwindow" close Lexigrove || fail "nothing to close ($2)"
  timeout 20 tail --pid="$1" -f /dev/null || fail "the program did not end after closing $2"
  local status=0
  wait "$1" || status=$?
  [ "$status" -eq 0 ] || fail "exit status $status after closing $2"
}

# With the database: the window comes up, and closing it ends the program with 0.
"$program" & pid=$!
"$xwindow" wait Lexigrove 30 "$main_size" || fail "the main window did not appear"
# SIGPIPE is ignored, so an export into a pipe whose reader quit fails the
# write instead of ending the program with every result lost.
ignored=$(awk '/^SigIgn:/ { print $2 }' "/proc/$pid/status")
(( (16#$ignored >> 12) & 1 )) || fail "SIGPIPE is not ignored (SigIgn $ignored)"
if [ -n "${LEXIGROVE_SCREENSHOT:-}" ]; then
  # No event tells when Qt has painted a mapped window; a picture for people may wait a moment.
  sleep 1
  xwd -root -silent > "$LEXIGROVE_SCREENSHOT"
fi
close_and_expect_exit_0 "$pid" "the main window"
echo "window shown and closed, exit 0"

# Without the database: a message, never the main window, watched for as long as the program runs.
folder=$(mktemp -d)
watcher=
trap '[ -n "$watcher" ] && kill "$watcher" 2>/dev/null; rm -rf "$folder"' EXIT
cp "$program" "$folder/"
"$xwindow" wait Lexigrove 600 "$main_size" >/dev/null & watcher=$!
"$folder/$(basename "$program")" & pid=$!
"$xwindow" wait Lexigrove 30 || fail "no message about the missing database"
close_and_expect_exit_0 "$pid" "the missing-database message"
kill "$watcher" 2>/dev/null || true
status=0
wait "$watcher" || status=$?
watcher=
[ "$status" -ne 0 ] || fail "the main window appeared"
echo "missing database: message only, exit 0"
