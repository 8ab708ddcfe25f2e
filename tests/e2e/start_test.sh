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
  sleep 1
  xwd -root -silent > "$LEXIGROVE_SCREENSHOT"
fi
close_and_expect_exit_0 "$pid" "the main window"
echo "window shown and closed, exit 0"

# Without the database: a message, never the main window.
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/"
"$folder/$(basename "$program")" & pid=$!
"$xwindow" wait Lexigrove 30 || fail "no message about the missing database"
for _ in 1 2 3 4 5 6 7 8 9 10; do
  if "$xwindow" wait Lexigrove 0 "$main_size" >/dev/null; then fail "the main window appeared"; fi
  sleep 0.1
done
close_and_expect_exit_0 "$pid" "the missing-database message"
echo "missing database: message only, exit 0"
