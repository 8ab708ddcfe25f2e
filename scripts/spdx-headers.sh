#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gives every source file of the project the licence header it lacks:
# "// SPDX-License-Identifier: GPL-3.0-or-later" for C and C++, "# ..." for
# CMake, shell and Python (after a "#!" line). A file that names a licence in
# its first lines is left alone, so running it again changes nothing.
#   scripts/spdx-headers.sh [FOLDER]          add the missing headers (default: the project)
#   scripts/spdx-headers.sh --check [FOLDER]  list the files without one; exit 1 if any
# Build folders, test data and fuzz seeds are not sources; a file named build* is.
set -euo pipefail
check=false
if [ "${1-}" = --check ]; then
  check=true
  shift
fi
root=${1:-$(dirname "$0")/..}
cd "$root"
licence='SPDX-License-Identifier: GPL-3.0-or-later'

missing=0
while IFS= read -r -d '' file; do
  head -n 5 "$file" | grep -q 'SPDX-License-Identifier:' && continue
  if $check; then
    echo "${file#./}: no SPDX-License-Identifier"
    missing=$((missing + 1))
    continue
  fi
  case $file in
    *.cpp | *.cc | *.c | *.h | *.hpp) header="// $licence" ;;
    *) header="# $licence" ;;
  esac
  new=$(mktemp "$file.XXXXXX")
  {
    first=
    IFS= read -r first || [ -n "$first" ] || true
    if [[ $first == '#!'* ]]; then
      printf '%s\n%s\n' "$first" "$header"
    else
      printf '%s\n' "$header"
      [ -z "$first" ] && [ ! -s "$file" ] || printf '%s\n' "$first"
    fi
    cat
  } <"$file" >"$new"
  # The new content is complete before it takes the file's name, with the file's mode.
  chmod --reference="$file" "$new"
  mv "$new" "$file"
  echo "${file#./}: header added"
done < <(find . \( -name .git -o -type d -name 'build*' -o -path ./tests/data -o -path ./fuzz/corpus \) -prune -o \
  -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.c' -o -name '*.h' -o -name '*.hpp' \
  -o -name CMakeLists.txt -o -name '*.cmake' -o -name '*.sh' -o -name '*.py' \) -print0 | sort -z)

if $check && [ "$missing" -gt 0 ]; then
  echo "$missing source files have no licence header; scripts/spdx-headers.sh adds them"
  exit 1
fi
exit 0
