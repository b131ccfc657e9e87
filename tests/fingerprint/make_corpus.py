#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds the labelled sound corpus from music Debian ships (extremetuxracer-data, neverball-common).

make_corpus.py OUTDIR writes the files and OUTDIR/labels.tsv: one line per file, "FILE<TAB>RECORDING", where
RECORDING is the original a variant must match, or "-" for a file that must match nothing.
Originals are cut to 40 s first so that the corpus is made in seconds; encodings run two at a time.
"""
import concurrent.futures
import os
import subprocess
import sys

ETR = "/usr/share/games/etr/music"
NEVERBALL = "/usr/share/games/neverball/bgm"
ORIGINALS = [f"{ETR}/calmrace-ks.ogg", f"{ETR}/freezingpoint.ogg", f"{ETR}/race1-jt.ogg",
             f"{NEVERBALL}/track1.ogg", f"{NEVERBALL}/track4.ogg"]
# Other music: each must match nothing (nor its own two encodings each other's originals).
OTHERS = [f"{ETR}/credits1-cp.ogg", f"{ETR}/start1-jt.ogg", f"{ETR}/spunkyrace-ks.ogg",
          f"{NEVERBALL}/title.ogg", f"{NEVERBALL}/track2.ogg", f"{NEVERBALL}/track5.ogg"]
SECONDS = 40

# name -> (extension, ffmpeg arguments between input and output)
VARIANTS = {
    "mp3-cbr96": ("mp3", ["-c:a", "libmp3lame", "-b:a", "96k"]),
    "mp3-cbr192": ("mp3", ["-c:a", "libmp3lame", "-b:a", "192k"]),
    "mp3-cbr320": ("mp3", ["-c:a", "libmp3lame", "-b:a", "320k"]),
    "mp3-vbr2": ("mp3", ["-c:a", "libmp3lame", "-q:a", "2"]),
    "mp3-vbr7": ("mp3", ["-c:a", "libmp3lame", "-q:a", "7"]),
    "aac96": ("m4a", ["-c:a", "aac", "-b:a", "96k"]),
    "opus64": ("opus", ["-c:a", "libopus", "-b:a", "64k"]),
    "vorbis": ("ogg", ["-c:a", "libvorbis", "-q:a", "3"]),
    "flac": ("flac", ["-c:a", "flac"]),
    "silence1s": ("mp3", ["-af", "adelay=1000:all=1", "-c:a", "libmp3lame", "-b:a", "128k"]),
    "silence3s-aac": ("m4a", ["-af", "adelay=3000:all=1,volume=-4dB", "-c:a", "aac", "-b:a", "96k"]),
    "minus6db": ("ogg", ["-af", "volume=-6dB", "-c:a", "libvorbis", "-q:a", "3"]),
    "mono": ("mp3", ["-ac", "1", "-c:a", "libmp3lame", "-b:a", "128k"]),
    "cut20s": ("flac", ["-t", str(SECONDS - 20), "-c:a", "flac"]),
}


def ffmpeg(args):
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y"] + args, check=True)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    labels = []
    jobs = []
    pool = concurrent.futures.ThreadPoolExecutor(max_workers=2)
    # The originals, cut, as the source of their variants.
    cut = {}
    for path in ORIGINALS + OTHERS:
        name = os.path.splitext(os.path.basename(path))[0]
        cut[name] = os.path.join(out, f"{name}.wav")
        jobs.append(pool.submit(ffmpeg, ["-i", path, "-t", str(SECONDS), cut[name]]))
    for job in jobs:
        job.result()
    jobs = []
    for path in ORIGINALS:
        name = os.path.splitext(os.path.basename(path))[0]
        labels.append((cut[name], name))
        for variant, (ext, args) in VARIANTS.items():
            target = os.path.join(out, f"{name}.{variant}.{ext}")
            jobs.append(pool.submit(ffmpeg, ["-i", cut[name]] + args + [target]))
            labels.append((target, name))
        # A clip under 10 s says too little: it must match nothing.
        clip = os.path.join(out, f"{name}.clip6s.mp3")
        jobs.append(pool.submit(ffmpeg, ["-i", cut[name], "-t", "6", "-c:a", "libmp3lame", clip]))
        labels.append((clip, "-"))
    for path in OTHERS:
        name = os.path.splitext(os.path.basename(path))[0]
        labels.append((cut[name], "-"))
    lavfi = {
        "silence.flac": "anullsrc=r=44100:cl=stereo",
        "tone440.mp3": "sine=frequency=440:sample_rate=44100",
        "tone1000.ogg": "sine=frequency=1000:sample_rate=44100",
        "hum50.flac": "sine=frequency=50:sample_rate=44100,volume=-50dB",
        "noise.mp3": "anoisesrc=d=30:c=pink:a=0.3",
    }
    for file, source in lavfi.items():
        target = os.path.join(out, file)
        jobs.append(pool.submit(ffmpeg, ["-f", "lavfi", "-i", source, "-t", "30", target]))
        labels.append((target, "-"))
    texts = ["The quick brown fox jumps over the lazy dog while the music library waits to be cleaned. " * 3,
             "Harbour lights shine on the paper boats as the slow machines of the northern night hum along. " * 3]
    for n, text in enumerate(texts):
        wav = os.path.join(out, f"speech{n}.wav")
        subprocess.run(["espeak-ng", "-w", wav, text], check=True)
        labels.append((wav, "-"))
    for job in jobs:
        job.result()
    with open(os.path.join(out, "labels.tsv"), "w") as f:
        for file, label in labels:
            f.write(f"{file}\t{label}\n")


if __name__ == "__main__":
    main()
