#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Debian's Rhythmbox checks what Tidyfox writes into its library (run it under
tests/support/isolated.sh, which gives it its own bus and XDG folders).

Rhythmbox builds its library over generated audio files and quits; Tidyfox
imports it, removes the copies with their history merged (their files kept)
through the real service, and Rhythmbox, started again, is asked over its own
bus interface that the copies are gone and stay gone after a rescan, and that
the songs kept have the summed play counts. The job is then restored while
Rhythmbox runs: the change waits, is written when Rhythmbox quits, and
Rhythmbox shows every entry back as it was.

    rhythmbox_player_test.py --app DIR     (DIR holds tidyfox-library and tidyfox-clean)
Exit status 77: Rhythmbox, ffmpeg or the game music is not installed.
"""

import argparse
import os
import shutil
import subprocess
import sys
from pathlib import Path

from player_support import make_music, name_owned, run, uri, wait_for

RB_NAME = "org.gnome.Rhythmbox3"
RB_DB = ["-d", RB_NAME, "-o", "/org/gnome/Rhythmbox3/RhythmDB"]
WAITING = "Rhythmbox is running: its library is updated when it quits"


def entry(uri):
    """Rhythmbox's properties of the entry, as gdbus prints them; None when it has none."""
    result = run("gdbus", "call", "--session", *RB_DB, "-m", "org.gnome.Rhythmbox3.RhythmDB.GetEntryProperties",
                 uri, check=False)
    return result.stdout if result.returncode == 0 else None


def is_song(uri):
    """An entry Rhythmbox plays; an ignored file's entry has no title and no type of audio."""
    props = entry(uri)
    return props is not None and "'media-type': <'application/octet-stream'>" not in props


def play_count(uri):
    props = entry(uri)
    assert props is not None, f"{uri} is not in Rhythmbox"
    return int(props.split("'play-count': <uint32 ")[1].split(">")[0])


def set_play_count(uri, count):
    run("gdbus", "call", "--session", *RB_DB, "-m", "org.gnome.Rhythmbox3.RhythmDB.SetEntryProperties", uri,
        f"{{'play-count': <uint32 {count}>}}")


class Player:
    """Rhythmbox under its own Xvfb, quit the way a person quits it."""

    def __init__(self, log):
        self.log = log
        self.xvfb = None
        self.rhythmbox = None

    def start(self):
        display = next(n for n in range(100 + os.getpid() % 400, 1000) if not Path(f"/tmp/.X{n}-lock").exists())
        self.xvfb = subprocess.Popen(["Xvfb", f":{display}", "-nolisten", "tcp"], stderr=subprocess.DEVNULL)
        wait_for("Xvfb", lambda: Path(f"/tmp/.X11-unix/X{display}").exists() or self.xvfb.poll() is not None, 10)
        env = dict(os.environ, DISPLAY=f":{display}")
        self.rhythmbox = subprocess.Popen(["rhythmbox"], env=env, stdout=self.log, stderr=self.log)
        wait_for("Rhythmbox on the bus", lambda: name_owned(RB_NAME), 30)

    def quit(self):
        run("rhythmbox-client", "--quit", check=False)
        try:
            self.rhythmbox.wait(30)
        finally:
            self.stop()

    def stop(self):
        for process in (self.rhythmbox, self.xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.rhythmbox = self.xvfb = None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    args = parser.parse_args()
    if not all(shutil.which(tool) for tool in ("rhythmbox", "rhythmbox-client", "ffmpeg", "gdbus", "Xvfb")):
        print("rhythmbox, ffmpeg, gdbus or Xvfb is not installed", file=sys.stderr)
        return 77
    library_tool = Path(args.app) / "tidyfox-library"
    clean = Path(args.app) / "tidyfox-clean"
    root = Path(os.environ["TIDYFOX_TEST_ROOT"])
    music = Path(os.environ["HOME"]) / "Music"
    made = make_music(music)
    if not made:
        print("no game music to encode", file=sys.stderr)
        return 77
    songs, copies = made
    # Rhythmbox's settings in a key file of the test's own: its library is
    # the test's music folder.
    os.environ["GSETTINGS_BACKEND"] = "keyfile"
    settings = Path(os.environ["XDG_CONFIG_HOME"]) / "glib-2.0" / "settings"
    settings.mkdir(parents=True)
    (settings / "keyfile").write_text(
        f"[org/gnome/rhythmbox/rhythmdb]\nlocations=['{uri(music)}']\nmonitor-library=true\n")
    rhythmdb = Path(os.environ["XDG_DATA_HOME"]) / "rhythmbox" / "rhythmdb.xml"
    log = open(root / "rhythmbox.log", "w")
    player = Player(log)
    plays = {songs[0]: 3, copies[0]: 4, songs[1]: 1, copies[1]: 2, songs[2]: 5}
    try:
        player.start()
        for path in plays:
            wait_for(f"{path} in Rhythmbox", lambda p=path: is_song(uri(p)), 90)
        for path, count in plays.items():
            set_play_count(uri(path), count)
        player.quit()
        assert rhythmdb.is_file(), "Rhythmbox wrote no library"

        print(run(library_tool, "import-rhythmbox").stdout, end="")
        removal = run(clean, "duplicates", "--by", "name,artist", "--merge-history", "--keep-files", "--remove")
        assert "removed: 2" in removal.stdout, removal.stdout + removal.stderr
        assert WAITING not in removal.stderr, removal.stderr
        job = removal.stderr.split("done as job ")[1].split()[0]

        # A song Rhythmbox has not seen yet: once it shows, the folders have
        # been scanned again.
        late = music / "Album" / "late.ogg"
        shutil.copyfile(songs[2], late)
        player.start()
        wait_for("the rescan", lambda: entry(uri(late)) is not None, 90)
        # Of each pair one entry stays (the first in Rhythmbox's own order)
        # with both play counts; the other stays gone.
        for pair in zip(songs, copies):
            shown = [p for p in pair if is_song(uri(p))]
            assert len(shown) == 1, f"{pair}: {shown} in Rhythmbox"
            assert play_count(uri(shown[0])) == sum(plays[p] for p in pair), play_count(uri(shown[0]))
        assert play_count(uri(songs[2])) == 5

        # Restored while Rhythmbox runs: the change waits for it to quit.
        restore = run(clean, "restore", job)
        assert WAITING in restore.stderr, restore.stderr
        sync = run(library_tool, "sync", check=False)
        assert sync.returncode == 1 and WAITING in sync.stderr, sync.stderr
        player.quit()
        # The service, still running from the removal, writes it.
        wait_for("the restore in Rhythmbox's library",
                 lambda: uri(copies[0]).replace(" ", "%20") in rhythmdb.read_text()
                 and "ignore" not in rhythmdb.read_text(), 30)
        player.start()
        for path, count in plays.items():
            wait_for(f"{path} back", lambda p=path: is_song(uri(p)), 30)
            assert play_count(uri(path)) == count, (path, play_count(uri(path)))
        player.quit()
    except BaseException:
        log.flush()
        print((root / "rhythmbox.log").read_text()[-3000:], file=sys.stderr)
        raise
    finally:
        player.stop()
        run(library_tool, "quit", check=False)
        log.close()
    print("Rhythmbox saw the copies go, stay gone after a rescan, and come back with the restore")
    return 0


if __name__ == "__main__":
    sys.exit(main())
