#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the benchmarks: each workload
# against its reference in the same run, medians, ratios and targets.
# Pass --quick for one run of each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh
bin=build/bin
QT_QPA_PLATFORM=offscreen "$bin/lexigrove_bench" "$@"
"$bin/lexigrove_bench_languages"
bench/startup.sh "$bin/lexigrove" "$bin/minimal_window" "$bin/xwindow" 7
