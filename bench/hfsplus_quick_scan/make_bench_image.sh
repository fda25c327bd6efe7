#!/bin/bash
# Makes the HFS+ volume the quick-scan benchmark walks: 100 folders of 1000
# small files each (100,000 files), cut out of the Apple partition map of the
# .iso xorriso writes.
# Usage: make_bench_image.sh IMAGE
set -euo pipefail
image=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

tree="$work/tree"
python3 - "$tree" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(1, 101):
    folder = os.path.join(root, 'folder %03d' % d)
    os.makedirs(folder)
    for f in range(1, 1001):
        with open(os.path.join(folder, 'file %04d.txt' % f), 'w') as out:
            out.write('folder %03d file %04d\n' % (d, f))
PY
xorriso -as mkisofs -hfsplus -V QUICKBENCH -o "$work/bench.iso" "$tree" >/dev/null 2>&1
python3 - "$work/bench.iso" "$image" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
unit = struct.unpack_from('>H', d, 2)[0]
for i in range(1, 64):
    e = d[i * unit:(i + 1) * unit]
    if e[48:80].rstrip(b'\0') == b'Apple_HFS':
        start, count = struct.unpack_from('>II', e, 8)
        open(sys.argv[2], 'wb').write(d[start * unit:(start + count) * unit])
        sys.exit(0)
sys.exit('no Apple_HFS partition')
PY
