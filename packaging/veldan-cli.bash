# bash completion for veldan-cli                         -*- shell-script -*-

_veldan_cli() {
    local cur prev words cword
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD

    local global="--program-folder -q --quiet -h --help"
    local commands="scan cure db immunize killbit reg machine quarantine release help"
    local machine="-m --machine -u --user --force"

    # Values of the options that take one.
    case $prev in
        --program-folder | --to | --from | -m | --machine)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --log | -k | --key)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W "reg hive" -- "$cur"))
            return
            ;;
        --jobs | -u | --user | -e | --entry | --homepage | --quarantine | --id)
            return
            ;;
    esac

    # The command word and the action word below it.
    local command="" action="" i w
    for ((i = 1; i < cword; i++)); do
        w=${words[i]}
        case ${words[i - 1]} in
            --program-folder | --to | --from | -m | --machine | --log | --format | --jobs | -u | --user | -e | --entry | --homepage | -k | --key | --quarantine | --id)
                continue
                ;;
        esac
        [[ $w == -* ]] && continue
        if [[ -z $command ]]; then
            command=$w
        elif [[ -z $action ]]; then
            action=$w
        fi
    done

    local options="" actions=""
    case $command in
        "")
            options="$global -V --version"
            actions=$commands
            ;;
        scan) options="$global $machine -j --json --json-lines --jobs --log" ;;
        cure) options="$global $machine -a --all -e --entry --homepage --quarantine --dry-run -j --json" ;;
        quarantine)
            options="$global -m --machine -u --user --quarantine -j --json"
            [[ $action == restore || $action == purge ]] && options="$options -a --all --id"
            [[ $action == restore ]] && options="$options --force"
            actions="list restore purge"
            ;;
        db)
            options="$global $machine -j --json"
            actions="info scramble unscramble"
            ;;
        immunize)
            options="$global $machine -j --json"
            actions="list block-all unblock-all"
            ;;
        killbit)
            options="$global $machine -j --json"
            actions="list add remove block-all unblock-all"
            ;;
        reg)
            options="$global $machine"
            actions="export"
            ;;
        machine)
            options="$global $machine --from --to --format"
            actions="restart convert"
            ;;
        release)
            options="$global"
            [[ $action == sign || $action == verify ]] && options="$global -k --key"
            actions="keygen sign verify"
            ;;
    esac
    [[ -n $action ]] && actions=""
    if [[ ( $command == db && ( $action == scramble || $action == unscramble ) ) ||
          ( $command == release && -n $action && $cur != -* ) ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        COMPREPLY=($(compgen -W "$actions" -- "$cur"))
    fi
}
complete -F _veldan_cli veldan-cli
