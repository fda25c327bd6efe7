#!/bin/bash
# Makes the exFAT volume the quick-scan benchmark walks: 100 folders of 1000
# small files each (100,000 files, long names) written through exfat-fuse,
# every tenth file deleted. Needs root (loop device and FUSE).
# Usage: make_bench_image.sh IMAGE
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

rm -f "$image"
truncate -s 512M "$image"
loop=$(losetup --find --show "$image")
mkfs.exfat -L QUICKBENCH -c 4K "$loop" >/dev/null
mount.exfat-fuse "$loop" "$work/mnt"
python3 - "$work/mnt" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(1, 101):
    folder = os.path.join(root, 'folder %03d' % d)
    os.mkdir(folder)
    for f in range(1, 1001):
        with open(os.path.join(folder, 'file %04d.txt' % f), 'w') as out:
            out.write('folder %03d file %04d\n' % (d, f))
for d in range(1, 101):
    for f in range(10, 1001, 10):
        os.remove(os.path.join(root, 'folder %03d' % d, 'file %04d.txt' % f))
PY
umount "$work/mnt"
