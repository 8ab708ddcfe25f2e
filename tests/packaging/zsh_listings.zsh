# SPDX-License-Identifier: GPL-3.0-or-later
# Types each line of standard input into an interactive zsh with the completion of folder $2
# and prints what Tab lists, sorted, comma-separated; $1 is the program's folder.
zmodload zsh/zpty
zpty -b z env -i HOME=$HOME PATH=$1:/usr/bin:/bin TERM=dumb COLUMNS=300 zsh -f -i
zpty -w z "PS1='%% '; fpath=($2 \$fpath); autoload -U compinit; compinit -u -D"
# Tab as ever, then a mark that its echo as typed does not match.
zpty -w z 'listed() { zle expand-or-complete; zle -R; print -n "\n<<${:-listed}>>" }; zle -N listed; bindkey "^I" listed'
# A line typed before zsh has read all of that is echoed by the terminal, not the line editor:
# wait for the setting up to end first.
zpty -w z 'print "<<${:-ready}>>"'; zpty -r z out '*<<ready>>*'
while IFS= read -r line; do
  zpty -w -n z "$line"$'\t'; zpty -r z out '*<<listed>>*'; zpty -w -n z $'\C-u'
  out=${${${out//$'\r'}#*$line}%%$'\n'% *} # below the line, above the next prompt
  print -r -- ${(oj:, :)${(f)"$(print -r -- $out | sed -E 's/ {2,}/\n/g')"}}
done
