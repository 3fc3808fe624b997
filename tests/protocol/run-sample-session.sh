#!/usr/bin/env bash
# Runs the scripted host over a fresh copy of the sample ghost and hands its
# transcript to the third-party parser check.
set -euo pipefail
host=$1 shiori_so=$2 makoto_so=$3 ghost=$4 script=$5 work=$6 node=$7 checker=$8

rm -rf "$work"
mkdir -p "$work/ghost"
cp -R "$ghost/." "$work/ghost/"
rm -f "$work/ghost/values.dat" "$work/ghost/"*.xdi
"$host" "$shiori_so" "$makoto_so" "$work/ghost/" "$script" > "$work/transcript.txt"
"$node" "$checker" "$script" "$work/transcript.txt"
