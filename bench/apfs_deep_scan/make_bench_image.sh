#!/bin/bash
# Makes the 2 GiB image the APFS deep-scan benchmark walks: one container made
# by mkapfs over the whole image, filled by apfsinject.py with a folder tree
# of about 900 MiB of random data, a few files left as deleted ones.
# Usage: make_bench_image.sh IMAGE
set -euo pipefail
image=$1
here=$(cd "$(dirname "$0")" && pwd)
tools=$(cd "$here/../../.." && pwd)/shared/fixture-tools
[ -x "$tools/apfsinject.py" ] || tools=/work/shared/fixture-tools
for tool in mkapfs python3; do
    command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -f "$image"
truncate -s $((2 * 1024 * 1024 * 1024)) "$image"
mkapfs -L Bench "$image" >/dev/null
tree="$work/tree"
for d in $(seq 1 30); do
    mkdir -p "$tree/folder $d"
    for f in $(seq 1 8); do
        head -c $((f * 60000 + d)) /dev/urandom >"$tree/folder $d/file $f.bin"
    done
    head -c $((24 * 1024 * 1024)) /dev/urandom >"$tree/folder $d/large.bin"
done
python3 "$tools/apfsinject.py" "$image" "$tree" --two-level --delete "file 3.bin" >/dev/null
