#!/usr/bin/env bash
# The programs load their libraries from the system's folders only: run from
# a folder that holds files named like those libraries (a download folder,
# a music collection), the loader must not take them.
# Usage: test_library_search.sh PROGRAM...
set -uo pipefail
export LC_ALL=C.UTF-8

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
for program in "$@"; do
    program=$(realpath "$program")
    # The names the program asks for, from the system's answer.
    mapfile -t needed < <(LD_TRACE_LOADED_OBJECTS=1 "$program" | awk '$2 == "=>" {print $1}')
    if ((${#needed[@]} == 0)); then
        echo "FAIL: no libraries listed for $program"
        failures=$((failures + 1))
        continue
    fi
    rm -rf "$tmp/folder" && mkdir "$tmp/folder"
    for name in "${needed[@]}"; do
        : >"$tmp/folder/$name" # not a library: loading it fails
    done
    if ! out=$(cd "$tmp/folder" && LD_TRACE_LOADED_OBJECTS=1 "$program" 2>&1) ||
        grep -q "$tmp/folder" <<<"$out"; then
        echo "FAIL: $program loads libraries from the working folder:"
        echo "$out"
        failures=$((failures + 1))
    fi
done
((failures == 0)) && echo "ok: ${#} programs"
exit $((failures > 0))
