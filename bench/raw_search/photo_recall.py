#!/usr/bin/env python3
"""Carves the pictures of the signature-search benchmark image with
harbex-scan and with PhotoRec (JPEG, GIF and TIFF families enabled) and
prints, per type of the image's manifest, how many files each recovered
byte for byte, with each tool's wall time.
Usage: photo_recall.py HARBEX_SCAN IMAGE"""
import collections
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

TYPES = ["jpg", "gif", "tif", "nef", "cr2", "arw", "dng", "png"]


def hashes(folder):
    found = set()
    for root, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                found.add(hashlib.sha256(f.read()).hexdigest())
    return found


def timed(command, cwd):
    start = time.monotonic()
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return time.monotonic() - start


def main():
    tool, image = sys.argv[1], os.path.abspath(sys.argv[2])
    manifest = collections.defaultdict(set)
    with open(image + ".manifest") as f:
        for line in f:
            kind, _, _, sha = line.split("\t")
            manifest[kind].add(sha.strip())
    work = tempfile.mkdtemp()
    try:
        ours = os.path.join(work, "harbex")
        ours_time = timed([tool, "--complete", "--deep", "--types", "2", "--recover", ours, image],
                          work)
        theirs = os.path.join(work, "photorec")
        theirs_time = timed(["photorec", "/log", "/d", theirs, "/cmd", image,
                             "partition_none,options,paranoid,fileopt,everything,disable,"
                             "jpg,enable,gif,enable,tif,enable,png,enable,search"], work)
        ours_found, theirs_found = hashes(ours), hashes(work + "/photorec.1")
        theirs_found |= hashes(theirs)
        print(f"harbex-scan {ours_time:.1f} s, photorec {theirs_time:.1f} s, "
              f"ratio {ours_time / theirs_time:.2f}")
        print("type\tdistinct files\tharbex exact\tphotorec exact")
        for kind in TYPES:
            files = manifest.get(kind, set())
            print(f"{kind}\t{len(files)}\t{len(files & ours_found)}\t{len(files & theirs_found)}")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
