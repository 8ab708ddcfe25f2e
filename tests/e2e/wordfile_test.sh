#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real program with word files it cannot read beside one it can: a missing file, a
# folder and a FIFO. The window comes up at once (nothing waits on the FIFO), with one plain
# message naming each file and why it cannot be read, never an "Application Error", and the
# readable file's words are in the list. The message is read as a user can copy it: selected in
# the box and copied to the clipboard.
# Arguments: the lexigrove executable, the xwindow tool.
set -euo pipefail
source "$(dirname "$0")/on_display.sh"
source "$(dirname "$0")/box_text.sh"

folder=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$folder"' EXIT
mkdir "$folder/folder"
mkfifo "$folder/fifo"
printf 'look\n' > "$folder/good.txt"

"$program" "$folder/missing.txt" "$folder/folder" "$folder/fifo" "$folder/good.txt" & pid=$!
"$xwindow" wait Lexigrove 30 "$main_size" || fail "the main window did not appear"

# The box: the other window titled Lexigrove.
box=$("$xwindow" wait Lexigrove 10 "!$main_size" | cut -d' ' -f1) || fail "no message about the unreadable files"
"$xwindow" list | grep -q "Application Error" && fail "an Application Error box appeared"

text=$(box_text "$box")
echo "$text"
for expected in "Cannot open $folder/missing.txt: No such file or directory" \
                "Cannot open $folder/folder: Is a directory" \
                "Cannot open $folder/fifo: not a text file but a pipe or a device; nothing was loaded"; do
  grep -qxF -- "$expected" <<<"$text" || fail "the message lacks: $expected"
done
grep -q "good.txt" <<<"$text" && fail "the readable file is named in the message"
grep -q "ListView1_OLEDragDrop\|Application Error" <<<"$text" && fail "the message is an error report"

# OK closes the box; the window then ends with 0 when closed.
xdotool key --clearmodifiers Return
"$xwindow" gone Lexigrove 5 "!$main_size" || fail "OK left the box open"
"$xwindow" close Lexigrove || fail "nothing to close"
timeout 20 tail --pid="$pid" -f /dev/null || fail "the program did not end after closing"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "exit status $status"
echo "unreadable word files: one plain message, window usable, exit 0"
