#!/bin/bash
# Makes the NTFS image the quick-scan benchmark walks: 100 folders of 1000
# small files each (100,000 files) written through ntfs-3g over a loop device,
# every tenth file deleted. Needs root.
# Usage: make_bench_image.sh IMAGE
set -euo pipefail
image=$1
work=$(mktemp -d)
mnt="$work/mnt"
loop=""
cleanup() {
    mountpoint -q "$mnt" 2>/dev/null && umount "$mnt"
    [ -n "$loop" ] && losetup -d "$loop"
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$mnt"

rm -f "$image"
truncate -s 400M "$image"
mkntfs -F -q -Q -L QUICKBENCH "$image" >/dev/null 2>&1
loop=$(losetup -f --show "$image")
ntfs-3g "$loop" "$mnt"
python3 - "$mnt" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(1, 101):
    folder = os.path.join(root, 'folder %03d' % d)
    os.mkdir(folder)
    for f in range(1, 1001):
        with open(os.path.join(folder, 'file %04d.txt' % f), 'w') as out:
            out.write('folder %03d file %04d\n' % (d, f))
for d in range(1, 101):
    folder = os.path.join(root, 'folder %03d' % d)
    for f in range(10, 1001, 10):
        os.remove(os.path.join(folder, 'file %04d.txt' % f))
PY
umount "$mnt"
