# bash completion of QuendraReport, quendra-log, quendra-acquire and display-sim.
# Installed under each command's name; every copy defines all four. Options
# and the kind of their values are read from the program's own --help (an
# option listed as "--out DIR" takes a folder, "--html FILE" a file,
# "--time-mode 0|1" one of those words), so an option added to a program is
# offered without a change here; this file adds only the values no help
# line can tell (models, serial ports, baud rates, fault rules).

# The --help text of program $1, cached.
declare -gA _quendra_help_cache
_quendra_help() {
    if [[ -z ${_quendra_help_cache[$1]+set} ]]; then
        _quendra_help_cache[$1]=$("$1" --help 2>/dev/null)
    fi
    printf '%s\n' "${_quendra_help_cache[$1]}"
}

# The options that program $1 lists, one per line.
_quendra_options() {
    _quendra_help "$1" | grep -o -- '--[a-z][a-z-]*' | sort -u
}

# The value word of option $2 in program $1's help ("FILE", "DIR", "0|1"),
# empty for an option without a value.
_quendra_value_of() {
    _quendra_help "$1" | sed -n "s/^ *$2\(, -[a-z]\)\{0,1\} \([^ ]\{1,\}\).*/\2/p" | head -n 1
}

# The folder of the installed program $1 (where ModelName.csv is), following
# the link on PATH.
_quendra_program_dir() {
    local exe
    exe=$(type -P "$1") || return 1
    exe=$(readlink -f -- "$exe") || return 1
    printf '%s\n' "${exe%/*}"
}

