# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the window's end-to-end scripts, whose arguments are the lexigrove executable and
# the xwindow tool: runs the script again on its own virtual display unless it is on one, and
# gives it program, xwindow, fail and the main window's size.
program=$1
xwindow=$2
export QT_QPA_PLATFORM=xcb

if [ -z "${DISPLAY:-}" ] || [ -z "${INSIDE_XVFB:-}" ]; then
  exec env INSIDE_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

fail() { echo "FAIL: $*"; "$xwindow" list || true; exit 1; }
main_size=536x631
