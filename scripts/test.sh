#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the whole test suite headless:
# once as the program ships (build/), then as the Debian package built from
# it and installed, then built by clang with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/), where every fuzz target also runs
# for a short, fixed time first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
jobs=$(nproc)

scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
# The Debian package of that tree, installed and started the way users get it.
tests/e2e/package_test.sh build

scripts/build.sh build-asan -DCMAKE_CXX_COMPILER=clang++-14 -DLEXIGROVE_SANITIZE=ON \
  -DLEXIGROVE_FUZZ=ON
cd build-asan
ctest -L fuzz --output-on-failure -j "$jobs"
# libFuzzer's own count of the inputs each target ran, for the record.
awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 } /^Done [0-9]+ runs/ { print name ": " $0 }' \
  Testing/Temporary/LastTest.log
QT_QPA_PLATFORM=offscreen ctest -LE fuzz --output-on-failure -j "$jobs"
