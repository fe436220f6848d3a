#!/usr/bin/env bash
# Drives tarvel-cli's bash completion as bash does (bash splits words at "="):
# a name with blanks comes back escaped so that the shell reads the name,
# KEY= offers the key's values, --opt=value is passed over, and --port offers
# the ports that `tarvel-cli ports` finds.
# usage: completion_test.sh COMPLETION-FILE TARVEL-CLI
set -u
source "$1"
cli=$2
PATH="$(dirname "$cli"):$PATH"
workspace=$(mktemp -d)
trap 'rm -rf "$workspace"' EXIT
mkdir -p "$workspace/PROJECTS/Pump Station 3/bin" "$workspace/PROJECTS/Other"
failures=0

complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _tarvel_cli
}

expect() {
    local what=$1 wanted=$2 got
    got=$(printf '%s|' "${COMPREPLY[@]}")
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: $what: got '$got', wanted '$wanted'"
        failures=$((failures + 1))
    fi
}

complete_words tarvel-cli --workspace "$workspace" show Pu
expect "a name with blanks" 'Pump\ Station\ 3|'
eval "set -- ${COMPREPLY[0]}"
"$cli" --workspace "$workspace" show "$1" >/dev/null ||
    { echo "FAIL: show does not take the completed name"; failures=$((failures + 1)); }

complete_words tarvel-cli --workspace "$workspace" show 'Pump\ St'
expect "a name typed with an escaped blank" 'Pump\ Station\ 3|'

complete_words tarvel-cli --workspace = "$workspace" image O
expect "--opt=value before the command" 'Other|'

complete_words tarvel-cli --workspace "$workspace" set Other rtu.parity = ""
expect "the values after KEY=" 'NONE|ODD|EVEN|'
complete_words tarvel-cli --workspace "$workspace" set Other rtu.parity = O
expect "a value begun" 'ODD|'

complete_words tarvel-cli update Other --port ""
expect "the ports present" "$("$cli" ports 2>/dev/null | cut -d' ' -f1 | tr '\n' '|')"

exit $((failures > 0))
