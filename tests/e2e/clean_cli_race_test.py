#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Two clean-ups at once, and clean-ups whose library service is killed, with
real tidyfox-clean processes, the real service on this test's own bus, real
files and the real trash (run it under tests/support/isolated.sh).

    clean_cli_race_test.py --clean PATH/tidyfox-clean --tool PATH/tidyfox-library

TIDYFOX_RACE_ROUNDS (default 8) sets the rounds of two removers at once,
TIDYFOX_LARGE_COPIES (default 40000) the copies one run removes,
TIDYFOX_SOAK_KILLS (default 20) the service kills; bench/kill-soak.sh clean
runs the kills long.
"""

import argparse
import datetime
import json
import os
import plistlib
import random
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path
from urllib.parse import quote

ARGS = None
SONGS = 150
SOAK_SONGS = 150


def run(*command, env, check=True):
    result = subprocess.run([str(c) for c in command], capture_output=True, text=True, env=env)
    if check and result.returncode != 0:
        raise AssertionError(f"{command} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result


class World:
    """A library of songs that each have two copies, with a file of their own:
    the first in library order was added last, so "first" and "added" keep
    different copies. Without files, the songs' files are not written (a
    removal that keeps files never looks)."""

    def __init__(self, root, songs, files=True):
        self.root = Path(root)
        self.music = self.root / "music"
        self.env = dict(os.environ, XDG_DATA_HOME=str(self.root / "data"))
        self.db = self.root / "data" / "tidyfox" / "library.db"
        self.trash = self.root / "data" / "Trash" / "files"
        tracks, order = {}, []
        start = datetime.datetime(2020, 1, 1)
        for song in range(songs):
            for copy in range(2):
                track_id = 100 + 2 * song + copy
                path = self.music / f"copy{copy}" / f"song {song:03}.mp3"
                if files:
                    path.parent.mkdir(parents=True, exist_ok=True)
                    path.write_bytes(b"ID3 song %d copy %d" % (song, copy))
                tracks[str(track_id)] = {
                    "Track ID": track_id, "Name": f"Song {song}", "Artist": "Band", "Kind": "MPEG audio file",
                    "Location": "file://localhost" + quote(str(path)),
                    "Date Added": start + datetime.timedelta(days=1 - copy, minutes=song),
                }
                order.append({"Track ID": track_id})
        export = {"Major Version": 1, "Minor Version": 1, "Tracks": tracks,
                  "Playlists": [{"Name": "Library", "Master": True, "Playlist ID": 1, "Playlist Items": order}]}
        xml = self.root / "library.xml"
        self.root.mkdir(parents=True, exist_ok=True)
        xml.write_bytes(plistlib.dumps(export))
        run(ARGS.tool, "import-xml", xml, env=self.env)

    def quit_service(self):
        """Until the service has left the bus: the next world's clean-up
        must not reach this world's library."""
        run(ARGS.tool, "quit", env=self.env, check=False)
        deadline = time.monotonic() + 10
        while self.service_pid() and time.monotonic() < deadline:
            time.sleep(0.02)

    def entries(self):
        """(name, location) of every track, read from the file by a command
        line that opens it (and so settles what a killed run left)."""
        rows = run(ARGS.tool, "--library", self.db, "list", env=self.env).stdout.splitlines()
        return [(r.split("\t")[2], r.split("\t")[5]) for r in rows]

    def clean(self, *args):
        return subprocess.Popen([str(ARGS.clean), *map(str, args)], env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True)

    def evidence(self, removal):
        """What a failed check needs to be understood."""
        note = self.root / "data" / "tidyfox" / "pending-removals"
        log = Path(os.environ.get("XDG_RUNTIME_DIR", "/nonexistent")) / "tidyfox-library.log"
        history = run(ARGS.tool, "--library", self.db, "history", env=self.env, check=False).stdout
        return (f"\nremoval stderr: {removal.stderr_text[-2000:]}\nnote after the kill: {removal.note_text}"
                f"\nnote now: {note.read_text() if note.exists() else None}"
                f"\nhistory: {history}\nservice log: {log.read_text()[-2000:] if log.exists() else None}")

    def service_pid(self):
        reply = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
                                "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:org.tidyfox.Library"],
                               capture_output=True, text=True, env=self.env)
        found = re.search(r"uint32 (\d+)", reply.stdout)
        return int(found.group(1)) if found else None


