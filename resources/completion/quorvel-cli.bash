# bash completion for quorvel-cli                          -*- shell-script -*-
#
# Commands and options come from the program's own --help, so they follow
# the program; profile names come from `quorvel-cli profile list`, run ids
# from `quorvel-cli history`.

# Prints --help and the options that `$1 $2 --help` names, one a line (the
# program's own options when $2 is empty). Kept for the shell's lifetime.
_quorvel_cli_options() {
    local key="$1 $2"
    declare -gA _quorvel_cli_option_cache
    if [[ -z ${_quorvel_cli_option_cache[$key]+set} ]]; then
        _quorvel_cli_option_cache[$key]=$(
            {
                echo --help
                "$1" $2 --help 2>/dev/null |
                    grep -oE -- '(^|[^A-Za-z0-9-])--[A-Za-z0-9][A-Za-z0-9-]*' |
                    grep -oE -- '--.*'
            } | sort -u
        )
    fi
    printf '%s\n' "${_quorvel_cli_option_cache[$key]}"
}

# The commands listed by `$1 --help`.
_quorvel_cli_commands() {
    "$1" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p'
}

# Sets COMPREPLY to the lines of $1 that begin with $cur, quoted for the
# command line (profile names may hold spaces).
_quorvel_cli_reply_lines() {
    local line quoted
    COMPREPLY=()
    while IFS= read -r line; do
        [[ -n $line && $line == "$cur"* ]] || continue
        printf -v quoted '%q' "$line"
        COMPREPLY+=("$quoted")
    done <<<"$1"
}

_quorvel_cli() {
    local cur prev words cword split
    _init_completion -s || return

    local program=${words[0]}
    # The command, profile's subcommand, and how many arguments follow them.
    local command="" subcommand="" arguments=0 i files_only=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --) files_only=1 ;;
        -*) [[ -z $files_only ]] || ((arguments++)) ;;
        *)
            if [[ -z $command ]]; then
                command=${words[i]}
            elif [[ $command == profile && -z $subcommand ]]; then
                subcommand=${words[i]}
            elif [[ ${words[i - 1]} != @(--profile|--parse|--create|--case|--separator) ]]; then
                ((arguments++))
            fi
            ;;
        esac
    done
    # Options' values: the option before the word (or before "=").
    case $prev in
    --profile)
        _quorvel_cli_reply_lines "$("$program" profile list 2>/dev/null)"
        return
        ;;
    --parse | --create)
        compopt -o nospace 2>/dev/null
        COMPREPLY=($(compgen -W 'location= filename= artist= title= album= genre= year= track=' \
            -- "$cur"))
        return
        ;;
    --case)
        COMPREPLY=($(compgen -W 'title lower upper keep' -- "$cur"))
        return
        ;;
    --separator)
        _quorvel_cli_reply_lines $'SPACE\nNONE\n_(underscore)\n-(dash)'
        return
        ;;
    esac
    $split && return

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$(_quorvel_cli_options "$program" "")" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$(_quorvel_cli_commands "$program")" -- "$cur"))
        fi
        return
    fi

    if [[ $cur == -* && -z $files_only ]]; then
        COMPREPLY=($(compgen -W "$(_quorvel_cli_options "$program" "$command")" -- "$cur"))
        return
    fi

    case $command in
    profile)
        if [[ -z $subcommand ]]; then
            COMPREPLY=($(compgen -W 'list show save delete' -- "$cur"))
        elif [[ $subcommand == @(show|save|delete) ]] && ((arguments == 0)); then
            _quorvel_cli_reply_lines "$("$program" profile list 2>/dev/null)"
        fi
        ;;
    undo)
        ((arguments == 0)) || return
        _quorvel_cli_reply_lines "$("$program" history 2>/dev/null |
            grep -oE '^[0-9]{8}-[0-9]{6}-[0-9]+')"
        ;;
    history) ;;
    *)
        _filedir
        ;;
    esac
} &&
    complete -F _quorvel_cli quorvel-cli

# ex: filetype=sh
