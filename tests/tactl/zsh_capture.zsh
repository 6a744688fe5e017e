# zsh -f zsh_capture.zsh FPATH_DIR LINE: the matches zsh's completion system
# offers for LINE typed at a prompt, one a line. An interactive zsh on a
# pseudo-terminal (zpty) gets the line and a Tab; compadd prints each match
# it is given, and the shell ends once the completion has run.
zmodload zsh/zpty || exit 2
zpty z zsh -f -i
zpty -w z "PS1= PROMPT= RPROMPT="
# The dump of the first run in the folder makes the later ones quick.
zpty -w z "fpath=(${(q)1} \$fpath); autoload -Uz compinit; compinit -u -C -d ${(q)1}/.zcompdump"
zpty -w z "zstyle ':completion:*' insert-tab false"
zpty -w z "bindkey '^I' complete-word"
zpty -w z 'compadd () {
  if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return; fi
  local -a hits; builtin compadd -O hits "$@"
  local hit; for hit in $hits; do print -r -- "MAT""CH:$hit"; done
}'
zpty -w z "comppostfuncs=(exit)"
zpty -w z "$2"$'\t'
# The marker is spelt in two parts above, so that the echo of the function
# does not count as a match.
while zpty -r z chunk; do print -rn -- "$chunk"; done | tr '\r' '\n' | sed -n 's/^.*MATCH://p' | sort -u
