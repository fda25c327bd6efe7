#!/bin/bash
# Makes the 2 GiB disk image the NTFS complete-scan benchmark walks: an MBR
# with two NTFS partitions, each holding a folder tree of small files and large
# files of random bytes (about 1.6 GiB used in all), written through ntfs-3g,
# so most sectors carry data to analyse. Needs root (loop devices and FUSE).
# Usage: make_bench_disk.sh IMAGE
set -euo pipefail
image=$1
[ "$(id -u)" = 0 ] || { echo "run as root (loop devices and FUSE)" >&2; exit 1; }
work=$(mktemp -d)
loop=""
cleanup() {
    mountpoint -q "$work/mnt" 2>/dev/null && umount "$work/mnt"
    [ -n "$loop" ] && losetup -d "$loop"
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/mnt"
mnt="$work/mnt"

disk_sectors=$((2 * 1024 * 1024 * 2))
half=$(((disk_sectors - 2048) / 2))
rm -f "$image"
truncate -s $((disk_sectors * 512)) "$image"
printf 'label: dos\nunit: sectors\n2048,%s,7\n%s,%s,7\n' "$half" $((2048 + half)) "$half" |
    sfdisk -q "$image" >/dev/null
for start in 2048 $((2048 + half)); do
    loop=$(losetup --find --show --offset $((start * 512)) --sizelimit $((half * 512)) "$image")
    mkntfs -F -q -Q -p "$start" -H 255 -S 63 -c 4096 -L BENCH "$loop" >/dev/null
    ntfs-3g "$loop" "$mnt"
    for d in $(seq 1 40); do
        mkdir -p "$mnt/folder $d/sub"
        for f in $(seq 1 50); do
            head -c $((f * 500 + d)) /dev/urandom >"$mnt/folder $d/file $f.bin"
        done
        head -c 50000 /dev/urandom >"$mnt/folder $d/sub/NESTED.DAT"
    done
    for n in $(seq 1 3); do
        head -c $((256 * 1024 * 1024)) /dev/urandom >"$mnt/BIG$n.BIN"
    done
    umount "$mnt"
    losetup -d "$loop"; loop=""
done
