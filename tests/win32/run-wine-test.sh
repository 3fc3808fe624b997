#!/usr/bin/env bash
# Runs one scripted conversation twice: through the Linux libraries and
# through the Windows DLLs under Wine, each over its own copy of the test
# ghost, and compares the transcripts and the value files they leave.
set -euo pipefail
linux_host=$1 shiori_so=$2 makoto_so=$3 table_tool=$4 win_build=$5 src=$6 work=$7

rm -rf "$work/linux" "$work/win"
mkdir -p "$work/linux" "$work/win"
for side in linux win; do
  cp -R "$src/ghost/." "$work/$side/"
  for n in 0 1; do
    "$table_tool" encode "$src/ghost/makoto$n.txt" "$work/$side/makoto$n.nft"
  done
done

"$linux_host" "$shiori_so" "$makoto_so" "$work/linux/" "$src/script.txt" \
  | tr -d '\r' > "$work/linux.txt"

export WINEDEBUG=-all WINEARCH=win64 WINEPREFIX="$work/../wineprefix"
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
"$wine" "$win_build/tests/win32/host.exe" "$win_build/shiori/shiori.dll" \
  "$win_build/makoto/makoto.dll" "Z:$work/win/" "Z:$src/script.txt" 2>"$work/wine.err" \
  | tr -d '\r' > "$work/win.txt"

status=0
if ! diff -u "$work/linux.txt" "$work/win.txt"; then
  echo "transcripts differ"; status=1
fi
if [ -e "$work/linux/values.dat" ] || [ -e "$work/win/values.dat" ]; then
  if ! cmp "$work/linux/values.dat" "$work/win/values.dat"; then
    echo "value files differ"; status=1
  fi
fi
grep -c '^<< ' "$work/linux.txt" | sed 's/^/responses compared: /'
exit $status
