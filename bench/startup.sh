#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up time of the real program, from launch until its window is mapped,
# observed from outside under Xvfb, against a minimal Qt window program.
# Arguments: lexigrove, minimal_window, xwindow, runs.
set -euo pipefail
if [ -z "${INSIDE_XVFB:-}" ]; then
  exec env INSIDE_XVFB=1 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
program=$1 minimal=$2 xwindow=$3 runs=${4:-7}

time_to_window() { # program title
  local start end pid
  start=$(date +%s%N)
  "$1" >/dev/null 2>&1 & pid=$!
  "$xwindow" wait "$2" 30 536x631 >/dev/null
  end=$(date +%s%N)
  "$xwindow" close "$2" >/dev/null || kill "$pid"
  wait "$pid" || true
  echo $(( (end - start) / 1000 ))
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

ours=() reference=()
for _ in $(seq "$runs"); do
  ours+=("$(time_to_window "$program" Lexigrove)")
  reference+=("$(time_to_window "$minimal" Minimal)")
done
o=$(printf '%s\n' "${ours[@]}" | median)
r=$(printf '%s\n' "${reference[@]}" | median)
awk -v o="$o" -v r="$r" 'BEGIN { printf "%-34s %10.3f s %10.3f s %7.2f   <= 1.3 x minimal Qt window\n", "W4 start-up to window shown", o/1e6, r/1e6, o/r }'
