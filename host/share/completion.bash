# bash completion for daru
_daru() {
  local cur prev words cword
  _init_completion || return
  local commands="init labels label save feed import export subscribe feeds unsubscribe update list search show edit open mark comment rm check ui"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case "${words[i]}" in
      --root) ((i++)) ;;
      -*) ;;
      *) command="${words[i]}"; break ;;
    esac
  done
  case "$prev" in
    --root) _filedir -d; return ;;
    --format) COMPREPLY=($(compgen -W "json html bookmarks opml" -- "$cur")); return ;;
  esac
  case "$command" in
    "") COMPREPLY=($(compgen -W "$commands --root --json --version --help" -- "$cur")) ;;
    label)
      if [[ "${words[cword-1]}" == label ]]; then COMPREPLY=($(compgen -W "add rename move rm" -- "$cur"));
      else COMPREPLY=($(compgen -W "--parent --yes --json" -- "$cur")); fi ;;
    import) [[ "$cur" == -* ]] && COMPREPLY=($(compgen -W "--label --timeout --json" -- "$cur")) || _filedir ;;
    feed) [[ "$cur" == -* ]] && COMPREPLY=($(compgen -W "--label --channel --channel-link --json" -- "$cur")) || _filedir xml ;;
    export) COMPREPLY=($(compgen -W "--format" -- "$cur")) ;;
    save) COMPREPLY=($(compgen -W "--label --keywords --description --comment --no-link --json" -- "$cur")) ;;
    edit) COMPREPLY=($(compgen -W "--title --keywords --description --json" -- "$cur")) ;;
    mark) [[ "$cur" == -* ]] || COMPREPLY=($(compgen -W "read unread important unimportant" -- "$cur")) ;;
    search) COMPREPLY=($(compgen -W "--keywords --exact --json" -- "$cur")) ;;
    show) COMPREPLY=($(compgen -W "--html --json" -- "$cur")) ;;
    check) COMPREPLY=($(compgen -W "--repair --json" -- "$cur")) ;;
    rm) COMPREPLY=($(compgen -W "--label --json" -- "$cur")) ;;
    subscribe) COMPREPLY=($(compgen -W "--label --timeout --json" -- "$cur")) ;;
    unsubscribe) COMPREPLY=($(compgen -W "--keep-articles --json" -- "$cur")) ;;
    update) COMPREPLY=($(compgen -W "--jobs --timeout --json" -- "$cur")) ;;
  esac
}
complete -F _daru daru
