#!/usr/bin/env bash
# Completes command lines with resources/completion/quorvel-cli.bash as
# bash-completion would, against a real quorvel-cli with a store of three
# profiles and a journal of one run.
# Usage: test_bash_completion.sh COMPLETION_FILE QUORVEL_CLI FIXTURE_TOOL
set -uo pipefail
export LC_ALL=C
completion=$1 cli=$2 fixture=$3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_STATE_HOME=$tmp/state HOME=$tmp/home
mkdir -p "$tmp/bin" "$tmp/music"
ln -s "$cli" "$tmp/bin/quorvel-cli"
PATH=$tmp/bin:$PATH

set -e
for name in Default "My Music" by-artist; do quorvel-cli profile save -- "$name"; done
"$fixture" "$tmp/music" 2 >/dev/null
(cd "$tmp/music" && quorvel-cli apply --create location='%L/%A' ./*.mp3 >/dev/null)
run=$(quorvel-cli history | grep -oE '^[0-9]{8}-[0-9]{6}-[0-9]+')
set +e

# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
# shellcheck source=/dev/null
source "$completion"

# Prints what Tab offers at the end of LINE, sorted, one line. The words are
# cut as readline cuts them: at spaces, and "=" standing as a word of its own.
offers() {
    local line=$1 word
    COMP_WORDS=()
    for word in $line; do
        while [[ $word == *=* ]]; do
            [[ -n ${word%%=*} ]] && COMP_WORDS+=("${word%%=*}")
            COMP_WORDS+=("=")
            word=${word#*=}
        done
        [[ -n $word ]] && COMP_WORDS+=("$word")
    done
    [[ $line == *[\ =] ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _quorvel_cli quorvel-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ' -
}

failures=0
check() {
    local line=$1 want=$2 got
    got=$(cd "$tmp/music" && offers "$line")
    if [[ $got != "$want" ]]; then
        printf 'FAIL: "%s<Tab>" offers "%s", expected "%s"\n' "$line" "$got" "$want"
        failures=$((failures + 1))
    fi
}

check "quorvel-cli " "apply history preview profile show undo"
check "quorvel-cli pr" "preview profile"
check "quorvel-cli --v" "--version"
check "quorvel-cli apply --d" "--dry-run"
check "quorvel-cli history --" "--forget --help --json"
check "quorvel-cli preview --profile " 'Default My\ Music by-artist'
check "quorvel-cli apply --profile M" 'My\ Music'
check "quorvel-cli apply --profile=b" "by-artist"
check "quorvel-cli profile " "delete list save show"
check "quorvel-cli profile delete " 'Default My\ Music by-artist'
check "quorvel-cli profile show by-artist " ""
check "quorvel-cli undo " "$run"
check "quorvel-cli undo $run " ""
check "quorvel-cli apply --case u" "upper"
check "quorvel-cli preview --parse ti" "title="
check "quorvel-cli preview --separator _" '_\(underscore\)'
check "quorvel-cli show Ar" "Artist 1 Artist 2"
check "quorvel-cli show -- --" ""

if ((failures > 0)); then
    echo "$failures completion(s) differ"
    exit 1
fi
echo "all completions as expected"
