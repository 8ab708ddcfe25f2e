# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that drive the real window. box_text WINDOW prints a message box's
# text as a user copies it: a click in the text, select all, copy.
box_text() {
  local X Y WIDTH HEIGHT SCREEN WINDOW text=
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool windowfocus --sync "$1"
  for _ in $(seq 20); do
    xdotool mousemove $((X + WIDTH / 2)) $((Y + 20)) click 1
    xdotool key --clearmodifiers ctrl+a
    xdotool key --clearmodifiers ctrl+c
    text=$(timeout 5 xsel --clipboard --output 2>/dev/null || true)
    [ -n "$text" ] && break
    # A click before Qt has laid the box out is lost, and nothing tells when it has: try again.
    sleep 0.2
  done
  printf '%s\n' "$text"
}
