# bash completion for kvres-tool: commands, each command's options, the
# values of --format, --read and --encoding, simulation words, and the data
# types of the file already on the line (from `kvres-tool info --format json`).

_kvres_tool_options() {
    local common="--force --plugin --quiet --help"
    case $1 in
        info) echo "--format $common" ;;
        dump) echo "--format --read --entity-ids --type --sim --sync $common" ;;
        check) echo "--format --deep --quiet --help" ;;
        diff) echo "--rtol --atol --floor --tol --type --sim --sims --sync --format $common" ;;
        history) echo "--type --entity --read --format --svg $common" ;;
        convert) echo "--encoding --type --sim --salvage --nan-as-infinity --quiet --help" ;;
    esac
}

# The data-type names of FILE, one a line, as info's JSON names them.
_kvres_tool_types() {
    "${1:-kvres-tool}" info "$2" --format json --force --quiet 2>/dev/null |
        sed -n 's/^ *{"name": "\(\([^"\\]\|\\.\)*\)", "binding".*/\1/p'
}

_kvres_tool() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="info dump check diff history convert help"
    local command="" file="" i word skip=0 ended=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((skip)); then
            skip=0
            continue
        fi
        case $word in
            --) ended=1 ;;
            --format | --read | --type | --sim | --sims | --sync | --rtol | --atol | --floor | --tol | \
                --entity | --svg | --plugin | --encoding)
                ((ended)) || skip=1 ;;
            -*) ((ended)) || continue ;;
            *)
                if [[ -z $command ]]; then
                    command=$word
                elif [[ -z $file ]]; then
                    file=$word
                fi
                ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return 0
    fi
    if [[ $command == help ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return 0
    fi

    case $prev in
        --format)
            case $command in
                dump) COMPREPLY=($(compgen -W "text json csv" -- "$cur")) ;;
                history) COMPREPLY=($(compgen -W "csv json text" -- "$cur")) ;;
                *) COMPREPLY=($(compgen -W "text json" -- "$cur")) ;;
            esac
            return 0 ;;
        --read)
            COMPREPLY=($(compgen -W "auto real complex" -- "$cur"))
            return 0 ;;
        --encoding)
            COMPREPLY=($(compgen -W "i4le i4be i8le i8be" -- "$cur"))
            return 0 ;;
        --sim | --sims)
            COMPREPLY=($(compgen -W "all last" -- "$cur"))
            return 0 ;;
        --type)
            if [[ -n $file ]]; then
                local IFS=$'\n'
                COMPREPLY=($(compgen -W "$(_kvres_tool_types "${COMP_WORDS[0]}" "$file")" -- "$cur"))
                # Names hold spaces and colons: each is one word.
                for i in "${!COMPREPLY[@]}"; do
                    COMPREPLY[i]=$(printf '%q' "${COMPREPLY[i]}")
                done
            fi
            return 0 ;;
        --rtol | --atol | --floor | --tol | --entity | --sync)
            return 0 ;;
        --svg | --plugin)
            COMPREPLY=($(compgen -f -- "$cur"))
            return 0 ;;
    esac

    if [[ $cur == -* ]] && ((!ended)); then
        COMPREPLY=($(compgen -W "$(_kvres_tool_options "$command")" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
    return 0
}

complete -F _kvres_tool kvres-tool
