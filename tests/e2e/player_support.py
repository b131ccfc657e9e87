# SPDX-License-Identifier: GPL-3.0-or-later
"""What the real-player tests share: running tools, waiting, the generated
music (three songs of Debian's game music and copies of two) and file URIs."""

import shutil
import subprocess
import time
from pathlib import Path

MUSIC_SOURCES = ["/usr/share/games/etr/music", "/usr/share/games/neverball/bgm"]


def run(*command, check=True, timeout=60):
    result = subprocess.run([str(c) for c in command], capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise AssertionError(f"{command} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result


def wait_for(what, condition, seconds, state=lambda: ""):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.25)
    raise AssertionError(f"timed out waiting for {what}: {state()}")


def name_owned(bus_name):
    out = run("gdbus", "call", "--session", "-d", "org.freedesktop.DBus", "-o", "/org/freedesktop/DBus",
              "-m", "org.freedesktop.DBus.NameHasOwner", bus_name).stdout
    return "true" in out


def make_music(music):
    """Album/song 1-3.ogg and Copies/song 1-2.ogg (byte copies of the first
    two); None when the game music is not installed."""
    sources = [p for d in MUSIC_SOURCES if Path(d).is_dir() for p in sorted(Path(d).iterdir())
               if p.suffix in (".ogg", ".mp3", ".wav")]
    if len(sources) < 3:
        return None
    (music / "Album").mkdir(parents=True)
    (music / "Copies").mkdir()
    songs = []
    for i, source in enumerate(sources[:3], 1):
        target = music / "Album" / f"song {i}.ogg"
        run("ffmpeg", "-loglevel", "error", "-y", "-i", source, "-t", "3", "-map_metadata", "-1",
            "-metadata", f"title=Song {i}", "-metadata", "artist=Tester", "-metadata", "album=Album",
            "-c:a", "libvorbis", "-q:a", "0", target)
        songs.append(target)
    copies = [music / "Copies" / "song 1.ogg", music / "Copies" / "song 2.ogg"]
    for original, copy in zip(songs, copies):
        shutil.copyfile(original, copy)
    return songs, copies


def uri(path):
    return "file://" + str(path).replace("%", "%25").replace(" ", "%20")
