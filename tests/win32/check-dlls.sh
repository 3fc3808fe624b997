#!/usr/bin/env bash
# Checks the Windows DLLs of one mingw build: each exports exactly its four
# functions, undecorated, and imports only KERNEL32.dll and msvcrt.dll (the
# C++ runtime is linked in), as the README states; and carries no debug
# information (the DLLs are linked stripped).
set -euo pipefail
build=$1 arch=$2
objdump=$arch-w64-mingw32-objdump
allowed='^(kernel32|msvcrt)\.dll$'
fail=0

check() {
  local dll=$1; shift
  local want; want=$(printf '%s\n' "$@" | sort)
  [ -f "$dll" ] || { echo "missing: $dll"; fail=1; return; }
  local dump; dump=$($objdump -p "$dll")
  local got
  got=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1;next} on&&/^[ \t]*\[/{print $NF;next} {on=0}' <<<"$dump" | sort)
  if [ "$got" != "$want" ]; then
    echo "$dll exports:"; echo "$got"; echo "expected:"; echo "$want"; fail=1
  fi
  local imports
  imports=$(awk '/DLL Name:/{print tolower($3)}' <<<"$dump" | sort -u)
  while read -r name; do
    [ -z "$name" ] && continue
    if ! grep -Eq "$allowed" <<<"$name"; then echo "$dll imports $name (only KERNEL32.dll and msvcrt.dll are allowed)"; fail=1; fi
  done <<<"$imports"
  # The deliverables are linked stripped (-s): no debug information.
  if $objdump -h "$dll" | grep -q ' \.debug_'; then echo "$dll carries debug sections"; fail=1; fi
  echo "$(basename "$dll"): exports $(echo $got); imports $(echo $imports)"
}

check "$build/shiori/shiori.dll" load loadu request unload
check "$build/makoto/makoto.dll" load execute request unload
exit $fail
