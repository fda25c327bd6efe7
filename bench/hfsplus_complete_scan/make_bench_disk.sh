#!/bin/bash
# Makes the 2 GiB disk image the HFS+ complete-scan benchmark walks: a GPT
# with two HFS+ partitions, each holding a folder tree of small files and large
# files of random bytes (about 1.6 GiB used in all), so most sectors carry data
# to analyse. Each volume is cut out of the Apple partition map of the .iso
# xorriso writes.
# Usage: make_bench_disk.sh IMAGE
set -euo pipefail
image=$1
for tool in xorriso sfdisk python3; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8

# make_volume NAME LABEL: a volume of 40 folders of 50 small files each, a
# nested file per folder and three files of 256 MiB.
make_volume() {
    local tree="$work/$1"
    for d in $(seq 1 40); do
        mkdir -p "$tree/folder $d/sub"
        for f in $(seq 1 50); do
            head -c $((f * 500 + d)) /dev/urandom >"$tree/folder $d/file $f.bin"
        done
        head -c 50000 /dev/urandom >"$tree/folder $d/sub/NESTED.DAT"
    done
    for n in 1 2 3; do
        head -c $((256 * 1024 * 1024)) /dev/urandom >"$tree/BIG$n.BIN"
    done
    xorriso -as mkisofs -hfsplus -V "$2" -o "$work/$1.iso" "$tree" >/dev/null 2>&1
    rm -rf "$tree"
    python3 - "$work/$1.iso" "$work/$1.img" <<'PY'
import struct, sys
with open(sys.argv[1], 'rb') as iso:
    unit = struct.unpack('>H', iso.read(4)[2:4])[0]
    for i in range(1, 64):
        iso.seek(i * unit)
        e = iso.read(unit)
        if e[48:80].rstrip(b'\0') == b'Apple_HFS':
            start, count = struct.unpack_from('>II', e, 8)
            iso.seek(start * unit)
            with open(sys.argv[2], 'wb') as out:
                left = count * unit
                while left:
                    piece = iso.read(min(left, 1 << 24))
                    out.write(piece)
                    left -= len(piece)
            sys.exit(0)
sys.exit('no Apple_HFS partition')
PY
    rm -f "$work/$1.iso"
}

make_volume one BENCHONE
make_volume two BENCHTWO
one=$(($(stat -c %s "$work/one.img") / 512))
two=$(($(stat -c %s "$work/two.img") / 512))
disk_sectors=$((2 * 1024 * 1024 * 2))
second=$((2048 + one + 2048))
[ $((second + two + 34)) -le "$disk_sectors" ] || { echo "volumes too large" >&2; exit 1; }

rm -f "$image"
truncate -s $((disk_sectors * 512)) "$image"
printf 'label: gpt\nstart=2048, size=%d, type=48465300-0000-11AA-AA11-00306543ECAC\nstart=%d, size=%d, type=48465300-0000-11AA-AA11-00306543ECAC\n' \
    "$one" "$second" "$two" | sfdisk -q "$image" >/dev/null
dd if="$work/one.img" of="$image" bs=1M oflag=seek_bytes seek=$((2048 * 512)) conv=notrunc status=none
dd if="$work/two.img" of="$image" bs=1M oflag=seek_bytes seek=$((second * 512)) conv=notrunc status=none
