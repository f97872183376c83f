#!/usr/bin/env bash
# The bash completion script as bash uses it: registered for tarnvik-cli,
# completing commands, options, catalogue names from the program itself and
# HEX files after a command that takes one.
set -u
script=$1
cli_dir=$2
PATH="$cli_dir:$PATH"
shopt -s extglob
source "$script"
failed=0

# complete_line WORD...: COMPREPLY for the last word of "tarnvik-cli WORD..."
complete_line() {
    COMP_WORDS=(tarnvik-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _tarnvik_cli
    [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "
}
expect() {
    local want=$1 got=$2 what=$3
    if [ "$got" != "$want" ]; then
        echo "FAIL $what: expected '$want', got '$got'"
        failed=1
    fi
}

expect "complete -F _tarnvik_cli tarnvik-cli" "$(complete -p tarnvik-cli)" "registration"
expect "program " "$(complete_line prog)" "command"
expect "--verbose --verify-user-id --version " "$(complete_line --ver)" "options"
expect "PIC16F877 PIC16F877A " "$(complete_line -d pic16f877)" "catalogue names"
expect "COM1 COM10 " "$(complete_line -p com1)" "COM names"
expect "retlw " "$(complete_line program --serial-format re)" "serial format"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch "$dir/a.hex" "$dir/b.txt"
expect "$dir/a.hex " "$(complete_line -d PIC16F877A program "$dir/")" "HEX files"
expect "" "$(complete_line erase "$dir/")" "no file after erase"
expect "chip " "$(complete_line -d PIC16F877A compare "$dir/a.hex" ch)" "compare's chip"
exit $failed
