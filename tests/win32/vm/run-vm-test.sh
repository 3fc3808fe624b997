#!/usr/bin/env bash
# Runs the 32-bit DLLs under a 32-bit Windows loader: 32-bit Wine in the test
# VM (scripts/vm), and compares every response with the same requests sent
# through the Linux libraries.
#
#  1. The scripted host (host.exe, i686) runs tests/win32/script.txt over a
#     copy of the test ghost; transcript and value file must match Linux's.
#     The ghost's dic_words.txt is sealed by the 32-bit module on load; its
#     .xdi must unseal on Linux to the plain dictionary.
#  2. The scripted host loads a copy of the ghost from a directory whose name
#     is Japanese (Shift_JIS bytes in the path load gets, some with the trail
#     byte 0x5C) and sends a request of more than 16 MiB; transcript and value
#     file must match a Linux run in a directory named with the same bytes.
#     The translation DLL answers each script of the run both through execute
#     and as a MAKOTO/2.0 request, whose answer must carry execute's result.
#  3. The scripted host loads a copy of the ghost through loadu from a
#     directory named in Japanese with a character the code page 932 cannot
#     spell (UTF-8 in the path loadu gets, from the wide command line), after
#     a loadu of a path that is no UTF-8, which must answer 0; transcript and
#     value file must match a Linux run through loadu.
#  4. proxy-host.exe, which speaks the framing of a Linux host's proxy for
#     Windows modules, runs a short session; its output stream must equal
#     that of its Linux build.
#
# The VM's console and Wine's messages are shown only when something fails.
# The last line is "N responses identical", also left in WORK/result.
set -euo pipefail
export LC_ALL=C
linux_host=$1 proxy_linux=$2 shiori_so=$3 makoto_so=$4 table_tool=$5 seal_tool=$6
win_build=$7 src=$8 work=$9
vm_scripts=$(cd "$src/../../scripts/vm" && pwd)
. "$vm_scripts/common.sh"

image=$(vm_image_dir)
if [ ! -f "$image/ready" ]; then
  echo "No VM image for this recipe in $(vm_cache_root)/: 'sudo make vm-image' builds it once for every user."
  exit 1
fi

rm -rf "$work"
# The share holds job.sh, the files to run in in/ (the job copies them to
# the VM's own disk and runs them there) and what comes back in out/.
linux="$work/linux" share="$work/share" in="$work/share/in" out="$work/share/out"
mkdir -p "$linux" "$in/bin" "$out"
for f in tests/win32/host.exe tests/win32/proxy-host.exe shiori/shiori.dll makoto/makoto.dll; do
  [ -f "$win_build/$f" ] || { echo "missing $win_build/$f (make win32)"; exit 1; }
  cp "$win_build/$f" "$in/bin/"
done

# A ghost copy with its translation tables in each directory given.
ghost() {
  local dir
  for dir in "$@"; do
    mkdir -p "$dir"
    cp -R "$src/ghost/." "$dir/"
    "$table_tool" encode "$src/ghost/makoto0.txt" "$dir/makoto0.nft"
    "$table_tool" encode "$src/ghost/makoto1.txt" "$dir/makoto1.nft"
  done
}

# "ソース表示" (source display): its Shift_JIS bytes for the Linux run, the
# same name in UTF-8 for the directory in the VM that Wine maps it to.
sjis_name=$'\x83\x5c\x81\x5b\x83\x58\x95\x5c\x8e\xa6'
utf8_name=$(printf '%s' "$sjis_name" | iconv -f SHIFT_JIS -t UTF-8)
# "ゴースト𠮷" (ghost, and a form of the character for "good luck" that
# lies outside code page 932 and outside UTF-16's first plane): only a UTF-8
# path and wide file calls reach it.
wide_name=$'\xe3\x82\xb4\xe3\x83\xbc\xe3\x82\xb9\xe3\x83\x88\xf0\xa0\xae\xb7'
printf "sjis_dir='%s'\nwide_dir='%s'\n" "$utf8_name" "$wide_name" > "$share/env.sh"
cp "$src/vm/job.sh" "$share/job.sh"
cp "$src/script.txt" "$in/script.txt"
# The translation module is loaded with the ANSI path, which cannot name
# that directory: the loadu run sends no script to it.
grep -v '^makoto' "$src/script.txt" > "$in/utf8-script.txt"

