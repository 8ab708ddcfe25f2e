# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for lexigrove: options, formats, the parts of speech and
# relations of the database the command line names, the installed languages,
# and file names elsewhere.

# The values of --pos or --relation ($1) in the database in use. The program
# lists them when it is given one it cannot hold (a control character), with
# the --database or --language given so far.
_lexigrove_kinds() {
    local i database=()
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --database | --language)
                local value=${words[i + 1]-}
                __expand_tilde_by_ref value
                database=("${words[i]}" "$value")
                ;;
            --database=* | --language=*)
                local value=${words[i]#*=}
                __expand_tilde_by_ref value
                database=("${words[i]%%=*}" "$value")
                ;;
        esac
    done
    local program=${words[0]}
    __expand_tilde_by_ref program
    "$program" "${database[@]}" --lookup --quiet "$1" $'\001' - </dev/null 2>&1 >/dev/null |
        sed -n 's/^lexigrove: --[a-z]*: .*; it holds: //p' |
        sed 's/ and [0-9]* more$//; s/, /\n/g'
}

_lexigrove() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --format)
            mapfile -t COMPREPLY < <(compgen -W 'rows aligned csv table jsonl xlsx' -- "$cur")
            return
            ;;
        --pos | --relation)
            # A comma-separated list: complete its last item.
            local done= value
            [[ $cur == *,* ]] && done=${cur%,*},
            COMPREPLY=()
            while IFS= read -r value; do
                [[ $done$value == "$cur"* ]] && COMPREPLY+=("$done$(printf '%q' "$value")")
            done < <(_lexigrove_kinds "$prev")
            return
            ;;
        --language)
            mapfile -t COMPREPLY < <(compgen -W "$("${words[0]}" --languages 2>/dev/null | cut -f1)" -- "$cur")
            return
            ;;
        --database | --output)
            _filedir
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--lookup --format --output --pos --relation
            --database --language --languages --inflect --quiet --help --version' -- "$cur")
        return
    fi
    _filedir
}
complete -F _lexigrove lexigrove
