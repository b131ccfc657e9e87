#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes a demo music library for Tidyfox in a folder of its own.

    make-demo-library.py DEST [--tool PATH] [--no-import]

DEST gets:
  music/      a few dozen short, silent MP3 files (hand-written MPEG-1 Layer III
              frames with ID3v2.3 tags) and two WAV files, all made here
  demo.xml    an iTunes-style library file listing them, plus a file listed
              twice, three entries whose files do not exist and one internet
              stream, in five playlists
  data/       the demo's own XDG_DATA_HOME: data/tidyfox/library.db is made by
              `tidyfox-library import-xml demo.xml`

The library is arranged so that every duplicate filter item finds something:
equal names (and a pair that differs only by letter case), equal sizes, equal
albums, equal artists, equal bit rates, equal sample rates, equal file names in
other folders (and a pair that differs only by letter case), and one song kept
three times. Nothing outside DEST is read or written, and the same DEST always
gets the same files.

Python standard library only.
"""

import argparse
import hashlib
import os
import plistlib
import shutil
import struct
import subprocess
import sys
import urllib.parse
from dataclasses import dataclass, field
from datetime import datetime, timedelta, timezone
from pathlib import Path

MARKER = ".tidyfox-demo"

# MPEG-1 Layer III header tables: index of each bit rate (kbit/s) and sample
# rate (Hz) as the frame header encodes them.
BITRATE_INDEX = {32: 1, 40: 2, 48: 3, 56: 4, 64: 5, 80: 6, 96: 7, 112: 8, 128: 9, 160: 10, 192: 11, 224: 12,
                 256: 13, 320: 14}
SAMPLERATE_INDEX = {44100: 0, 48000: 1, 32000: 2}
SAMPLES_PER_FRAME = 1152
# Every tag is padded to the same size, so two files of equal audio length,
# bit rate and sample rate are of equal size whatever their tags say.
TAG_SIZE = 1024


@dataclass
class Track:
    name: str
    artist: str
    album: str
    genre: str
    composer: str
    path: str  # below DEST/music
    bitrate: int = 128
    samplerate: int = 44100
    frames: int = 60
    number: int = 0
    kind: str = "mpeg"  # "mpeg", "wav", "stream"
    present: bool = True  # False: a dead entry, its file is never written
    url: str = ""
    playlists: tuple = ()
    track_id: int = 0
    extra: dict = field(default_factory=dict)


def mp3_audio(bitrate, samplerate, frames):
    """Silent MPEG-1 Layer III frames: a valid header, zeroed side information
    (no main data, so every granule decodes to silence) and zero fill. Padding
    slots are spread as an encoder spreads them, so the average frame length
    matches the bit rate exactly."""
    out = bytearray()
    exact = 144 * bitrate * 1000 / samplerate
    base = int(exact)
    owed = 0.0
    for _ in range(frames):
        owed += exact - base
        padding = 1 if owed >= 1.0 - 1e-9 else 0
        if padding:
            owed -= 1.0
        # sync(11) version=MPEG-1(2) layer=III(2) no CRC(1) | bitrate(4) rate(2)
        # padding(1) private(1) | stereo(2) mode ext(2) copyright(1) original(1) emphasis(2)
        b1 = 0xFF
        b2 = 0xE0 | (0b11 << 3) | (0b01 << 1) | 1
        b3 = (BITRATE_INDEX[bitrate] << 4) | (SAMPLERATE_INDEX[samplerate] << 2) | (padding << 1)
        b4 = (0b00 << 6) | (1 << 2)  # stereo, original
        length = base + padding
        out += bytes((b1, b2, b3, b4)) + bytes(length - 4)
    return bytes(out)


def id3_text_frame(frame_id, text):
    try:
        payload = b"\x00" + text.encode("latin-1")
    except UnicodeEncodeError:
        payload = b"\x01" + text.encode("utf-16")  # with byte order mark
    return frame_id.encode("ascii") + struct.pack(">I", len(payload)) + b"\x00\x00" + payload


def id3v23_tag(track):
    frames = b"".join(
        id3_text_frame(fid, value)
        for fid, value in (("TIT2", track.name), ("TPE1", track.artist), ("TALB", track.album),
                           ("TCON", track.genre), ("TCOM", track.composer),
                           ("TRCK", str(track.number) if track.number else ""))
        if value)
    body = TAG_SIZE - 10
    if len(frames) > body:
        raise ValueError(f"tag of {track.name!r} does not fit in {TAG_SIZE} bytes")
    frames += bytes(body - len(frames))
    syncsafe = bytes(((body >> 21) & 0x7F, (body >> 14) & 0x7F, (body >> 7) & 0x7F, body & 0x7F))
    return b"ID3\x03\x00\x00" + syncsafe + frames


def riff_info(track):
    """A LIST/INFO chunk with the title, artist, album and genre."""
    body = b"INFO"
    for key, value in (("INAM", track.name), ("IART", track.artist), ("IPRD", track.album), ("IGNR", track.genre)):
        text = value.encode("latin-1") + b"\x00"
        body += key.encode("ascii") + struct.pack("<I", len(text)) + text + (b"\x00" if len(text) % 2 else b"")
    return b"LIST" + struct.pack("<I", len(body)) + body


def wav_file(track):
    """Mono 16-bit PCM silence, `frames` seconds long."""
    samplerate, channels, bits = track.samplerate, 1, 16
    data = bytes(samplerate * channels * bits // 8 * track.frames)
    fmt = struct.pack("<HHIIHH", 1, channels, samplerate, samplerate * channels * bits // 8, channels * bits // 8,
                      bits)
    id3 = id3v23_tag(track)  # many readers look for the ID3 chunk only
    chunks = (b"fmt " + struct.pack("<I", len(fmt)) + fmt + riff_info(track) + b"id3 " + struct.pack("<I", len(id3)) +
              id3 + b"data" + struct.pack("<I", len(data)) + data)
    return b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks


def file_bytes(track):
    if track.kind == "wav":
        return wav_file(track)
    return id3v23_tag(track) + mp3_audio(track.bitrate, track.samplerate, track.frames)


def total_time_ms(track):
    if track.kind == "wav":
        return track.frames * 1000
    return round(track.frames * SAMPLES_PER_FRAME * 1000 / track.samplerate)


def persistent_id(text):
    return hashlib.sha1(text.encode("utf-8")).hexdigest()[:16].upper()


# The invented catalogue. Names, artists and albums are our own.
MOTHS, PAPER = "The Lantern Moths", "Paper Satellites"
ORCHARD, GLASS = "Velvet Orchard", "Glasshouse Summer"
MIRA, LOWTIDE, CEDAR, FIELD = "Mira Solberg", "Low Tide Letters", "Salt & Cedar", "Field Notes"
FINCH, LEDGER = "Copper Finch Quartet", "Winter Ledger"
STATIC, FIRES = "Northbound Static", "Signal Fires"
QUILL, ADA, NORTH = "Quill & Harbor", "Ada Brennicke", "Northern Lights"
LUA, CAFE = "Lúa Ferreira", "Café Nocturne"
ORCH = "The Extraordinarily Long-Winded Orchestra of Saint Elsewhere"
OVERTURES = "Overtures for an Overlong Afternoon, Volume Two"

ROAD, QUIET, RAINY, CRATE = ("Road Trip", "Quiet Evenings",
                             "Songs for Rainy Afternoons When the Kettle Is On and Nobody Calls Back",
                             "Empty Crate")
PLAYLISTS = (ROAD, QUIET, RAINY, CRATE)


def catalogue():
    T = Track
    tracks = [
        # The Lantern Moths: an album of several tracks (equal albums, equal artists).
        T("Intro", MOTHS, PAPER, "Indie", "R. Okafor", f"{MOTHS}/{PAPER}/01 Intro.mp3", 128, 44100, 41, 1),
        T("Paper Boats", MOTHS, PAPER, "Indie", "R. Okafor", f"{MOTHS}/{PAPER}/02 Paper Boats.mp3", 128, 44100, 83,
          2, playlists=(ROAD,)),
        T("Satellite Hearts", MOTHS, PAPER, "Indie", "R. Okafor", f"{MOTHS}/{PAPER}/03 Satellite Hearts.mp3", 160,
          44100, 97, 3, playlists=(ROAD, RAINY)),
        # File name equal to the Velvet Orchard "Interlude.mp3" but for letter case.
        T("Interlude (Reprise)", MOTHS, PAPER, "Indie", "R. Okafor", f"{MOTHS}/{PAPER}/INTERLUDE.MP3", 128, 44100,
          47, 4),
        T("Demo Take 4", MOTHS, PAPER, "Indie", "R. Okafor", f"{MOTHS}/{PAPER}/09 Demo Take 4.mp3", 128, 44100, 66, 9,
          present=False),
        # Velvet Orchard.
        T("Glass Elevator", ORCHARD, GLASS, "Dream Pop", "Ines Varga", f"{ORCHARD}/{GLASS}/01 Glass Elevator.mp3",
          192, 48000, 88, 1, playlists=(ROAD,)),
        # Equal to "Paper Boats" but for letter case: not a duplicate by name.
        T("Paper boats", ORCHARD, GLASS, "Dream Pop", "Ines Varga", f"{ORCHARD}/{GLASS}/02 Paper boats.mp3", 192,
          48000, 54, 2),
        T("Interlude", ORCHARD, GLASS, "Dream Pop", "Ines Varga", f"{ORCHARD}/{GLASS}/Interlude.mp3", 160, 48000, 44,
          3),
        T("Sunroom", ORCHARD, GLASS, "Dream Pop", "Ines Varga", f"{ORCHARD}/{GLASS}/04 Sunroom.mp3", 192, 48000, 109,
          4, playlists=(RAINY,)),
        # Mira Solberg: two albums (equal artists across albums) and field recordings.
        T("Salt Road", MIRA, LOWTIDE, "Folk", MIRA, f"{MIRA}/{LOWTIDE}/03 Salt Road.mp3", 160, 44100, 72, 3,
          playlists=(ROAD, QUIET)),
        T("Lighthouse Keeper", MIRA, LOWTIDE, "Folk", MIRA, f"{MIRA}/{LOWTIDE}/04 Lighthouse Keeper.mp3", 128, 32000,
          63, 4, playlists=(QUIET,)),
        T("Letters Never Sent", MIRA, LOWTIDE, "Folk", MIRA, f"{MIRA}/{LOWTIDE}/05 Letters Never Sent.mp3", 128,
          32000, 52, 5, playlists=(QUIET, RAINY)),
        # Equal name to Quill & Harbor's "Harbour Lights".
        T("Harbour Lights", MIRA, CEDAR, "Folk", MIRA, f"{MIRA}/{CEDAR}/01 Harbour Lights.mp3", 160, 32000, 58, 1),
        T("Cedar Smoke", MIRA, CEDAR, "Folk", MIRA, f"{MIRA}/{CEDAR}/02 Cedar Smoke.mp3", 128, 32000, 77, 2,
          playlists=(QUIET,)),
        T("Rain on a Tin Roof", MIRA, FIELD, "Field Recording", MIRA, f"{MIRA}/{FIELD}/Rain on a Tin Roof.wav",
          256, 16000, 2, 1, kind="wav", playlists=(QUIET, RAINY)),
        T("Kettle Whistle", MIRA, FIELD, "Field Recording", MIRA, f"{MIRA}/{FIELD}/Kettle Whistle.wav", 256, 16000,
          1, 2, kind="wav", playlists=(RAINY,)),
        # Copper Finch Quartet: ripped without names, so its files are "Track NN".
        T("First Frost", FINCH, LEDGER, "Jazz", "T. Hallworth", f"{FINCH}/{LEDGER}/Track 01.mp3", 192, 44100, 101, 1,
          playlists=(QUIET,)),
        T("Amber Hour", FINCH, LEDGER, "Jazz", "T. Hallworth", f"{FINCH}/{LEDGER}/Track 02.mp3", 160, 48000, 93, 2,
          playlists=(QUIET,)),
        T("Ledger Blues", FINCH, LEDGER, "Jazz", "T. Hallworth", f"{FINCH}/{LEDGER}/Track 03.mp3", 192, 44100, 69, 3),
        T("Unfinished Waltz", FINCH, LEDGER, "Jazz", "T. Hallworth", f"{FINCH}/{LEDGER}/Track 07.mp3", 192, 44100, 80,
          7, present=False, playlists=(QUIET,)),
        # Northbound Static; "Slow Machines" is exactly as long as "Amber Hour" (equal sizes).
        T("Power On", STATIC, FIRES, "Electronic", "K. Adeyemi", f"{STATIC}/{FIRES}/01 Power On.mp3", 192, 48000, 39,
          1, playlists=(ROAD,)),
        T("Slow Machines", STATIC, FIRES, "Electronic", "K. Adeyemi", f"{STATIC}/{FIRES}/02 Slow Machines.mp3", 160,
          48000, 93, 2),
        T("Signal Fires", STATIC, FIRES, "Electronic", "K. Adeyemi", f"{STATIC}/{FIRES}/03 Signal Fires.mp3", 128,
          48000, 115, 3, playlists=(ROAD,)),
        # Two artists, one album title (equal albums across artists).
        T("Harbour Lights", QUILL, NORTH, "Folk Rock", "J. Marlowe", f"{QUILL}/{NORTH}/02 Harbour Lights.mp3", 192,
          44100, 86, 2, playlists=(ROAD,)),
        T("Borrowed Time", QUILL, NORTH, "Folk Rock", "J. Marlowe", f"External Drive/{QUILL}/05 Borrowed Time.mp3",
          160, 44100, 61, 5, present=False),
        # File name equal to Copper Finch Quartet's "Track 01.mp3" in another folder.
        T("Aurora Drift", ADA, NORTH, "Ambient", ADA, f"{ADA}/{NORTH}/Track 01.mp3", 128, 48000, 106, 1,
          playlists=(RAINY,)),
        T("Polar Night", ADA, NORTH, "Ambient", ADA, f"{ADA}/{NORTH}/Track 02.mp3", 128, 48000, 49, 2),
        # Letters outside ASCII in names, tags and paths.
        T("Chuva de Março", LUA, CAFE, "Bossa Nova", "Lúa Ferreira", f"{LUA}/{CAFE}/01 Chuva de Março.mp3", 160,
          44100, 56, 1, playlists=(RAINY,)),
        T("Café Nocturne", LUA, CAFE, "Bossa Nova", "Lúa Ferreira", f"{LUA}/{CAFE}/02 Café Nocturne.mp3", 192, 32000,
          74, 2),
        # Names longer than the list shows.
        T("Prelude in Search of a Theme, Wherein the Woodwinds Argue Politely with the Brass About Who Arrived First",
          ORCH, OVERTURES, "Classical", "Anselm Quirk", f"Long-Winded Orchestra/{OVERTURES}/01 Prelude.mp3", 128,
          32000, 95, 1, playlists=(RAINY,)),
        T("Intermezzo", ORCH, OVERTURES, "Classical", "Anselm Quirk",
          f"Long-Winded Orchestra/{OVERTURES}/02 Intermezzo.mp3", 160, 32000, 42, 2),
    ]
    salt_road = tracks[9]
    # The same song kept three times: the same file in three folders.
    for folder in ("Downloads", f"Backup 2019/{MIRA}"):
        tracks.append(Track(salt_road.name, salt_road.artist, salt_road.album, salt_road.genre, salt_road.composer,
                            f"{folder}/03 Salt Road.mp3", salt_road.bitrate, salt_road.samplerate, salt_road.frames,
                            salt_road.number))
    # A file added twice: a second library entry for the same file.
    glass = tracks[5]
    tracks.append(Track(glass.name, glass.artist, glass.album, glass.genre, glass.composer, glass.path, glass.bitrate,
                        glass.samplerate, glass.frames, glass.number, extra={"twice": True}, playlists=(ROAD,)))
    # An internet stream: no file. Its bit rate and sample rate are its own, so
    # only the file name item ever compares it with a file track.
    tracks.append(Track("Kestrel Radio (Live)", "", "", "Radio", "", "", 96, 22050, 0, 0, kind="stream",
                        url="http://radio.example.org:8000/kestrel", playlists=(ROAD,)))
    for n, t in enumerate(tracks):
        t.track_id = 101 + 2 * n
    return tracks


def check_arrangement(tracks, sizes):
    """Every intended duplicate and nothing else by accident: the equal-size
    groups are exactly the copies of one file and the one arranged pair."""
    by_size = {}
    for t in tracks:
        if t.kind != "stream":
            by_size.setdefault(sizes[t.track_id], set()).add(t.name)
    shared = sorted(sorted(names) for names in by_size.values() if len(names) > 1)
    if shared != [["Amber Hour", "Slow Machines"]]:
        raise SystemExit(f"internal error: unexpected equal sizes {shared}")


def library_plist(dest, tracks, sizes):
    music = dest / "music"
    added = datetime(2024, 3, 1, 9, 30, tzinfo=timezone.utc)
    items = {}
    for n, t in enumerate(tracks):
        entry = {
            "Track ID": t.track_id,
            "Name": t.name,
        }
        for key, value in (("Artist", t.artist), ("Composer", t.composer), ("Album", t.album), ("Genre", t.genre)):
            if value:
                entry[key] = value
        if t.kind == "stream":
            entry["Kind"] = "MPEG audio stream"
        elif t.kind == "wav":
            entry["Kind"] = "WAV audio file"
        else:
            entry["Kind"] = "MPEG audio file"
        if t.kind != "stream":
            entry["Size"] = sizes[t.track_id]
            entry["Total Time"] = total_time_ms(t)
            if t.number:
                entry["Track Number"] = t.number
        entry["Date Added"] = (added + timedelta(minutes=7 * n)).replace(tzinfo=None)
        entry["Bit Rate"] = t.bitrate
        entry["Sample Rate"] = t.samplerate
        entry["Persistent ID"] = persistent_id(f"track {t.track_id}")
        if t.kind == "stream":
            entry["Track Type"] = "URL"
            entry["Location"] = t.url
        else:
            entry["Track Type"] = "File"
            entry["Location"] = "file://" + urllib.parse.quote(str(music / t.path))
        items[str(t.track_id)] = entry

    playlists = [{
        "Name": "Library",
        "Master": True,
        "Playlist ID": 9001,
        "Playlist Persistent ID": persistent_id("playlist Library"),
        "Visible": False,
        "All Items": True,
        "Playlist Items": [{"Track ID": t.track_id} for t in tracks],
    }]
    for n, name in enumerate(PLAYLISTS):
        playlists.append({
            "Name": name,
            "Playlist ID": 9003 + 2 * n,
            "Playlist Persistent ID": persistent_id(f"playlist {name}"),
            "All Items": True,
            "Playlist Items": [{"Track ID": t.track_id} for t in tracks if name in t.playlists],
        })
    return {
        "Major Version": 1,
        "Minor Version": 1,
        "Date": datetime(2024, 3, 2, 18, 0),
        "Application Version": "12.9.0",
        "Features": 5,
        "Show Content Ratings": True,
        "Music Folder": "file://" + urllib.parse.quote(str(music)) + "/",
        "Library Persistent ID": persistent_id("demo library"),
        "Tracks": items,
        "Playlists": playlists,
    }


def find_tool(given):
    if given:
        return Path(given)
    root = Path(__file__).resolve().parent.parent
    for candidate in (root / "build/release/app/tidyfox-library", ):
        if candidate.is_file():
            return candidate
    found = shutil.which("tidyfox-library")
    if found:
        return Path(found)
    raise SystemExit("tidyfox-library not found: build Tidyfox first or pass --tool PATH")


def prepare(dest):
    if dest.exists() and any(dest.iterdir()) and not (dest / MARKER).exists():
        raise SystemExit(f"{dest} is not empty and is not a demo library: choose another folder")
    for part in ("music", "data", "demo.xml"):
        target = dest / part
        if target.is_dir():
            shutil.rmtree(target)
        elif target.exists():
            target.unlink()
    dest.mkdir(parents=True, exist_ok=True)
    (dest / MARKER).write_text("Made by make-demo-library.py; the whole folder may be deleted.\n")


def main():
    parser = argparse.ArgumentParser(description="Makes a demo music library for Tidyfox.")
    parser.add_argument("dest", help="folder for the demo library (made, or remade when it is a demo library)")
    parser.add_argument("--tool", help="path of tidyfox-library (default: build/release/app/tidyfox-library)")
    parser.add_argument("--no-import", action="store_true", help="write the music and demo.xml only")
    args = parser.parse_args()

    dest = Path(os.path.abspath(args.dest))
    tool = None if args.no_import else find_tool(args.tool)
    prepare(dest)

    tracks = catalogue()
    sizes = {}
    for t in tracks:
        if t.kind == "stream":
            continue
        content = file_bytes(t)
        sizes[t.track_id] = len(content)
        if t.present:
            target = dest / "music" / t.path
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(content)
    check_arrangement(tracks, sizes)

    xml = dest / "demo.xml"
    with open(xml, "wb") as out:
        plistlib.dump(library_plist(dest, tracks, sizes), out, sort_keys=False)

    files = sum(1 for t in tracks if t.present and t.kind != "stream" and not t.extra.get("twice"))
    print(f"Demo library: {len(tracks)} tracks ({files} files, {sum(not t.present for t in tracks)} dead, "
          f"1 stream) in {len(PLAYLISTS) + 1} playlists, in {dest}")
    if tool is None:
        return 0

    data = dest / "data"
    (data / "tidyfox").mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, XDG_DATA_HOME=str(data))
    result = subprocess.run([str(tool), "--library", str(data / "tidyfox" / "library.db"), "import-xml", str(xml)],
                            env=env)
    if result.returncode != 0:
        # Leave no half-made library behind, so that the next run makes it again.
        shutil.rmtree(data, ignore_errors=True)
        xml.unlink()
        print(f"make-demo-library: importing {xml} failed", file=sys.stderr)
        return result.returncode
    return 0


if __name__ == "__main__":
    sys.exit(main())