# "ソース表示" once more, in u/, for loadu: the folder load reads through
# code page 932, reached through UTF-8 (on Linux its UTF-8 name, as loadu
# takes no other bytes).
ghost "$linux/main" "$in/main" "$linux/$sjis_name" "$in/$utf8_name" "$linux/proxy" "$in/proxy" \
  "$linux/$wide_name" "$in/$wide_name" "$linux/u/$utf8_name" "$in/u/$utf8_name"
cp "$in/bin/shiori.dll" "$in/proxy/"

# The last request is over 16 MiB: header lines of filler, then the event,
# so its answer shows that the module read the block to its end.
{
  printf 'GET Version SHIORI/2.5\n\nGET Sentence SHIORI/2.5\nEvent: OnBoot\n\n'
  printf 'GET Sentence SHIORI/2.5\n'
  awk -v n=$(((16 << 20) / 22 + 1)) 'BEGIN { while (n-- > 0) print "X-Filler: abcdefghij" }'
  printf 'Event: OnSave\nReference0: after 16 MiB\n'
} > "$in/sjis-script.txt"

# One framed request: its length as 4 bytes, little-endian, then the bytes.
frame() {
  local n=${#1}
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((n & 255)) $((n >> 8 & 255)) \
    $((n >> 16 & 255)) $((n >> 24 & 255)))"
  printf '%s' "$1"
}
{
  frame $'GET Version SHIORI/2.5\r\n\r\n'
  frame $'GET Sentence SHIORI/2.5\r\nSender: proxy\r\nEvent: OnBoot\r\n\r\n'
  frame $'GET Sentence SHIORI/2.5\r\nEvent: OnCount\r\n\r\n'
  frame $'GET String SHIORI/2.5\r\nID: greeting\r\n\r\n'
  frame $'GET Sentence SHIORI/2.5\r\nEvent: OnSave\r\nReference0: proxy\r\n\r\n'
  frame ''
} > "$in/proxy-in.bin"

# Each frame of a framed stream, for reading: "<< N bytes" and its text.
frames() {
  local f=$1 off=0 size n
  size=$(stat -c %s "$f")
  while [ "$off" -lt "$size" ]; do
    n=$(od -An -tu4 --endian=little -j "$off" -N4 "$f" | tr -d ' ')
    if [ -z "$n" ] || [ $((off + 4 + n)) -gt "$size" ]; then echo "!! truncated frame"; break; fi
    echo "<< frame ($n bytes)"
    tail -c +$((off + 5)) "$f" | head -c "$n" | cat -v
    echo
    off=$((off + 4 + n))
  done
}

# The Linux side.
"$linux_host" "$shiori_so" "$makoto_so" "$linux/main/" "$src/script.txt" > "$linux/main.txt"
"$linux_host" "$shiori_so" "$makoto_so" "$linux/$sjis_name/" "$in/sjis-script.txt" > "$linux/sjis.txt"
"$linux_host" "$shiori_so" "$makoto_so" "$linux/$wide_name/" "$in/utf8-script.txt" loadu \
  > "$linux/utf8.txt"
"$linux_host" "$shiori_so" "$makoto_so" "$linux/u/$utf8_name/" "$in/utf8-script.txt" loadu \
  > "$linux/utf8-sjis.txt"
"$proxy_linux" "$linux/proxy" "$shiori_so" < "$in/proxy-in.bin" > "$linux/proxy-out.bin"

vm_logs() {
  echo "--- VM console (last lines of $work/console.log)"
  tail -n 25 "$work/console.log" 2>/dev/null || true
  echo "--- Wine (last lines of $out/wine.err)"
  tail -n 25 "$out/wine.err" 2>/dev/null || true
  tail -n 10 "$share/job.log" 2>/dev/null || true
}

started=$(date +%s)
if ! "$vm_scripts/run-vm" "$share" "$work/console.log" > "$work/run-vm.log" 2>&1; then
  cat "$work/run-vm.log"
  vm_logs
  echo "the VM run failed"
  exit 1
fi

status=0
failed() { echo "$1"; status=1; }
# The first differing response, not the whole of a long difference.
compare_text() {
  if ! diff -u "$1" "$2" > "$work/diff.txt"; then
    awk '/^@@/ { hunks++ } hunks < 2' "$work/diff.txt" | head -n 30
    failed "$3"
  fi
}

grep -q '^main.txt 0$' "$out/status" || failed "host.exe did not end with status 0"
tr -d '\r' < "$out/main.txt" > "$work/vm-main.txt"
compare_text "$linux/main.txt" "$work/vm-main.txt" "transcripts differ (script.txt)"
cmp "$linux/main/values.dat" "$out/main/values.dat" || failed "value files differ (script.txt)"

