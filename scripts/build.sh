#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds into build/ (words.mdb included), warnings as
# errors. A first argument that is not an option names another build folder,
# such as build-asan; the other arguments go to the configure step. The tests
# are built unless -DBUILD_TESTING=OFF is passed, whatever an earlier run chose.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then
  dir=$1
  shift
fi
cmake -S . -B "$dir" -G Ninja -DLEXIGROVE_WERROR=ON -DBUILD_TESTING=ON "$@" >/dev/null
cmake --build "$dir"
