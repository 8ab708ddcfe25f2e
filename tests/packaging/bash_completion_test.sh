#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sources the bash completion as bash-completion loads it and asks it what it
# offers after each command line below, as bash asks it on Tab, against the
# built program: its own database, one imported from the small thesaurus,
# and the thesauri installed on this machine.
# Arguments: the lexigrove executable, the lexigrove-import executable.
set -uo pipefail
lexigrove=$(realpath "$1")
import=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
source=$here/../..

fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
mkdir -p "$HOME" "$work/files"
: >"$work/files/words.txt"
: >"$work/files/synonyms.csv"
"$import" "$source/tests/data/mini_thesaurus.dat" "$work/mini.mdb" 2>/dev/null ||
  { echo "FAIL: cannot import the small thesaurus"; exit 1; }

# shellcheck source=/dev/null
. /usr/share/bash-completion/bash_completion
# shellcheck source=../../resources/completion/lexigrove.bash
. "$source/resources/completion/lexigrove.bash"
[ "$(complete -p lexigrove)" = "complete -F _lexigrove lexigrove" ] ||
  { echo "FAIL: sourcing defines no completion for lexigrove"; exit 1; }

# What the completion offers for LINE (the cursor at its end), sorted, one a line.
offers() {
  local line=$1
  COMP_LINE=$line
  COMP_POINT=${#line}
  # bash splits at its word breaks, so --format=c is three words.
  read -ra COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  (cd "$work/files" && _lexigrove lexigrove "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort)
}

languages=$("$lexigrove" --languages | cut -f1 | grep '^fr' | sort | paste -sd ' ')
[ -n "$languages" ] || { echo "FAIL: no French thesaurus installed (mythes-fr)"; exit 1; }
P=$lexigrove
# line | what is offered, sorted, separated by spaces
while IFS='|' read -r line expected; do
  line=${line//@/$P}
  line=${line//MINI/$work/mini.mdb}
  got=$(offers "$line" | paste -sd ' ')
  if [ "$got" = "$expected" ]; then
    echo "ok: ${line#"$P"} -> $got"
  else
    echo "FAIL: ${line#"$P"}: offered '$got', expected '$expected'"
    fail=1
  fi
done <<EOF2
@ --fo|--format
@ --la|--language --languages
@ --lookup --in|--inflect
@ --format |aligned csv jsonl rows table xlsx
@ --lookup --format j|jsonl
@ --lookup --format=c|csv
@ --lookup --pos |adj adv noun verb
@ --lookup --pos adj,v|adj,verb
@ --lookup --relation sim|similar\\ term
@ --lookup --relation |antonym generic\\ term related\\ term similar\\ term synonym
@ --database MINI --lookup --pos |adj noun verb
@ --lookup --database=MINI --relation ant|antonym
@ --language fr|$languages
@ --lookup --output syn|synonyms.csv
@ --lookup wo|words.txt
EOF2

# What Tab lists after each line in a real zsh with the zsh completion.
got=$(cd "$work/files" && printf '%s \n' 'lexigrove --pos' "lexigrove --lookup --database $work/mini.mdb --relation" |
  zsh -f "$here/zsh_listings.zsh" "${lexigrove%/*}" "$source/resources/completion")
[ "$got" = $'adj, adv, noun, verb\nantonym, generic term, related term, similar term, synonym' ] ||
  { echo "FAIL: zsh listed '$got'"; fail=1; }
exit $fail
