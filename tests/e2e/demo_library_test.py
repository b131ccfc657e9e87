#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The demo library that run-demo.sh shows: made by scripts/make-demo-library.py
with the real tidyfox-library, then read back through the library's own
command line.

    demo_library_test.py --tool PATH/tidyfox-library --generator PATH/make-demo-library.py
"""

import argparse
import collections
import filecmp
import os
import plistlib
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path
from urllib.parse import unquote, urlparse

ARGS = None

FILES = 30  # audio files written
ENTRIES = 35  # library entries: the files, one file twice, three dead, one stream
DEAD = {"Demo Take 4", "Unfinished Waltz", "Borrowed Time"}
STREAM = "Kestrel Radio (Live)"


def url_to_path(url):
    return unquote(urlparse(url).path)


def run(*command, check=True):
    result = subprocess.run([str(c) for c in command], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError(f"{command} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result


def library_rows(db):
    """`list`: database ID, track ID, name, artist, album, location."""
    rows = []
    for line in run(ARGS.tool, "--library", db, "list").stdout.splitlines():
        fields = line.split("\t")
        if len(fields) != 6:
            raise AssertionError(f"not six tab-separated fields: {line!r}")
        rows.append(dict(zip(("database_id", "track_id", "name", "artist", "album", "location"), fields)))
    return rows


class DemoLibrary(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(dir=os.environ.get("TIDYFOX_TEST_ROOT"))
        cls.dest = Path(cls.tmp.name) / "demo"
        run(sys.executable, ARGS.generator, cls.dest, "--tool", ARGS.tool)
        cls.db = cls.dest / "data" / "tidyfox" / "library.db"
        cls.rows = library_rows(cls.db)
        with open(cls.dest / "demo.xml", "rb") as f:
            cls.plist = plistlib.load(f)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def by_name(self, name):
        return [r for r in self.rows if r["name"] == name]

    def test_every_entry_is_in_the_library_once_with_its_own_ids(self):
        self.assertTrue(self.db.is_file())
        self.assertEqual(len(self.rows), ENTRIES)
        self.assertEqual(len({r["database_id"] for r in self.rows}), ENTRIES)
        self.assertEqual(len({r["track_id"] for r in self.rows}), ENTRIES)
        written = [p for p in (self.dest / "music").rglob("*") if p.is_file()]
        self.assertEqual(len(written), FILES)

    def test_the_stream_has_no_location_and_the_dead_entries_no_files(self):
        (stream,) = self.by_name(STREAM)
        self.assertEqual(stream["location"], "")
        missing = {r["name"] for r in self.rows if r["location"] and not os.path.exists(r["location"])}
        self.assertEqual(missing, DEAD)
        for row in self.rows:
            if row["location"]:
                self.assertTrue(os.path.isabs(row["location"]), row)
                self.assertTrue(row["location"].startswith(str(self.dest / "music") + "/"), row)

    def test_one_file_is_listed_twice(self):
        by_location = collections.Counter(r["location"] for r in self.rows if r["location"])
        twice = [loc for loc, n in by_location.items() if n > 1]
        self.assertEqual(len(twice), 1)
        self.assertTrue(twice[0].endswith("/Velvet Orchard/Glasshouse Summer/01 Glass Elevator.mp3"))
        self.assertEqual({r["name"] for r in self.rows if r["location"] == twice[0]}, {"Glass Elevator"})

    def test_one_song_is_kept_three_times_in_equal_files(self):
        copies = self.by_name("Salt Road")
        self.assertEqual(len(copies), 3)
        paths = sorted({r["location"] for r in copies})
        self.assertEqual(len(paths), 3)
        self.assertEqual({os.path.basename(p) for p in paths}, {"03 Salt Road.mp3"})
        for other in paths[1:]:
            self.assertTrue(filecmp.cmp(paths[0], other, shallow=False))
        self.assertEqual({(r["artist"], r["album"]) for r in copies}, {("Mira Solberg", "Low Tide Letters")})

    def test_names_and_file_names_repeat_as_arranged(self):
        # Equal names by two artists, and a pair equal but for letter case.
        self.assertEqual({r["artist"] for r in self.by_name("Harbour Lights")}, {"Quill & Harbor", "Mira Solberg"})
        self.assertEqual(len(self.by_name("Paper Boats")), 1)
        self.assertEqual(len(self.by_name("Paper boats")), 1)
        # Equal file names in other folders, exactly and but for letter case.
        by_file_name = collections.defaultdict(set)
        for r in self.rows:
            if r["location"]:
                by_file_name[os.path.basename(r["location"]).lower()].add(os.path.dirname(r["location"]))
        self.assertEqual(len(by_file_name["track 01.mp3"]), 2)
        self.assertEqual(len(by_file_name["interlude.mp3"]), 2)
        # Equal albums across artists.
        self.assertEqual({r["artist"] for r in self.rows if r["album"] == "Northern Lights"},
                         {"Quill & Harbor", "Ada Brennicke"})

    def test_names_outside_ascii_and_long_names_arrive_whole(self):
        (chuva,) = self.by_name("Chuva de Março")
        self.assertEqual(chuva["artist"], "Lúa Ferreira")
        self.assertTrue(os.path.isfile(chuva["location"]))
        long_names = [r for r in self.rows if len(r["name"]) > 99]
        self.assertEqual(len(long_names), 1)
        self.assertEqual(long_names[0]["artist"], "The Extraordinarily Long-Winded Orchestra of Saint Elsewhere")

    def test_sizes_in_the_library_file_are_those_on_disk_and_one_pair_is_equal(self):
        sizes = collections.defaultdict(set)
        for entry in self.plist["Tracks"].values():
            path = entry["Location"]
            if entry["Track Type"] != "File" or entry["Name"] in DEAD:
                continue
            on_disk = Path(url_to_path(path))
            self.assertEqual(entry["Size"], on_disk.stat().st_size, path)
            sizes[entry["Size"]].add(entry["Name"])
        self.assertEqual([sorted(n) for n in sizes.values() if len(n) > 1], [["Amber Hour", "Slow Machines"]])

    def test_the_files_are_audio_that_the_library_reads_with_their_rates(self):
        """Adding the music folder to another library reads every file's tags
        and audio properties, which must agree with the demo's library file."""
        other = Path(self.tmp.name) / "other.db"
        run(ARGS.tool, "--library", other, "add", self.dest / "music")
        rows = library_rows(other)
        self.assertEqual(len(rows), FILES)
        exported = Path(self.tmp.name) / "other.xml"
        run(ARGS.tool, "--library", other, "export-xml", exported)
        with open(exported, "rb") as f:
            read = {url_to_path(t["Location"]): t for t in plistlib.load(f)["Tracks"].values()}
        expected = {url_to_path(t["Location"]): t for t in self.plist["Tracks"].values()
                    if t["Track Type"] == "File" and t["Name"] not in DEAD}
        self.assertEqual(set(read), set(expected))
        for path, want in expected.items():
            got = read[path]
            for key in ("Name", "Artist", "Album", "Genre", "Bit Rate", "Sample Rate", "Size"):
                self.assertEqual(got.get(key), want.get(key), f"{key} of {path}")
            self.assertAlmostEqual(got["Total Time"], want["Total Time"], delta=50, msg=path)

    def test_making_it_again_gives_the_same_files(self):
        again = Path(self.tmp.name) / "again"
        run(sys.executable, ARGS.generator, again, "--no-import")
        for path in (self.dest / "music").rglob("*"):
            if path.is_file():
                twin = again / "music" / path.relative_to(self.dest / "music")
                self.assertTrue(filecmp.cmp(path, twin, shallow=False), path)
        first = (self.dest / "demo.xml").read_text().replace(str(self.dest), "DEST")
        second = (again / "demo.xml").read_text().replace(str(again), "DEST")
        self.assertEqual(first, second)

    def test_it_refuses_a_folder_that_is_not_a_demo_library(self):
        foreign = Path(self.tmp.name) / "foreign"
        foreign.mkdir()
        (foreign / "keep.txt").write_text("mine")
        result = run(sys.executable, ARGS.generator, foreign, "--no-import", check=False)
        self.assertNotEqual(result.returncode, 0)
        self.assertEqual([p.name for p in foreign.iterdir()], ["keep.txt"])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--generator", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
