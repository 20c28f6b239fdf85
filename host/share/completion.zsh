#compdef daru
# zsh completion for daru

_daru() {
  local -a commands
  commands=(
    'init:make the data root ready for use'
    'labels:show the label tree with ids and article counts'
    'label:add, rename, move or remove labels'
    'save:file a web page under a label'
    'feed:file a feed item from an RSS information file'
    'import:file the items of an RSS or Atom feed, or a bookmark file'
    'export:write articles as JSON, HTML or bookmarks, or the subscriptions as OPML'
    'subscribe:fetch a feed, file its items and keep it'
    'feeds:list the subscriptions'
    'unsubscribe:forget a subscription'
    'update:fetch every subscription and file new items'
    'list:list the articles of a label, or all articles'
    'search:find articles by title or keywords'
    'show:show an article'
    'edit:change an article'"'"'s title, keywords or description'
    'open:open an article'"'"'s link'
    'mark:mark an article read, unread, important or unimportant'
    'comment:set an article'"'"'s comment'
    'rm:remove an article, or take it off one label'
    'check:check the catalogue and the article files'
    'ui:work with the library full-screen in the terminal'
  )
  _arguments -C \
    '--root[the data root]:folder:_files -/' \
    '--json[print JSON for scripts]' \
    '--version[print the version]' \
    '(-h --help)'{-h,--help}'[show help]' \
    '1:command:->command' \
    '*::argument:->argument'
  case $state in
    command) _describe 'command' commands ;;
    argument)
      case $words[1] in
        label) _values 'label command' add rename move rm ;;
        import) _arguments '--label[the label]:label:' '--timeout[seconds]:seconds:' '1:feed file or address:_files' ;;
        feed) _arguments '--label[the label]:label:' '--channel[channel title]:title:' '--channel-link[channel link]:url:' '1:information file:_files -g "*.xml"' ;;
        export) _arguments '--format[the format]:format:(json html bookmarks opml)' '1::label:' ;;
        mark) _arguments '1:article id:' '2:state:(read unread important unimportant)' ;;
        edit) _arguments '--title[new title]:title:' '--keywords[new keywords]:keywords:' '--description[new description]:text:' '1:article id:' ;;
        search) _arguments '--keywords[search keywords]' '--exact[whole text]' '1:text:' ;;
        show) _arguments '--html[render as HTML]' '1:article id:' ;;
        check) _arguments '--repair[repair what can be repaired]' ;;
        subscribe) _arguments '--label[the label]:label:' '--timeout[seconds]:seconds:' '1:feed address:' ;;
        unsubscribe) _arguments '--keep-articles[keep the label and its articles]' '1:subscription:' ;;
        update) _arguments '--jobs[transfers at once]:number:' '--timeout[seconds]:seconds:' '*:subscription:' ;;
      esac ;;
  esac
}

_daru "$@"
