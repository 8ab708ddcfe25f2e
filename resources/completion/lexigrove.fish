# SPDX-License-Identifier: GPL-3.0-or-later
# fish completion for lexigrove: options, formats, the parts of speech and
# relations of the database the command line names, the installed languages,
# and file names elsewhere.

# The values of --pos or --relation ($argv[1]) in the database in use, after
# the items of the list already typed: the program lists them when it is
# given one it cannot hold (a control character).
function __lexigrove_kinds
    set -l tokens (commandline -opc)
    set -l database
    for i in (seq 2 (count $tokens))
        switch $tokens[$i]
            case --database --language
                set database $tokens[$i] $tokens[(math $i + 1)]
            case '--database=*' '--language=*'
                set database (string split -m1 = -- $tokens[$i])
        end
    end
    set -l done (string replace -r '[^,]*$' '' -- (commandline -ct | string replace -r '^--[a-z]*=' ''))
    $tokens[1] $database --lookup --quiet $argv[1] \x01 - </dev/null 2>&1 >/dev/null |
        string replace -rf '^lexigrove: --[a-z]*: .*; it holds: ' '' |
        string replace -r ' and [0-9]* more$' '' | string split ', ' |
        string replace -r '^' -- "$done"
end

complete -c lexigrove -l lookup -d 'Look up the words of each file without a window'
complete -c lexigrove -l format -x -a 'rows aligned csv table jsonl xlsx' -d 'Output format'
complete -c lexigrove -l output -r -F -d 'Write to this file'
complete -c lexigrove -l pos -x -a '(__lexigrove_kinds --pos)' -d 'Keep only these parts of speech'
complete -c lexigrove -l relation -x -a '(__lexigrove_kinds --relation)' -d 'Keep only these relations'
complete -c lexigrove -l database -r -F -d 'Read this synonym database'
complete -c lexigrove -l language -x -a '(lexigrove --languages 2>/dev/null | cut -f1,2)' -d 'Use the thesaurus of this language'
complete -c lexigrove -l languages -d 'List the installed thesauri'
complete -c lexigrove -l inflect -d 'Show each synonym in the form the word has'
complete -c lexigrove -l quiet -d 'Show no progress'
complete -c lexigrove -s h -l help -d 'Show the help and exit'
complete -c lexigrove -s v -l version -d 'Show the version and exit'
