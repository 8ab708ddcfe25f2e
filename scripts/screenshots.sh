#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the screenshots that the AppStream metainfo shows, from the real window
# of a build on a virtual display, clicked as a user clicks it, and writes
# their sizes into the metainfo. Run it after changing the window, then commit
# the PNGs; the home page serves them under https://lexigrove.org/screenshots/.
# Needs xvfb, xdotool, x11-apps (xwd) and netpbm. Arguments: the build folder (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
shots=$PWD/resources/screenshots
metainfo=$PWD/resources/org.lexigrove.Lexigrove.metainfo.xml
for tool in Xvfb xdotool xwd xwdtopnm pnmtopng; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
cleanup() {
  [ -z "${program:-}" ] || kill "$program" 2>/dev/null || true
  [ -z "${server:-}" ] || kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A display number of our own; the lock file tells which ones are taken.
display=90
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp & server=$!
export DISPLAY=:$display QT_QPA_PLATFORM=xcb HOME=$work LANG=C.UTF-8
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# Places in the fixed window (device-independent pixels at 96 dpi).
sample_words=(400 264)
start_lookup=(268 298)
done_ok=(62 47)
window=
start() { # arguments for lexigrove
  "$build/bin/lexigrove" "$@" & program=$!
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Lexigrove$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "screenshots: the window did not appear" >&2; exit 1; }
  sleep 1
}
click() { # x y
  xdotool mousemove --window "$window" "$1" "$2" click 1
  # Off the window, so that no tool tip covers it.
  xdotool mousemove 1020 760
  sleep 2
}
shoot() { # name
  xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng -compression 9 > "$shots/$1.png"
  kill "$program"
  wait "$program" 2>/dev/null || true
  program=
  echo "$shots/$1.png: $(pngsize "$shots/$1.png")"
}
# A PNG's header holds its width and height.
pngsize() { od -An -tu4 --endian=big -j16 -N8 "$1" | awk '{ print $1 "x" $2 }'; }

mkdir -p "$shots"
printf 'serene\nbright\nswift\nmeadow\nlantern\nharvest\n' > "$work/words.txt"
start "$work/words.txt"
shoot word-list

start
click "${sample_words[@]}"
click "${start_lookup[@]}"
# The run ends with its "Done." message, a small window of its own, over the list: its OK.
for box in $(xdotool search --onlyvisible --name '^Lexigrove$'); do
  [ "$box" = "$window" ] || xdotool mousemove --window "$box" "${done_ok[@]}" click 1 mousemove 1020 760
done
sleep 1
shoot lookup

for name in lookup word-list; do
  size=$(pngsize "$shots/$name.png")
  sed -i -E "s|(<image type=\"source\") width=\"[^\"]*\" height=\"[^\"]*\"(>https://lexigrove.org/screenshots/$name.png)|\\1 width=\"${size%x*}\" height=\"${size#*x}\"\\2|" \
    "$metainfo"
done
