#!/bin/sh
# Runs the disk test that hands its files to another user from a copy of the
# build inside a folder only its owner may enter (mode 0700, as a checkout
# under root's home directory is), with TMPDIR in there too: the test must
# prepare what that user needs elsewhere, so it passes wherever the checkout
# lies. Exit status 77 (skipped) when not run as root, where the test skips.
#
# Usage: run-from-private-folder.sh TEST_DISK LIBSHIORI WORK
set -eu
test_disk=$1 library=$2 work=$3
[ "$(id -u)" -eq 0 ] || { echo "needs root, as the test it runs"; exit 77; }

rm -rf "$work"
mkdir -p -m 700 "$work"
mkdir -p "$work/build/tests" "$work/build/shiori" "$work/tmp"
cp "$test_disk" "$work/build/tests/"
cp "$library" "$work/build/shiori/"
status=0
out=$(cd "$work/build/tests" &&
  TMPDIR="$work/tmp" GHOST_TEST_SHIORI_LIBRARY="$work/build/shiori/$(basename "$library")" \
  "./$(basename "$test_disk")" --gtest_filter=Disk.UnreadableValueFileIsNotReplaced 2>&1) ||
  status=$?
printf '%s\n' "$out"
[ "$status" -eq 0 ] || exit "$status"
case $out in
  *"[  PASSED  ] 1 test."*) rm -rf "$work" ;;
  *) echo "the test did not run"; exit 1 ;;
esac