# The model names of ModelName.csv next to program $1: the first column of
# each line up to the first empty line.
_quendra_models() {
    local dir line
    dir=$(_quendra_program_dir "$1") || return 0
    [[ -r $dir/ModelName.csv ]] || return 0
    while IFS= read -r line || [[ -n $line ]]; do
        line=${line%$'\r'}
        [[ -z ${line//[[:space:]]/} ]] && break
        printf '%s\n' "${line%%,*}"
    done <"$dir/ModelName.csv"
}

# Serial port names and the serial devices present.
_quendra_serial_ports() {
    local n dev
    for n in 1 2 3 4 5 6 7 8; do printf 'COM%s\n' "$n"; done
    for dev in /dev/serial/by-id/* /dev/ttyUSB* /dev/ttyACM* /dev/ttyS[0-9]; do
        [[ -e $dev ]] && printf '%s\n' "$dev"
    done
}

# COMPREPLY: the lines of $2 that start with $1.
_quendra_reply() {
    local IFS=$'\n'
    COMPREPLY=($(compgen -W "$2" -- "$1"))
}

_quendra_reply_files() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$1"))
}

_quendra_reply_dirs() {
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$1"))
}

# The value of option $2 of program $1 from its help line; false when the
# option takes no value.
_quendra_reply_value() {
    local value
    value=$(_quendra_value_of "$1" "$2")
    case $value in
        "") return 1 ;;
        *DIR*) _quendra_reply_dirs "$3" ;;
        *FILE* | F) _quendra_reply_files "$3" ;;
        *[!0-9a-z\|]*) COMPREPLY=() ;;
        *) _quendra_reply "$3" "${value//|/$'\n'}" ;;
    esac
    return 0
}

# Whether word $2 of the current line is the value of the option before it
# ("--out DIR", or "--out=DIR", which bash splits into "--out", "=", "DIR").
_quendra_is_value() {
    local at=$(($2 - 1))
    [[ ${COMP_WORDS[$2]} == = ]] && return 1
    [[ ${COMP_WORDS[at]} == = ]] && at=$((at - 1))
    local before=${COMP_WORDS[at]}
    [[ $at -ge 1 && $before == --* && -n $(_quendra_value_of "$1" "$before") ]]
}

# Whether the word being completed is an option's value.
_quendra_value_here() {
    [[ ${COMP_WORDS[COMP_CWORD]} == = ]] && [[ -n $(_quendra_value_of "$1" "$prev") ]] && return 0
    _quendra_is_value "$1" "$COMP_CWORD"
}

# cur and prev of the word being completed, "--out=" read as "--out ":
# right after the "=" the value is empty; after "=VALUE" prev is the option.
_quendra_words() {
    cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    if [[ $cur == = ]]; then
        cur=""
    elif [[ $prev == = && $COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
}

_quendra_log() {
    local prog=${COMP_WORDS[0]} cur prev
    _quendra_words
    case $prev in
        --sort) _quendra_reply "$cur" "$(printf '%s\n' {0..6} {0..6}:desc)"; return ;;
    esac
    _quendra_value_here "$prog" && { _quendra_reply_value "$prog" "$prev" "$cur"; return; }
    if [[ $cur == -* ]]; then
        _quendra_reply "$cur" "$(_quendra_options "$prog")"
    else
        local IFS=$'\n'
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.[dD][aA][tT]' -- "$cur"))
    fi
}

_quendra_acquire() {
    local prog=${COMP_WORDS[0]} cur prev
    _quendra_words
    case $prev in
        --lan) _quendra_reply "$cur" "$(compgen -A hostname -- "$cur")"; return ;;
        --serial) _quendra_reply "$cur" "$(_quendra_serial_ports)"; return ;;
        --baud) _quendra_reply "$cur" $'9600\n19200\n38400'; return ;;
        --model) _quendra_reply "$cur" "$(_quendra_models "$prog")"; return ;;
    esac
    _quendra_value_here "$prog" && { _quendra_reply_value "$prog" "$prev" "$cur"; return; }
    if [[ $cur == -* ]]; then
        _quendra_reply "$cur" "$(_quendra_options "$prog")"
        return
    fi
    # The first word that is neither an option nor its value is the command
    # (the names listed under "Commands:"); a word after it is the command's file.
    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} != -* && ${COMP_WORDS[i]} != = ]] && ! _quendra_is_value "$prog" "$i"; then
            _quendra_reply_files "$cur"
            return
        fi
    done
    _quendra_reply "$cur" "$(_quendra_help "$prog" | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')"
}

_quendra_display_sim() {
    local prog=${COMP_WORDS[0]} cur prev
    _quendra_words
    case $prev in
        --listen) _quendra_reply "$cur" $'127.0.0.1\nlocalhost'; return ;;
    esac
    if [[ $(_quendra_value_of "$prog" "$prev") == RULE ]]; then
        compopt -o nospace 2>/dev/null
        _quendra_reply "$cur" "$(printf '%s\n' {,text:,bin:}{first,every}:)"
        return
    fi
    _quendra_value_here "$prog" && { _quendra_reply_value "$prog" "$prev" "$cur"; return; }
    _quendra_reply "$cur" "$(_quendra_options "$prog")"
}

# QuendraReport's arguments are positional: SILENT MODEL= PATH= INTERFACE=,
# then IP= PORT= USER= PASS= (LAN) or PORT= RATE= (COM). The words are taken
# from the line itself, as "=" may split bash's words.
_quendra_report() {
    local line=${COMP_LINE:0:COMP_POINT} cur=""
    local -a words
    read -ra words <<<"$line"
    [[ $line == *[[:space:]] ]] || { cur=${words[-1]}; unset 'words[-1]'; }
    local n=${#words[@]} candidates="" lan=1
    [[ ${words[4]-} == INTERFACE=COM ]] && lan=0
    case $n in
        1) candidates=$'SILENT\n--help' ;;
        2) [[ ${words[1]} == SILENT ]] && candidates=$(_quendra_models "${words[0]}" | sed 's/^/MODEL=/') ;;
        3) if [[ $cur == PATH=?* ]]; then
               compopt -o filenames 2>/dev/null
               candidates=$(compgen -d -- "${cur#PATH=}" | sed 's/^/PATH=/')
           else
               candidates=PATH=
           fi ;;
        4) candidates=$'INTERFACE=LAN\nINTERFACE=COM' ;;
        5) if ((lan)); then candidates=IP=; else candidates=$(_quendra_serial_ports | sed 's/^/PORT=/'); fi ;;
        6) if ((lan)); then candidates=PORT=10008; else candidates=$'RATE=9600\nRATE=19200\nRATE=38400'; fi ;;
        7) ((lan)) && candidates=USER= ;;
        8) ((lan)) && candidates=PASS= ;;
    esac
    [[ $candidates == *= ]] && compopt -o nospace 2>/dev/null
    _quendra_reply "$cur" "$candidates"
    # bash completes only the part after the last "=" when "=" splits words.
    if [[ $COMP_WORDBREAKS == *=* && $cur == *=* ]]; then
        local prefix=${cur%=*}= i
        for i in "${!COMPREPLY[@]}"; do COMPREPLY[i]=${COMPREPLY[i]#"$prefix"}; done
    fi
}

complete -F _quendra_log quendra-log
complete -F _quendra_acquire quendra-acquire
complete -F _quendra_display_sim display-sim
complete -F _quendra_report QuendraReport
