#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# W1 as a user waits for it: the real program on an X server (Xvfb), driven with xdotool. Every
# English headword is loaded through the Load dialog; the clock runs from the click on "Start
# Looking Up Synonyms" until the end message is mapped. The reference is the bench's plain
# prepared-statement loop over the same words, measured in the same session.
# Arguments: lexigrove, lexigrove_bench, xwindow, runs. Needs xvfb, xdotool, xsel and sqlite3.
set -euo pipefail
if [ -z "${INSIDE_XVFB:-}" ]; then
  exec env INSIDE_XVFB=1 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
program=$1 bench=$2 xwindow=$3 runs=${4:-5}
main_size=536x631
source "$(dirname "$0")/../tests/e2e/box_text.sh"
load_title="Load List(s) - Hold Ctrl to select multiple list files"

scratch=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
# Its own settings, so that the run starts as a first start does and leaves the user's alone.
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config
words=$scratch/words.txt
sqlite3 "$(dirname "$program")/words.mdb" "select word from headword order by id" > "$words"

# The CPU time the process has used, in clock ticks.
cpu_of() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Returns once the process has used no CPU over a tenth of a second: the load has ended.
wait_idle() {
  local before after
  after=$(cpu_of "$1")
  while :; do
    before=$after
    sleep 0.1
    after=$(cpu_of "$1")
    [ "$after" = "$before" ] && return
  done
}
# Clicks the point (in pixels of the window's layout) of the window.
click_at() { # window x y
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
}

one_run() {
  local window box start end told
  "$program" > /dev/null 2>&1 & pid=$!
  window=$("$xwindow" wait Lexigrove 30 "$main_size" | cut -d' ' -f1)
  wait_idle "$pid"
  click_at "$window" 400 230 # "Load Words From File"
  "$xwindow" wait "$load_title" 10 > /dev/null
  wait_idle "$pid"
  # The file name field has the focus.
  xdotool type --delay 0 "$words"
  xdotool key Return
  "$xwindow" gone "$load_title" 10 > /dev/null
  wait_idle "$pid"
  start=$(date +%s%N)
  click_at "$window" 268 298 # "Start Looking Up Synonyms"
  box=$("$xwindow" wait Lexigrove 600 "!$main_size" | cut -d' ' -f1)
  end=$(date +%s%N)
  # The message, copied as a user would: the run's own end, not a refusal.
  told=$(box_text "$box")
  grep -q "^Done.$" <<<"$told" || { echo "the run did not end with Done. but: $told" >&2; exit 1; }
  xdotool key Return
  "$xwindow" close Lexigrove > /dev/null || true
  wait "$pid" || true
  pid=
  echo $(( (end - start) / 1000 ))
}

best() { sort -n | head -1; }

ours=() loop=()
for _ in $(seq "$runs"); do
  ours+=("$(one_run)")
  loop+=("$(QT_QPA_PLATFORM=offscreen "$bench" loop | awk '{ print int($1 * 1e6) }')")
done
o=$(printf '%s\n' "${ours[@]}" | best)
r=$(printf '%s\n' "${loop[@]}" | best)
printf 'window %s s; loop %s s\n' "$(printf '%s\n' "${ours[@]}" | awk '{ printf " %.3f", $1 / 1e6 }')" \
  "$(printf '%s\n' "${loop[@]}" | awk '{ printf " %.3f", $1 / 1e6 }')"
awk -v o="$o" -v r="$r" 'BEGIN { printf "%-34s %10.3f s %10.3f s %7.2f   <= 1.5 x prepared-statement loop (best of each)\n", "W1 from outside, click to message", o/1e6, r/1e6, o/r }'
