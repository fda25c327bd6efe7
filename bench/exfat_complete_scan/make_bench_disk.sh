#!/bin/bash
# Makes the 2 GiB disk image the complete-scan benchmark walks: an MBR with one
# exFAT partition holding a folder tree of small files and large files of
# random bytes (about 1.6 GiB used), written through exfat-fuse, so most
# sectors carry data to analyse. Needs root (loop device and FUSE).
# Usage: make_bench_disk.sh IMAGE
set -euo pipefail
image=$1
[ "$(id -u)" = 0 ] || { echo "run as root (loop device and FUSE)" >&2; exit 1; }
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

start=2048
disk_sectors=$((2 * 1024 * 1024 * 2))
part_sectors=$((disk_sectors - start))
rm -f "$image"
truncate -s $((disk_sectors * 512)) "$image"
printf 'label: dos\nunit: sectors\n%s,%s,7\n' "$start" "$part_sectors" | sfdisk -q "$image" >/dev/null
loop=$(losetup --find --show --offset $((start * 512)) --sizelimit $((part_sectors * 512)) "$image")
mkfs.exfat -L BENCH -c 32K "$loop" >/dev/null
mount.exfat-fuse "$loop" "$mnt"
for d in $(seq 1 40); do
    mkdir -p "$mnt/folder $d/sub"
    for f in $(seq 1 25); do
        head -c $((f * 1000 + d)) /dev/urandom >"$mnt/folder $d/file $f.bin"
    done
    head -c 50000 /dev/urandom >"$mnt/folder $d/sub/NESTED.DAT"
done
for n in $(seq 1 6); do
    head -c $((256 * 1024 * 1024)) /dev/urandom >"$mnt/BIG$n.BIN"
done
umount "$mnt"
