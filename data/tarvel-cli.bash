# bash completion for tarvel-cli: its commands, options, set's keys and their
# values, the ports that `tarvel-cli ports` finds, and the projects of the
# workspace (the one --workspace names on the same line, else the program's
# own), hidden folders left out. Names are escaped as the shell reads them.

_tarvel_cli_workspace() {
    local i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $word == --workspace ]]; then
            # bash splits "--workspace=DIR" at the "=".
            [[ ${COMP_WORDS[i + 1]} == = ]] && ((i++))
            printf '%s\n' "${COMP_WORDS[i + 1]/#\~/$HOME}"
            return
        fi
    done
    local program folder
    program=$(command -v tarvel-cli) || return
    folder=$(dirname "$(readlink -f "$program")")
    if [[ -e $folder/../share/tarvel/installed ]]; then
        printf '%s\n' "${XDG_DATA_HOME:-$HOME/.local/share}/Tarvel"
    else
        printf '%s\n' "$folder"
    fi
}

# The projects whose names start with what is typed so far, which may hold
# the backslashes of an escaped blank.
_tarvel_cli_projects() {
    local projects name typed=${1//\\/}
    projects="$(_tarvel_cli_workspace)/PROJECTS"
    [[ -d $projects ]] || return
    for name in "$projects"/*/; do
        name=${name%/}
        name=${name##*/}
        [[ $name == "$typed"* && $name != .* && $name != '*' ]] &&
            COMPREPLY+=("$(printf '%q' "$name")")
    done
}

# The values a key takes, as the dialog's lists have them, one a line.
_tarvel_cli_values() {
    case $1 in
        mode) printf '%s\n' 0 1 ;;
        *.line) printf '%s\n' RS232 RS485 ;;
        *.baud) printf '%s\n' 1200 2400 4800 9600 19200 38400 57600 115200 ;;
        *.parity) printf '%s\n' NONE ODD EVEN ;;
        *.data) printf '%s\n' 5 6 7 8 ;;
        *.stop) printf '%s\n' 1 2 ;;
    esac
}

_tarvel_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    [[ $prev == = ]] && prev=${COMP_WORDS[COMP_CWORD - 2]}
    [[ $cur == = ]] && cur=
    COMPREPLY=()
    case $prev in
        --workspace)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --from | --log)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --watch)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --retries | --on-result | --redo)
            return
            ;;
        --port)
            COMPREPLY=($(compgen -W "$(tarvel-cli ports 2>/dev/null | cut -d' ' -f1)" -- "$cur"))
            return
            ;;
    esac
    local command= i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            # Their value follows, after a "=" word when written --opt=value.
            --workspace | --port | --from | --log | --watch | --retries | --on-result | --redo)
                [[ ${COMP_WORDS[i + 1]} == = ]] && ((i++))
                ((i++))
                ;;
            -* | =) ;;
            *)
                command=${COMP_WORDS[i]}
                break
                ;;
        esac
    done
    if [[ $cur == -* ]]; then
        local options="--workspace --json --help --version"
        case $command in
            update) options+=" --port --no-firmware --no-read-firmware --no-project --no-read-project" ;;
            set) options+=" --from" ;;
            station) options+=" --port --wait-port --watch --log --yes --retries --on-result --redo --no-firmware --no-read-firmware --no-project --no-read-project" ;;
            audit) options+=" --csv" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "new copy show set apply image decode ports update station audit" -- "$cur"))
        return
    fi
    local IFS=$'\n'
    case $command in
        apply | decode | station | audit) COMPREPLY=($(compgen -f -- "$cur")) ;;
        ports | new) ;;
        set)
            # The project first, then its keys.
            if ((COMP_CWORD <= i + 1)); then
                _tarvel_cli_projects "$cur"
                return
            fi
            # After KEY=, the key's values.
            if [[ ${COMP_WORDS[COMP_CWORD]} == = || ${COMP_WORDS[COMP_CWORD - 1]} == = ]]; then
                COMPREPLY=($(compgen -W "$(_tarvel_cli_values "$prev")" -- "$cur"))
                return
            fi
            local side field keys=mode
            for side in rtu ascii; do
                for field in line baud parity data stop timeout; do keys+=$'\n'$side.$field; done
            done
            COMPREPLY=($(compgen -S = -W "$keys" -- "$cur"))
            compopt -o nospace 2>/dev/null
            ;;
        *) _tarvel_cli_projects "$cur" ;;
    esac
}

complete -F _tarvel_cli tarvel-cli
