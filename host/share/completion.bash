# bash completion for daru. Plain bash: it needs nothing of the bash-completion package.

# The label names of the library the command line names, one a line, from
# daru labels --json.
_daru_label_names() {
  local -a global=()
  local i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case "${COMP_WORDS[i]}" in
      --root | --store) global+=("${COMP_WORDS[i]}" "${COMP_WORDS[i + 1]}"); ((i++)) ;;
      --root=* | --store=*) global+=("${COMP_WORDS[i]}") ;;
    esac
  done
  "${COMP_WORDS[0]}" "${global[@]}" labels --json 2>/dev/null |
    sed -n 's/^ *"name": "\(.*\)",\{0,1\}$/\1/p' | sed 's/\\"/"/g; s/\\\\/\\/g' | sort -u
}

# Adds the words that start with the current one, quoted for the shell.
_daru_add() {
  local word
  while IFS= read -r word; do
    [[ -n "$word" && "$word" == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$word")")
  done
}

_daru() {
  local cur="${COMP_WORDS[COMP_CWORD]}" prev="${COMP_WORDS[COMP_CWORD - 1]}"
  local global="--root --store --json --help"
  COMPREPLY=()
  local command="" sub="" i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case "${COMP_WORDS[i]}" in
      --root | --store | --label | --parent | --format | --timeout | --channel | --channel-link | --title | \
        --keywords | --description | --comment) ((i++)) ;;
      -*) ;;
      *)
        if [[ -z "$command" ]]; then command="${COMP_WORDS[i]}"
        elif [[ "$command" == label && -z "$sub" ]]; then sub="${COMP_WORDS[i]}"; fi ;;
    esac
  done
  case "$prev" in
    --root) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --store) COMPREPLY=($(compgen -W "sqlite access odbc:" -- "$cur")); [[ "$cur" == odbc:* ]] && COMPREPLY=(); return ;;
    --format) COMPREPLY=($(compgen -W "json html bookmarks opml" -- "$cur")); return ;;
    --label | --parent) _daru_add < <(_daru_label_names); return ;;
    --timeout | --channel | --channel-link | --title | --keywords | --description | --comment) return ;;
  esac
  # The label arguments: of label rename, move and rm, of list and export.
  local labels=""
  case "$command $sub" in
    "label rename" | "label move" | "label rm" | "list " | "export ") labels=yes ;;
  esac
  case "$command" in
    "") COMPREPLY=($(compgen -W "init labels label save feed import export subscribe feeds unsubscribe update list search show edit open mark comment rm check ui $global --version" -- "$cur")); return ;;
    label)
      case "$sub" in
        "") COMPREPLY=($(compgen -W "add rename move rm $global" -- "$cur")) ;;
        add) COMPREPLY=($(compgen -W "--parent $global" -- "$cur")) ;;
        rm) COMPREPLY=($(compgen -W "--yes $global" -- "$cur")) ;;
        *) COMPREPLY=($(compgen -W "$global" -- "$cur")) ;;
      esac ;;
    import) [[ "$cur" == -* ]] && COMPREPLY=($(compgen -W "--label --timeout $global" -- "$cur")) || COMPREPLY=($(compgen -f -- "$cur")) ;;
    feed) [[ "$cur" == -* ]] && COMPREPLY=($(compgen -W "--label --channel --channel-link $global" -- "$cur")) || COMPREPLY=($(compgen -f -X '!*.xml' -- "$cur") $(compgen -d -- "$cur")) ;;
    export) COMPREPLY=($(compgen -W "--format $global" -- "$cur")) ;;
    list) COMPREPLY=($(compgen -W "$global" -- "$cur")) ;;
    subscribe) COMPREPLY=($(compgen -W "--label --timeout $global" -- "$cur")) ;;
    unsubscribe) COMPREPLY=($(compgen -W "--keep-articles $global" -- "$cur")) ;;
    update) COMPREPLY=($(compgen -W "--jobs --timeout --progress $global" -- "$cur")) ;;
    feeds) COMPREPLY=($(compgen -W "$global" -- "$cur")) ;;
    save) COMPREPLY=($(compgen -W "--label --keywords --description --comment --no-link $global" -- "$cur")) ;;
    edit) COMPREPLY=($(compgen -W "--title --keywords --description $global" -- "$cur")) ;;
    mark) [[ "$cur" == -* ]] && COMPREPLY=($(compgen -W "$global" -- "$cur")) || COMPREPLY=($(compgen -W "read unread important unimportant" -- "$cur")) ;;
    search) COMPREPLY=($(compgen -W "--keywords --exact $global" -- "$cur")) ;;
    show) COMPREPLY=($(compgen -W "--html $global" -- "$cur")) ;;
    check) COMPREPLY=($(compgen -W "--repair $global" -- "$cur")) ;;
    rm) COMPREPLY=($(compgen -W "--label $global" -- "$cur")) ;;
    *) COMPREPLY=($(compgen -W "$global" -- "$cur")) ;;
  esac
  if [[ -n "$labels" && "$cur" != -* ]]; then
    COMPREPLY=()
    _daru_add < <(_daru_label_names)
  fi
}
complete -F _daru daru