class Race(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(dir=os.environ.get("TIDYFOX_TEST_ROOT"))

    def tearDown(self):
        self.tmp.cleanup()

    def check_every_song_kept(self, world, context):
        entries = world.entries()
        names = {name for name, _ in entries}
        self.assertEqual(names, {f"Song {s}" for s in range(SONGS)}, context)
        for name, location in entries:
            self.assertTrue(os.path.exists(location), f"{context}: {name} lost its file {location}")
        return entries

    def test_two_removals_at_once_never_remove_every_copy_and_each_restores_exactly(self):
        rounds = int(os.environ.get("TIDYFOX_RACE_ROUNDS", "8"))
        refused = 0
        for round_ in range(rounds):
            world = World(Path(self.tmp.name) / f"race{round_}", SONGS)
            before = sorted(world.entries())
            # Through the service, on the file itself, and one of each: two
            # services' worth of removers on one library.
            modes = [[], ["--library", world.db]]
            a, b = modes[round_ % 2], modes[(round_ // 2) % 2]
            first = world.clean("duplicates", "--by", "name,artist", "--keep", "first", "--remove", *a)
            second = world.clean("duplicates", "--by", "name,artist", "--keep", "added", "--remove", *b)
            errors = [first.communicate()[1], second.communicate()[1]]
            refused += sum("another clean-up is running" in e for e in errors)
            world.quit_service()
            context = f"round {round_} ({a}, {b}): {errors}"
            entries = self.check_every_song_kept(world, context)
            trashed = sorted(p.name for p in world.trash.rglob("*") if p.is_file()) if world.trash.exists() else []
            self.assertEqual(len(trashed), 2 * SONGS - len(entries), context)
            # Every job of the history restores exactly what it removed.
            while run(ARGS.clean, "restore", "--library", world.db, env=world.env, check=False).returncode == 0:
                pass
            self.assertEqual(sorted(world.entries()), before, context)
            for _, location in before:
                self.assertTrue(os.path.exists(location), f"{context}: {location} not back")
        print(f"race: {rounds} rounds, {refused} removals refused while another ran")

    def test_a_removal_begun_while_another_runs_is_refused_with_one_line(self):
        world = World(Path(self.tmp.name) / "long", 6000)
        first = world.clean("duplicates", "--by", "name,artist", "--remove")
        # The second starts once the first holds the job's lease: removals
        # go in batches now, too quickly for a fixed wait to land inside.
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and first.poll() is None:
            try:
                with sqlite3.connect(f"file:{world.db}?mode=ro", uri=True, timeout=1) as db:
                    if db.execute("SELECT 1 FROM job_lease").fetchone():
                        break
            except sqlite3.Error:
                pass
            time.sleep(0.005)
        # Held still while the second runs: the first would otherwise end,
        # on a fast machine, before the second asks for the lease.
        self.assertIsNone(first.poll(), "the first removal ended before it was seen holding the lease")
        first.send_signal(signal.SIGSTOP)
        try:
            second = world.clean("duplicates", "--by", "name,artist", "--keep", "added", "--remove", "--library",
                                 world.db)
            refusal = second.communicate()[1]
        finally:
            first.send_signal(signal.SIGCONT)
        first.communicate()
        self.assertNotEqual(second.returncode, 0)
        self.assertRegex(refusal, r"[Aa]nother clean-up is running: job \d+, started \d\d:\d\d by tidyfox-clean")
        self.assertLess(refusal.count("\n"), 20, "a refused run names its tracks in a few lines")
        world.quit_service()
        self.assertEqual(len(world.entries()), 6000)

    def test_one_run_removes_forty_thousand_copies_and_counts_them_all(self):
        # More than a 16-bit count holds; fewer under the sanitizers.
        copies = int(os.environ.get("TIDYFOX_LARGE_COPIES", "40000"))
        world = World(Path(self.tmp.name) / "large", copies, files=False)
        removal = run(ARGS.clean, "duplicates", "--by", "name,artist", "--remove", "--keep-files", env=world.env)
        self.assertRegex(removal.stderr, r"tidyfox-clean: done as job \d+ of the history")
        self.assertIn(f"removed: {copies}\n", removal.stdout)
        self.assertIn("not removed: 0\n", removal.stdout)
        world.quit_service()
        self.assertEqual(len(world.entries()), copies)

    def test_a_removal_whose_service_is_killed_strands_no_file(self):
        kills = int(os.environ.get("TIDYFOX_SOAK_KILLS", "20"))
        seed = int(os.environ.get("TIDYFOX_SOAK_SEED", str(random.randrange(1 << 30))))
        print(f"clean soak: {kills} kills, seed {seed} (TIDYFOX_SOAK_SEED={seed} repeats it)")
        rng = random.Random(seed)
        # How long a whole removal takes here: the kills land within it.
        world = World(Path(self.tmp.name) / "timing", SOAK_SONGS)
        started = time.monotonic()
        world.clean("duplicates", "--by", "name,artist", "--remove").communicate()
        span = time.monotonic() - started
        world.quit_service()
        killed = stranded = 0
        for kill in range(kills):
            world = World(Path(self.tmp.name) / f"soak{kill}", SOAK_SONGS)
            removal = world.clean("duplicates", "--by", "name,artist", "--remove")
            time.sleep(rng.uniform(0.0, span))
            pid = world.service_pid()
            if pid:
                os.kill(pid, signal.SIGKILL)
                killed += 1
            removal.stderr_text = removal.communicate()[1]
            # Until the bus has let go of the killed service's name.
            deadline = time.monotonic() + 10
            while pid and world.service_pid() == pid and time.monotonic() < deadline:
                time.sleep(0.02)
            note = world.root / "data" / "tidyfox" / "pending-removals"
            removal.note_text = note.read_text() if note.exists() else None
            # What the next clean-up finds, the service started again: no
            # track is dead, and none lost its file to the trash.
            dead = json.loads(run(ARGS.clean, "dead", "--json", env=world.env).stdout)
            world.quit_service()
            self.assertEqual([t["location"] for f in dead["folders"] for t in f["tracks"]], [],
                             f"kill {kill}: {world.evidence(removal)}")
            lost = [location for _, location in world.entries() if not os.path.exists(location)]
            stranded += len(lost)
            self.assertEqual(lost, [], f"kill {kill}: {world.evidence(removal)}")
            shutil.rmtree(world.root)
        print(f"clean soak: {kills} runs over {span:.2f} s removals, {killed} service kills, stranded files {stranded}")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--clean", required=True, type=Path)
    parser.add_argument("--tool", required=True, type=Path)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
