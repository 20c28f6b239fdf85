#compdef daru
# zsh completion for daru

# The label names of the library the command line names, from daru labels --json.
_daru_labels() {
  local -a global names
  local i
  for ((i = 2; i < CURRENT; i++)); do
    case $words[i] in
      --root|--store) global+=($words[i] $words[i+1]) ;;
      --root=*|--store=*) global+=($words[i]) ;;
    esac
  done
  names=(${(f)"$($words[1] $global labels --json 2>/dev/null |
    sed -n 's/^ *"name": "\(.*\)",\{0,1\}$/\1/p' | sed 's/\\"/"/g; s/\\\\/\\/g' | sort -u)"})
  _describe -t labels 'label' names
}

_daru_stores() {
  local -a stores
  stores=('sqlite:DARU/darudb (the default)' 'access:DARU/Data/zevdata.mdb over ODBC' 'odbc\:CONNECTION:any ODBC data source')
  _describe -t stores 'store' stores
}

_daru() {
  local -a commands global
  commands=(
    'init:make the data root ready for use'
    'labels:show the label tree with ids and article counts'
    'label:add, rename, move or remove labels'
    'save:file a web page under a label'
    'feed:file a feed item from an RSS information file'
    'import:file the items of an RSS or Atom feed, or a bookmark file'
    'export:write articles as JSON, HTML or bookmarks, or the subscriptions as OPML'
    'subscribe:fetch a feed, file its items and keep it for update'
    'feeds:list the subscriptions'
    'unsubscribe:forget a subscription'
    'update:fetch every subscription and file new items'
    'list:list the articles of a label, or all articles'
    'search:find articles by title or keywords'
    'show:show an article'
    'edit:change an article'"'"'s title, keywords or description'
    'open:open an article'"'"'s link'
    'mark:mark articles read, unread, important or unimportant'
    'comment:set an article'"'"'s comment'
    'rm:remove an article, or take it off one label'
    'check:check the catalogue and the article files'
    'ui:work with the library full-screen in the terminal'
  )
  global=(
    '--root[the data root]:folder:_files -/'
    '--store[the catalogue]:store:_daru_stores'
    '--json[print JSON for scripts]'
  )
  _arguments -C \
    $global \
    '--version[print the version]' \
    '(-h --help)'{-h,--help}'[show help]' \
    '1:command:->command' \
    '*::argument:->argument'
  case $state in
    command) _describe 'command' commands ;;
    argument)
      case $words[1] in
        label)
          case $words[2] in
            add) _arguments $global '--parent[the parent label]:label:_daru_labels' '2:name:' ;;
            rename) _arguments $global '2:label:_daru_labels' '3:new name:' ;;
            move) _arguments $global '2:label:_daru_labels' '3:new parent:_daru_labels' ;;
            rm) _arguments $global '(-y --yes)'{-y,--yes}'[do not ask]' '2:label:_daru_labels' ;;
            *) _values 'label command' add rename move rm ;;
          esac ;;
        save) _arguments $global '--label[the label]:label:_daru_labels' '--keywords[keywords]:keywords:' '--description[a description]:text:' '--comment[a comment]:text:' '--no-link[only report a stored page]' '1:link:' '2:title:' ;;
        import) _arguments $global '--label[the label]:label:_daru_labels' '--timeout[seconds]:seconds:' '1:feed file or address:_files' ;;
        feed) _arguments $global '--label[the label]:label:_daru_labels' '--channel[channel title]:title:' '--channel-link[channel link]:url:' '1:information file:_files -g "*.xml"' ;;
        export) _arguments $global '--format[the format]:format:(json html bookmarks opml)' '1::label:_daru_labels' ;;
        subscribe) _arguments $global '--label[the label]:label:_daru_labels' '--timeout[seconds]:seconds:' '1:feed address:' ;;
        unsubscribe) _arguments $global '--keep-articles[keep the label and its articles]' '1:subscription:' ;;
        update) _arguments $global '--jobs[transfers at once]:count:' '--timeout[seconds]:seconds:' '--progress[the progress line also when piped]' '*:subscription:' ;;
        feeds) _arguments $global ;;
        list) _arguments $global '1::label:_daru_labels' ;;
        rm) _arguments $global '--label[remove it from this label only]:label:_daru_labels' '1:article id:' ;;
        mark) _arguments $global '*:id or state:(read unread important unimportant)' ;;
        edit) _arguments $global '--title[new title]:title:' '--keywords[new keywords]:keywords:' '--description[new description]:text:' '1:article id:' ;;
        search) _arguments $global '--keywords[search keywords]' '--exact[whole text]' '*:text:' ;;
        show) _arguments $global '--html[render as HTML]' '1:article id:' ;;
        check) _arguments $global '--repair[repair what can be repaired]' ;;
        *) _arguments $global ;;
      esac ;;
  esac
}

_daru "$@"
