#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up what is missing, builds, and runs the whole test suite headless:
# once as developers build (build/), once as distributions build (the Release
# type with Debian's hardening flags, build-release/), then as the Debian
# package built from that tree and installed, then built by clang with
# AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), where every
# fuzz target also runs for a short, fixed time first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh test
jobs=$(nproc)

scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

# Optimised as for a release, with the flags Debian builds its packages with
# (fortified calls, stack protector, format checks, full RELRO); build.sh
# keeps warnings errors here too.
debian_flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$(debian_flags CPPFLAGS) $(debian_flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(debian_flags LDFLAGS)"
(cd build-release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
# The Debian package of that tree, installed and started the way users get it.
tests/e2e/package_test.sh build-release

scripts/build.sh build-asan -DCMAKE_CXX_COMPILER=clang++-14 -DLEXIGROVE_SANITIZE=ON \
  -DLEXIGROVE_FUZZ=ON
cd build-asan
ctest -L fuzz --output-on-failure -j "$jobs"
# libFuzzer's own count of the inputs each target ran, for the record.
awk '/^[0-9]+\/[0-9]+ Testing: / { name = $3 } /^Done [0-9]+ runs/ { print name ": " $0 }' \
  Testing/Temporary/LastTest.log
QT_QPA_PLATFORM=offscreen ctest -LE fuzz --output-on-failure -j "$jobs"
