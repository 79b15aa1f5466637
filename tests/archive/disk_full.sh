#!/bin/sh
# Runs the disk-full cases under a real 4 MB file-size limit: writes past it
# fail with EFBIG (the signal is ignored) instead of killing the process.
emulator="$1"; exe="$2"
dir=/tmp/wdrl_diskfull_$$
mkdir -p "$dir" || exit 1
trap 'rm -rf "$dir"' EXIT
# The sources are made before the limit: 6 MB of text that compresses to a
# few KB, and 5 MB of noise that does not compress at all.
yes "Quorvane 1.0.2.9 by Caldrevin" | head -c 6291456 > "$dir/big.txt"
head -c 5242880 /dev/urandom > "$dir/noise.bin"
winedir="Z:$(echo "$dir" | tr / '\\')"
(
  trap '' XFSZ
  ulimit -f 8192 # 512-byte blocks
  WDRL_DISKFULL_DIR="$winedir" "$emulator" "$exe" \
    --gtest_filter='WdrlCompress.RealShortWriteGoesThroughDiskFull:WdrlCompress.DiskFillsWhileAppending'
)