if [ -s "$out/main/dic_words.xdi" ]; then
  "$seal_tool" unseal "$out/main/dic_words.xdi" > "$work/unsealed.txt" \
    && cmp "$src/ghost/dic_words.txt" "$work/unsealed.txt" \
    || failed "the dictionary sealed by the 32-bit module does not unseal to its plain text"
else
  failed "the 32-bit module wrote no dic_words.xdi"
fi

grep -q '^!!' "$work/vm-main.txt" && failed "the scripted host found faults (script.txt): $(grep '^!!' "$work/vm-main.txt" | head -n 3)"
[ "$(grep -c '^MAKOTO/2.0 200 OK' "$work/vm-main.txt")" -eq 2 ] \
  && [ "$(grep -c '^MAKOTO/2.0 400 Bad Request' "$work/vm-main.txt")" -eq 2 ] \
  || failed "the translation DLL did not answer the MAKOTO/2.0 requests (2 with 200, 2 with 400)"

grep -q '932' "$out/chcp.txt" || failed "Wine's code page is not 932: $(cat -v "$out/chcp.txt")"
grep -q 'Saved after 16 MiB' "$linux/sjis.txt" || failed "the 16 MiB request was not answered on Linux"
grep -q '^sjis.txt 0$' "$out/status" || failed "host.exe (Shift_JIS directory) did not end with status 0"
tr -d '\r' < "$out/sjis.txt" > "$work/vm-sjis.txt"
compare_text "$linux/sjis.txt" "$work/vm-sjis.txt" "transcripts differ (Shift_JIS directory, 16 MiB request)"
cmp "$linux/$sjis_name/values.dat" "$out/$utf8_name/values.dat" \
  || failed "value files differ (Shift_JIS directory)"

grep -q '^utf8.txt 0$' "$out/status" || failed "host.exe (loadu) did not end with status 0"
tr -d '\r' < "$out/utf8.txt" > "$work/vm-utf8.txt"
grep -q '^loadu shiori with no UTF-8: 0$' "$work/vm-utf8.txt" && grep -q '^loadu shiori: 1$' "$work/vm-utf8.txt" \
  || failed "loadu did not answer 0 for a path that is no UTF-8 and 1 for the ghost's"
grep -q '^!!' "$work/vm-utf8.txt" && failed "the scripted host found faults (loadu)"
compare_text "$linux/utf8.txt" "$work/vm-utf8.txt" "transcripts differ (loadu, directory outside code page 932)"
cmp "$linux/$wide_name/values.dat" "$out/$wide_name/values.dat" \
  || failed "value files differ (loadu directory)"
[ -s "$out/$wide_name/dic_words.xdi" ] || failed "the module wrote no dic_words.xdi in the loadu directory"

grep -q '^utf8-sjis.txt 0$' "$out/status" || failed "host.exe (loadu, Shift_JIS-named directory) did not end with status 0"
tr -d '\r' < "$out/utf8-sjis.txt" > "$work/vm-utf8-sjis.txt"
grep -q '^loadu shiori: 1$' "$work/vm-utf8-sjis.txt" || failed "loadu refused the directory load reads"
compare_text "$linux/utf8-sjis.txt" "$work/vm-utf8-sjis.txt" "transcripts differ (loadu, the directory load reads)"
cmp "$linux/u/$utf8_name/values.dat" "$out/u/$utf8_name/values.dat" \
  || failed "value files differ (loadu, the directory load reads)"

grep -q '^proxy-out.bin 0$' "$out/status" || failed "proxy-host.exe did not end with status 0"
frames "$linux/proxy-out.bin" > "$work/linux-proxy.txt"
frames "$out/proxy-out.bin" > "$work/vm-proxy.txt"
compare_text "$work/linux-proxy.txt" "$work/vm-proxy.txt" "framed responses differ (proxy-host)"
cmp "$linux/proxy-out.bin" "$out/proxy-out.bin" || failed "framed streams differ (proxy-host)"
cmp "$linux/proxy/values.dat" "$out/proxy/values.dat" || failed "value files differ (proxy-host)"

if [ $status -ne 0 ]; then
  vm_logs
  exit 1
fi
n=$(( $(grep -c '^<< ' "$linux/main.txt") + $(grep -c '^<< ' "$linux/sjis.txt") +
      $(grep -c '^<< ' "$linux/utf8.txt") + $(grep -c '^<< ' "$linux/utf8-sjis.txt") +
      $(grep -c '^<< frame' "$work/linux-proxy.txt") ))
sed 's/^run-vm: /VM /' "$share/timing"
echo "$n responses identical" | tee "$work/result"
