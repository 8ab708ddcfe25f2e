#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up what is missing, builds, and starts Lexigrove. The tests are not built:
# their packages are scripts/test.sh's.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh run
scripts/build.sh -DBUILD_TESTING=OFF
exec build/bin/lexigrove
