#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Lexigrove.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh
if [ -x build/bin/lexigrove ]; then
  exec build/bin/lexigrove
fi
echo "Built the importer, build/bin/words.mdb and the libraries; the window comes in a later step."
