#!/usr/bin/env bash
# The sample ghost's scripted session (tests/protocol/sample-session.txt)
# through both libraries under valgrind's memcheck, on a copy of the ghost:
# fails when memcheck reports an error or a definite leak.
# Usage: sample-session.sh "VALGRIND;OPTION;..." HOST SHIORI_SO MAKOTO_SO GHOST SCRIPT WORK
set -euo pipefail
IFS=';' read -r -a valgrind <<< "$1"
host=$2 shiori_so=$3 makoto_so=$4 ghost=$5 script=$6 work=$7

rm -rf "$work"
mkdir -p "$work/ghost"
cp -R "$ghost/." "$work/ghost/"
rm -f "$work/ghost/values.dat" "$work/ghost/"*.xdi
"${valgrind[@]}" "$host" "$shiori_so" "$makoto_so" "$work/ghost/" "$script" > "$work/transcript.txt"
