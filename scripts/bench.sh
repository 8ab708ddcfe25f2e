#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up what is missing, builds, and runs the benchmarks: each workload
# against its reference in the same run, medians, ratios and targets.
# Pass --quick for one run of each, or `imports` for the per-language import
# measurements (bench/import_languages.py).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh test
scripts/build.sh
bin=build/bin
# `scripts/bench.sh imports [en de ...]`: the per-language import table instead.
if [ "${1:-}" = imports ]; then
  shift
  exec python3 bench/import_languages.py "$bin/lexigrove-import" "$@"
fi
QT_QPA_PLATFORM=offscreen "$bin/lexigrove_bench" "$@"
python3 bench/first_use.py "$bin/lexigrove"
bench/startup.sh "$bin/lexigrove" "$bin/minimal_window" "$bin/xwindow" 7
bench/window_run.sh "$bin/lexigrove" "$bin/lexigrove_bench" "$bin/xwindow" 5
