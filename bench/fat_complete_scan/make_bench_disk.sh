#!/bin/bash
# Makes the 2 GiB disk image the complete-scan benchmark walks: an MBR with one
# FAT32 partition holding a folder tree of small files and large files of
# random bytes (about 1.6 GiB used), so most sectors carry data to analyse.
# Usage: make_bench_disk.sh IMAGE
set -euo pipefail
image=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1

start=2048
disk_sectors=$((2 * 1024 * 1024 * 2))
part_sectors=$((disk_sectors - start))
rm -f "$image"
truncate -s $((disk_sectors * 512)) "$image"
printf 'label: dos\nunit: sectors\n%s,%s,c\n' "$start" "$part_sectors" | sfdisk -q "$image" >/dev/null
mkfs.fat -F 32 -s 8 -n BENCH --offset "$start" "$image" $((part_sectors / 2)) >/dev/null

tree="$work/tree"
for d in $(seq 1 40); do
    mkdir -p "$tree/folder $d/sub"
    for f in $(seq 1 25); do
        head -c $((f * 1000 + d)) /dev/urandom >"$tree/folder $d/file $f.bin"
    done
    head -c 50000 /dev/urandom >"$tree/folder $d/sub/NESTED.DAT"
done
mcopy -s -i "$image@@$((start * 512))" "$tree"/* ::/
for n in $(seq 1 6); do
    head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/big.bin"
    mcopy -i "$image@@$((start * 512))" "$work/big.bin" "::/BIG$n.BIN"
done
