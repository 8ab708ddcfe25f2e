#!/usr/bin/env bash
# Configures and builds into build/ (words.mdb included). Extra arguments go
# to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja "$@" >/dev/null
cmake --build build
