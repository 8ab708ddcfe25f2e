#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# scripts/spdx-headers.sh on a made-up tree: each kind of source gets its
# header in its own comment style, after a "#!" line, keeping its mode; files
# that have one, and what is not a source, stay as they were; a second run
# changes nothing; --check fails while one lacks it and passes after.
set -uo pipefail
script=$(realpath "$(dirname "$0")/../../scripts/spdx-headers.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
expect() { # what, condition...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; fail=1; fi
}
L='SPDX-License-Identifier: GPL-3.0-or-later'

# file | content before (\n for line ends) | content after
rows=(
  "src/a.cpp|int a;\n|// $L\nint a;\n"
  "src/a.h|#pragma once\n|// $L\n#pragma once\n"
  "run.sh|#!/bin/sh\necho hi\n|#!/bin/sh\n# $L\necho hi\n"
  "tool.py|#!/usr/bin/env python3\nprint(1)\n|#!/usr/bin/env python3\n# $L\nprint(1)\n"
  "CMakeLists.txt|project(x)\n|# $L\nproject(x)\n"
  "cmake/x.cmake|\nset(a 1)\n|# $L\n\nset(a 1)\n"
  "src/b.cpp|// $L\nint b;\n|// $L\nint b;\n"
  "src/c.cpp|// Why c.\n// SPDX-License-Identifier: MIT\n|// Why c.\n// SPDX-License-Identifier: MIT\n"
  "src/empty.h||// $L\n"
  "src/last.cpp|int last;|// $L\nint last;\n"
  "README.md|# Title\n|# Title\n"
  "scripts/build.sh|#!/bin/sh\n|#!/bin/sh\n# $L\n"
  "build/gen.cpp|int g;\n|int g;\n"
  "tests/data/x.py|x = 1\n|x = 1\n"
)
for row in "${rows[@]}"; do
  IFS='|' read -r file before _ <<<"$row"
  mkdir -p "$work/$(dirname "$file")"
  printf '%b' "$before" >"$work/$file"
done
chmod 755 "$work/run.sh"

"$script" --check "$work" >"$work.check" 2>&1
expect "--check fails while files lack the header" [ $? -eq 1 ]
expect "--check names them" grep -qx 'src/a.cpp: no SPDX-License-Identifier' "$work.check"
"$script" "$work" >/dev/null
for row in "${rows[@]}"; do
  IFS='|' read -r file _ after <<<"$row"
  expect "$file" [ "$(cat "$work/$file"; echo .)" = "$(printf '%b.' "$after")" ]
done
expect "run.sh keeps its mode" [ "$(stat -c %a "$work/run.sh")" = 755 ]
expect "no file left beside" [ -z "$(find "$work" -name '*.??????')" ]
sums=$(find "$work" -type f -exec md5sum {} + | sort)
expect "a second run adds nothing" [ -z "$("$script" "$work")" ]
expect "a second run changes nothing" [ "$(find "$work" -type f -exec md5sum {} + | sort)" = "$sums" ]
expect "--check passes then" "$script" --check "$work"
rm -f "$work.check"
exit $fail
