#!/bin/bash
# Makes the FAT32 image the quick-scan benchmark walks: 100 folders of 1000
# small files each (100,000 files, long names), every tenth file deleted.
# Usage: make_bench_image.sh IMAGE
set -euo pipefail
image=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1 LC_ALL=C.UTF-8

rm -f "$image"
mkfs.fat -F 32 -s 1 -n QUICKBENCH -C "$image" $((160 * 1024)) >/dev/null

tree="$work/tree"
for d in $(seq -w 1 100); do
    mkdir -p "$tree/folder $d"
    for f in $(seq -w 1 1000); do
        printf 'folder %s file %s\n' "$d" "$f" >"$tree/folder $d/file $f.txt"
    done
done
mcopy -s -i "$image" "$tree"/* ::/
for d in $(seq -w 1 100); do
    mdel -i "$image" "::/folder $d/file *0.txt"
done
