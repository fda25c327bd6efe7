#!/usr/bin/env python3
"""Makes the 2 GiB image the signature-search benchmark walks: no file
system, random bytes throughout, and laid into them at sector boundaries a
mix of real files: PNG pictures of many sizes (drawn by ImageMagick's
convert), JPEG pictures, gzip archives and plain text; GIF pictures, TIFF
files that exiftool types as camera raws and camera JPEGs with Exif; audio
and video files when ffmpeg and lame are there; the header-family files of
tests/fixtures/raw/make_raw_images.py (audio, video, archives, fonts,
pictures, texts, mail); the documents and containers of
tests/fixtures/raw/make_document_images.py. About 700 MiB of it is
files. IMAGE.manifest lists each laid file: type, start sector, length and
sha256. With FILES, a small image of that many files from the same mix, with
gaps of up to 32 KiB, for comparing carvers file by file
(compare_carving.py). Usage: make_raw_bench_image.py IMAGE [FILES]
"""
import gzip
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "fixtures", "raw"))
import make_raw_images  # noqa: E402  the header-family files
import make_document_images  # noqa: E402  documents and containers

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


# Camera makes and models that type TIFF files as raws.
CAMERAS = [("tif", []), ("nef", ["-Make=NIKON CORPORATION", "-Model=NIKON D70"]),
           ("cr2", ["-Make=Canon", "-Model=Canon EOS 5D"]), ("arw", ["-Make=SONY", "-Model=DSLR-A700"]),
           ("dng", ["-Make=Leica", "-Model=M9", "-DNGVersion=1.4.0.0"])]


def photos(work, rng):
    """GIF pictures, TIFF files typed as camera raws, camera JPEGs."""
    items = []
    for n in range(100, 115):
        items.append(("gif", draw(work, n, "gif", rng)))
    for n in range(115, 135):
        kind, tags = CAMERAS[n % len(CAMERAS)]
        draw(work, n, "tif", rng)
        path = os.path.join(work, f"f{n}.tif")
        if tags and shutil.which("exiftool"):
            subprocess.run(["exiftool", "-q", "-overwrite_original", *tags, path], check=True)
        else:
            kind = "tif"
        with open(path, "rb") as f:
            items.append((kind, f.read()))
    for n in range(135, 150):
        draw(work, n, "jpg", rng)
        path = os.path.join(work, f"f{n}.jpg")
        if shutil.which("exiftool"):
            subprocess.run(["exiftool", "-q", "-overwrite_original", "-Make=Canon",
                            f"-Model=Canon EOS {n}D", path], check=True)
        with open(path, "rb") as f:
            items.append(("jpg", f.read()))
    return items


def media(work, rng):
    """Audio and video files of a few seconds to half a minute, by kind."""
    if shutil.which("ffmpeg") is None or shutil.which("lame") is None:
        return []
    made = []

    def run(name, *args):
        path = os.path.join(work, name)
        subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", *args, path],
                       check=True)
        with open(path, "rb") as f:
            return f.read()

    for n in range(3):
        seconds = rng.randint(5, 30)
        tone = ["-f", "lavfi", "-i", f"sine=frequency={300 + 100 * n}:duration={seconds}"]
        video = ["-f", "lavfi", "-i", f"testsrc=size=320x240:rate=25:duration={seconds}"]
        x264 = ["-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"]
        tags = ["-metadata", f"title=Song {n}", "-metadata", f"artist=Artist {n}"]
        made.append(("mp3", run(f"t{n}.mp3", *tone, *tags, "-write_id3v1", "1", "-b:a", "128k")))
        wav = os.path.join(work, f"t{n}.wav")
        run(f"t{n}.wav", *tone)
        subprocess.run(["lame", "--quiet", "-b", "128", wav, wav + ".mp3"], check=True)
        with open(wav + ".mp3", "rb") as f:
            made.append(("mp3", f.read()))
        made.append(("m4a", run(f"t{n}.aac", *tone, "-c:a", "aac", "-f", "adts")))
        made.append(("m4a", run(f"t{n}.m4a", *tone, "-c:a", "aac", "-f", "ipod")))
        made.append(("wma", run(f"t{n}.wma", *tone, "-c:a", "wmav2", "-f", "asf")))
        made.append(("mov", run(f"v{n}.mov", *video, *tone, "-shortest", *x264, "-c:a", "aac")))
        made.append(("mp4", run(f"v{n}.mp4", *video, *tone, "-shortest", *x264, "-c:a", "aac")))
        made.append(("3gp", run(f"v{n}.3gp", *video, *tone, "-shortest", *x264, "-c:a", "aac",
                                "-ar", "16000", "-f", "3gp")))
        made.append(("wmv", run(f"v{n}.wmv", *video, *tone, "-shortest", "-c:v", "wmv2",
                                "-c:a", "wmav2", "-f", "asf")))
        made.append(("m2ts", run(f"v{n}.ts", *video, *tone, "-shortest", *x264, "-c:a", "aac",
                                 "-f", "mpegts")))
    return made


def make_pool(work, rng):
    pool = []
    for n in range(60):
        pool.append(("png", draw(work, n, "png", rng)))
    for n in range(60, 90):
        pool.append(("jpg", draw(work, n, "jpg", rng)))
    for n in range(10):
        text = ("line %d of a plain text file\n" % n).encode() * rng.randint(100, 50000)
        pool.append(("txt", text))
        pool.append(("gz", gzip.compress(text)))
    pool += photos(work, rng)
    pool += media(work, rng)
    pool += [(kind.lower(), data) for kind, data in
             make_raw_images.header_files(work, random.Random(12))]
    pool += [(kind.lower(), data) for kind, data in make_document_images.laid_files()]
    return pool


def main():
    if shutil.which("convert") is None:
        sys.exit("make_raw_bench_image: convert (imagemagick) is needed")
    image = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else None
    rng = random.Random(2026)
    work = tempfile.mkdtemp()
    try:
        pool = make_pool(work, rng)
        manifest = []
        with open(image, "wb") as out:
            written = 0
            target_files = 700 * 1024 * 1024
            files = 0
            noise = os.urandom(8 * 1024 * 1024)
            while written < SIZE:
                gap = rng.randint(1, 64 if count else 2048) * SECTOR
                chunk = noise[: min(gap, SIZE - written)]
                out.write(chunk)
                written += len(chunk)
                if count is not None and len(manifest) == count:
                    break
                if written >= SIZE or files >= target_files:
                    if files >= target_files and written < SIZE:
                        piece = noise[: min(len(noise), SIZE - written)]
                        out.write(piece)
                        written += len(piece)
                    continue
                kind, data = rng.choice(pool)
                data = data[: SIZE - written]
                manifest.append((kind, written // SECTOR, len(data),
                                 hashlib.sha256(data).hexdigest()))
                slack = (-len(data)) % SECTOR
                # Texts are followed by zeros, as file systems leave them.
                texts = {t.lower() for t in make_raw_images.TEXT_TYPES}
                padded = data + (bytes(slack) if kind in texts else noise[:slack])
                padded = padded[: SIZE - written]
                out.write(padded)
                written += len(padded)
                files += len(data)
            noise = None
        with open(image + ".manifest", "w") as f:
            for entry in manifest:
                f.write("\t".join(str(v) for v in entry) + "\n")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
