#!/usr/bin/env python3
"""Compares what the raw search and PhotoRec carve from the benchmark image
with the files make_raw_bench_image.py laid into it (IMAGE.manifest).

Each carved file is matched by content: the same bytes as a laid-in file are
"exact"; its first bytes but a different length, "size"; the start of no
laid-in file, "false". A laid-in file that neither exact nor sized copies
account for is "missed". Prints one table per tool, by kind, and the time
each took. Usage: compare_carving.py IMAGE HARBEX_SCAN [WORK_DIR]
"""
import collections
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

PREFIX = 4096


def pool_files(image_path, manifest_path):
    """kind by placement count, and the distinct laid-in files by prefix."""
    placements = collections.Counter()
    distinct = {}
    with open(manifest_path) as manifest, open(image_path, "rb") as image:
        for line in manifest:
            kind, start, length, digest = line.rstrip("\n").split("\t")
            placements[kind] += 1
            if digest not in distinct:
                image.seek(int(start) * 512)
                distinct[digest] = (kind, image.read(int(length)))
    by_prefix = collections.defaultdict(list)
    for digest, (kind, data) in distinct.items():
        by_prefix[data[:PREFIX]].append((kind, digest, data))
    return placements, by_prefix


def classify(folder, by_prefix):
    counts = collections.defaultdict(collections.Counter)
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            if name.endswith((".log", ".xml")) or name == "report.xml":
                continue
            with open(path, "rb") as f:
                carved = f.read()
            kind, verdict = None, "false"
            for prefix_kind, digest, data in by_prefix.get(carved[:PREFIX], []):
                kind = prefix_kind
                if hashlib.sha256(carved).hexdigest() == digest:
                    verdict = "exact"
                    break
                verdict = "size"
            if kind is None:
                # Files shorter than the prefix: one may begin the other.
                for key, candidates in by_prefix.items():
                    if (len(carved) < PREFIX and key.startswith(carved)) or (
                            len(key) < PREFIX and carved.startswith(key)):
                        kind, verdict = candidates[0][0], "size"
                        break
            counts[kind or os.path.splitext(name)[1].lstrip(".").upper() or "?"][verdict] += 1
    return counts


def table(title, seconds, counts, placements):
    print(f"\n{title}: {seconds:.1f} s")
    print(f"{'kind':8}{'laid in':>9}{'exact':>7}{'size':>6}{'missed':>8}{'false':>7}")
    for kind in sorted(set(placements) | set(counts)):
        c = counts.get(kind, collections.Counter())
        laid = placements.get(kind, 0)
        missed = max(0, laid - c["exact"] - c["size"])
        print(f"{kind:8}{laid:>9}{c['exact']:>7}{c['size']:>6}{missed:>8}{c['false']:>7}")


def main():
    image, scan = sys.argv[1], sys.argv[2]
    work = sys.argv[3] if len(sys.argv) > 3 else tempfile.mkdtemp()
    placements, by_prefix = pool_files(image, image + ".manifest")
    ours = os.path.join(work, "harbex")
    theirs = os.path.join(work, "photorec")
    for folder in (ours, theirs):
        shutil.rmtree(folder, ignore_errors=True)
    started = time.time()
    subprocess.run([scan, "--complete", "--deep", "--recover", ours, image], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ours_seconds = time.time() - started
    table("harbex-scan --complete --deep --recover", ours_seconds, classify(ours, by_prefix),
          placements)
    if shutil.which("photorec") is None:
        print("\nno photorec")
        return
    os.makedirs(theirs)
    started = time.time()
    subprocess.run(["photorec", "/log", "/d", os.path.join(theirs, "f"), "/cmd", image,
                    "partition_none,options,paranoid,fileopt,everything,enable,search"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)
    theirs_seconds = time.time() - started
    table("photorec (all types, paranoid)", theirs_seconds, classify(theirs, by_prefix),
          placements)


if __name__ == "__main__":
    main()
