#!/usr/bin/env python3
"""Makes the 2 GiB image the signature-search benchmark walks: no file
system, random bytes throughout, and laid into them at sector boundaries a
mix of real files: PNG pictures of many sizes (drawn by ImageMagick's
convert), JPEG pictures, gzip archives and plain text. About 700 MiB of it
is files. Usage: make_raw_bench_image.py IMAGE
"""
import gzip
import os
import random
import shutil
import subprocess
import sys
import tempfile

SIZE = 2 * 1024 * 1024 * 1024
SECTOR = 512


def draw(work, n, fmt, rng):
    path = os.path.join(work, f"f{n}.{fmt}")
    width, height = rng.choice([(64, 48), (320, 240), (640, 480), (1024, 768), (1600, 1200)])
    source = rng.choice(["plasma:fractal", "gradient:red-blue"])
    subprocess.run(["convert", "-seed", str(n), "-size", f"{width}x{height}", source, path],
                   check=True)
    with open(path, "rb") as f:
        return f.read()


def main():
    if shutil.which("convert") is None:
        sys.exit("make_raw_bench_image: convert (imagemagick) is needed")
    image = sys.argv[1]
    rng = random.Random(2026)
    work = tempfile.mkdtemp()
    try:
        pool = []
        for n in range(60):
            pool.append(draw(work, n, "png", rng))
        for n in range(60, 90):
            pool.append(draw(work, n, "jpg", rng))
        for n in range(10):
            text = ("line %d of a plain text file\n" % n).encode() * rng.randint(100, 50000)
            pool.append(text)
            pool.append(gzip.compress(text))
        with open(image, "wb") as out:
            written = 0
            target_files = 700 * 1024 * 1024
            files = 0
            noise = os.urandom(8 * 1024 * 1024)
            while written < SIZE:
                gap = rng.randint(1, 2048) * SECTOR
                chunk = noise[: min(gap, SIZE - written)]
                out.write(chunk)
                written += len(chunk)
                if written >= SIZE or files >= target_files:
                    if files >= target_files and written < SIZE:
                        piece = noise[: min(len(noise), SIZE - written)]
                        out.write(piece)
                        written += len(piece)
                    continue
                data = rng.choice(pool)
                data = data[: SIZE - written]
                padded = data + noise[: (-len(data)) % SECTOR]
                padded = padded[: SIZE - written]
                out.write(padded)
                written += len(padded)
                files += len(data)
            noise = None
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
