# bash completion for vexaro-cli: commands, each command's options, and theme files, pictures or
# folders where an argument wants one. A test checks these lists against the program's --help.

# The files that match any of the patterns given, and folders.
_vexaro_cli_files()
{
    local pattern
    for pattern in "$@"; do
        compgen -f -X "!$pattern" -- "$cur"
    done
    compgen -d -- "$cur"
}

_vexaro_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="open save preview clear info convert"
    local common="-h --help --version --workspace --set -q --quiet -v --verbose"
    local command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case " $commands " in
        *" ${COMP_WORDS[i]} "*)
            command=${COMP_WORDS[i]}
            break
            ;;
        esac
    done
    COMPREPLY=()
    case $prev in
    --workspace | --out)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --set | --jobs)
        return
        ;;
    --type)
        local types="sis mbm"
        [[ $command == preview ]] && types="jpeg bmp"
        mapfile -t COMPREPLY < <(compgen -W "$types" -- "$cur")
        return
        ;;
    --sheet)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(_vexaro_cli_files '*.[jJ][pP][gG]' '*.[jJ][pP][eE][gG]' '*.[bB][mM][pP]')
        return
        ;;
    esac

    local options=""
    case $command in
    open) options="--type" ;;
    preview) options="--type" ;;
    info) options="--type --json --sheet" ;;
    convert) options="--out --type --jobs --report" ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$common $options" -- "$cur")
        return
    fi
    case $command in
    "")
        mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
        ;;
    open | info | convert)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(_vexaro_cli_files '*.[sS][iI][sS]' '*.[mM][bB][mM]')
        ;;
    preview)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(_vexaro_cli_files '*.[jJ][pP][gG]' '*.[jJ][pP][eE][gG]' '*.[bB][mM][pP]')
        ;;
    esac
}

complete -F _vexaro_cli vexaro-cli
