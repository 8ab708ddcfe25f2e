#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Lexigrove.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh
exec build/bin/lexigrove
