#!/usr/bin/env bash
# The WebAssembly modules under Node.js (the conversation module loaded by
# nativeshiori) against the Linux libraries under the native scripted host,
# each over its own copy of the sample ghost:
#  1. the scripted session, with the clock frozen at the same instant on both
#     sides (libfaketime here, a fixed Date.now there; TZ=UTC for both), so
#     the module's own generator, seeded from the clock, draws the same:
#     transcripts and the folders left behind (values.dat, the sealed
#     dictionary) must be equal byte for byte;
#  2. a reload over those folders: the module reads values.dat back from the
#     emscripten file system (the visit count goes up by one), and again both
#     sides must be equal;
#  3. every response parsed by a third-party SHIORI parser (shiorijk);
#  4. the translation module, whose draws come from the C library's rand
#     (another generator in the WebAssembly C library than in glibc): the
#     set of answers each script line gets over the same 24 clocks must be
#     the same on both sides. The clocks lie 3607 seconds apart: the
#     WebAssembly C library's generator, seeded with neighbouring seconds,
#     gives neighbouring draws, which would leave answers out.
set -euo pipefail
host=$1 shiori_so=$2 makoto_so=$3 wasm=$4 ghost=$5 session=$6 here=$7 work=$8 node=$9
checker=${10}
clock=1715949296  # 2024-05-17 12:34:56 UTC
export TZ=UTC

for tool in faketime "$node"; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/bootstrap installs it)"; exit 1; }
done

rm -rf "$work"
mkdir -p "$work"
fresh_ghost() {
  mkdir -p "$1"
  cp -R "$ghost/." "$1/"
  rm -f "$1/values.dat" "$1/"*.xdi
}
clock_text() { date -u -d "@$1" '+%Y-%m-%d %H:%M:%S'; }
linux_run() {  # SECONDS GHOST SCRIPT TRANSCRIPT
  faketime -f "$(clock_text "$1")" "$host" "$shiori_so" "$makoto_so" "$2/" "$3" > "$4"
}
wasm_run() {  # SECONDS GHOST SCRIPT TRANSCRIPT
  GHOST_FROZEN_CLOCK=$(($1 * 1000)) "$node" "$here/run-session.js" "$wasm" "$2" "$3" "$4"
}

status=0
compare() {  # WHAT LINUX WASM
  if ! diff -ru "$2" "$3" > "$work/diff.txt"; then
    echo "$1 differ:"; head -40 "$work/diff.txt"; status=1
  fi
}
visits() { tr -d '\r' < "$1/values.dat" 2>/dev/null | sed -n 's/^visits,//p'; }

grep -v '^makoto: ' "$session" > "$work/session.txt"
for side in linux wasm; do fresh_ghost "$work/$side"; done
linux_run "$clock" "$work/linux" "$work/session.txt" "$work/linux.txt"
wasm_run "$clock" "$work/wasm" "$work/session.txt" "$work/wasm.txt"
compare "first session: transcripts" "$work/linux.txt" "$work/wasm.txt"
compare "first session: ghost folders" "$work/linux" "$work/wasm"
first=$(visits "$work/wasm")
[ -n "$first" ] || { echo "no values.dat in the emscripten file system after unload"; status=1; }

linux_run $((clock + 60)) "$work/linux" "$here/reload-session.txt" "$work/linux-reload.txt"
wasm_run $((clock + 60)) "$work/wasm" "$here/reload-session.txt" "$work/wasm-reload.txt"
compare "reload: transcripts" "$work/linux-reload.txt" "$work/wasm-reload.txt"
compare "reload: ghost folders" "$work/linux" "$work/wasm"
second=$(visits "$work/wasm")
if [ -z "$first" ] || [ "$second" != "$((first + 1))" ]; then
  echo "reload: visits went from '$first' to '$second', not up by one"; status=1
fi

"$node" "$checker" "$work/session.txt" "$work/wasm.txt" || status=1
"$node" "$checker" "$here/reload-session.txt" "$work/wasm-reload.txt" || status=1

# Each answer of the translation module (execute's script, a request's
# whole answer) on one line, as "N<TAB>escaped answer".
answers() {
  awk '/^(<< |!! |unload )/ { if (on) print n++ "\t" body; on = 0 }
       on { body = body $0 }
       /^<< makoto/ { on = 1; body = "" }' "$1"
}
fresh_ghost "$work/draws"
for i in $(seq 0 23); do
  linux_run $((clock + 3607 * i)) "$work/draws" "$here/translation-draws.txt" "$work/draws.txt"
  answers "$work/draws.txt" >> "$work/draws-linux.all"
  wasm_run $((clock + 3607 * i)) "$work/draws" "$here/translation-draws.txt" "$work/draws.txt"
  answers "$work/draws.txt" >> "$work/draws-wasm.all"
done
sort -u "$work/draws-linux.all" > "$work/draws-linux.txt"
sort -u "$work/draws-wasm.all" > "$work/draws-wasm.txt"
compare "translation: sets of answers" "$work/draws-linux.txt" "$work/draws-wasm.txt"
echo "translation: $(wc -l < "$work/draws-wasm.txt") distinct answers to" \
  "$(grep -c '^makoto' "$here/translation-draws.txt") lines over 24 clocks"
echo "responses compared: $(grep -c '^<< ' "$work/linux.txt") + $(grep -c '^<< ' "$work/linux-reload.txt")"
exit $status
