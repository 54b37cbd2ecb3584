# Bash completion for trimbel: subcommands, their options, the values of options that take one
# of a few words, and MP3 files. Subcommands and options come from the program's own help, so
# they are always the ones the installed program has.

_trimbel_subcommands() {
    "$1" --help 2>/dev/null | awk '/^Subcommands:/ { on = 1; next } /^$/ { on = 0 } on { print $1 }'
}

# "--name" for each option of the subcommand, "--name=a|b|c" for one that takes one of a few words.
_trimbel_options() {
    "$1" "$2" --help 2>/dev/null |
        sed -n 's/^ *\(-[a-z], \)\{0,1\}\(--[a-z0-9-]*\)\( <\([^>]*\)>\)\{0,1\}  .*/\2=\4/p'
}

# Files and folders: MP3 files, or with a second argument "all" any file, "cue" cue sheets,
# "dir" folders only.
_trimbel_files() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    case ${2-} in
        all) COMPREPLY=($(compgen -f -- "$1")) ;;
        dir) COMPREPLY=($(compgen -d -- "$1")) ;;
        cue) COMPREPLY=($(compgen -f -X '!*.[cC][uU][eE]' -- "$1") $(compgen -d -- "$1")) ;;
        *) COMPREPLY=($(compgen -f -X '!*.[mM][pP]3' -- "$1") $(compgen -d -- "$1")) ;;
    esac
}

_trimbel() {
    local program=$1 cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    if [[ $COMP_CWORD -eq 1 ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--help --version' -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$(_trimbel_subcommands "$program")" -- "$cur"))
            local words=("${COMPREPLY[@]}")
            _trimbel_files "$cur"
            COMPREPLY=("${words[@]}" "${COMPREPLY[@]}")
        fi
        return
    fi

    local sub=${COMP_WORDS[1]} options line names=() value
    # Only a listed subcommand is asked for its help; after anything else nothing is offered.
    [[ " $(_trimbel_subcommands "$program" | tr '\n' ' ') " == *" $sub "* ]] || return 0
    options=$(_trimbel_options "$program" "$sub")
    [[ -n $options ]] || return 0
    while IFS= read -r line; do
        names+=("${line%%=*}")
        value=${line#*=}
        if [[ $prev == "${line%%=*}" && -n $value ]]; then
            # An option's value: one of its words, a file or folder where the help names one,
            # nothing for free text.
            case $value in
                *"|"*) COMPREPLY=($(compgen -W "${value//|/ }" -- "$cur")) ;;
                OUT) _trimbel_files "$cur" all ;;
                DIR) _trimbel_files "$cur" dir ;;
                *.cue) _trimbel_files "$cur" cue ;;
            esac
            return
        fi
    done <<< "$options"
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${names[*]}" -- "$cur"))
    else
        _trimbel_files "$cur"
    fi
}

complete -F _trimbel trimbel
