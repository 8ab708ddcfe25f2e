#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages as man and groff read them: no warning from either, only
# ASCII in the source (other characters as \[uXXXX] escapes), and the
# sections a user looks for.
set -uo pipefail
pages=$(realpath "$(dirname "$0")/../../resources")
fail=0
check() { # page, what, condition...
  local page=$1 what=$2
  shift 2
  if "$@"; then echo "ok: $page: $what"; else echo "FAIL: $page: $what"; fail=1; fi
}
quiet() { [ -z "$("$@" 2>&1 >/dev/null)" ]; }
ascii() { ! LC_ALL=C grep -qP '[^\x00-\x7f]' "$1"; }
section() { grep -qx ".SH $2" "$pages/$1"; }
mentions() { # page, section, text: the text within that section
  awk -v s=".SH $2" '/^\.SH/ { on = ($0 == s) } on' "$pages/$1" | grep -qF -- "$3"
}

for page in lexigrove.1 lexigrove-import.1; do
  check $page "man --warnings is silent" quiet env LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$pages/$page"
  check $page "groff -ww is silent" quiet groff -ww -man -Tutf8 -z "$pages/$page"
  check $page "ASCII source" ascii "$pages/$page"
  for name in "EXIT STATUS" ENVIRONMENT FILES BUGS "SEE ALSO"; do
    check $page "section $name" section $page "$name"
  done
  for other in 'hunspell (1)' 'sqlite3 (1)'; do
    check $page "SEE ALSO $other" mentions $page "SEE ALSO" ".BR ${other}"
  done
  check $page "BUGS gives the address" mentions $page BUGS https://lexigrove.org/bugs
done
for variable in TMPDIR XDG_CACHE_HOME XDG_DATA_HOME XDG_DATA_DIRS XDG_CONFIG_HOME HOME; do
  check lexigrove.1 "ENVIRONMENT $variable" mentions lexigrove.1 ENVIRONMENT ".B $variable"
done
for file in /usr/lib/lexigrove/ '$XDG_CACHE_HOME/lexigrove/' '$XDG_CONFIG_HOME/lexigrove/lexigrove.conf'; do
  check lexigrove.1 "FILES $file" mentions lexigrove.1 FILES ".I $file"
done
# The lookup's synopsis line names every option it takes, --language among them.
lookup_synopsis() {
  awk '/^\.SH SYNOPSIS/ { on = 1; next } /^\.SH/ { on = 0 } on' "$pages/lexigrove.1" |
    awk '/^\.B lexigrove \\-\\-lookup/ { on = 1 } /^\.br/ { on = 0 } on' | grep -qF "$1"
}
for option in format output pos relation database language quiet; do
  check lexigrove.1 "--lookup synopsis has --$option" lookup_synopsis "\\-\\-$option"
done
exit $fail
