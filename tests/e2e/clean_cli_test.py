#!/usr/bin/env python3
"""tidyfox-clean over the demo library, through the real library service on
this test's own bus (run it under tests/support/isolated.sh).

    clean_cli_test.py --clean PATH/tidyfox-clean --tool PATH/tidyfox-library --generator PATH/make-demo-library.py
"""

import argparse
import hashlib
import json
import os
import plistlib
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

ARGS = None

# Heading of the duplicates table -> key of the same field in --json.
DUPLICATE_COLUMNS = {
    "ID": "databaseId", "STATUS": "status", "NAME": "name", "ARTIST": "artist", "ALBUM": "album", "TIME": "time",
    "KIND": "kind", "BIT RATE": "bitRate", "SAMPLE RATE": "sampleRate", "SIZE": "size", "DATE ADDED": "dateAdded",
    "PLAYS": "playCount", "RATING": "rating", "FILE": "fileThere", "LOCATION": "location",
}
DUPLICATE_TOTALS = {"groups": "groups", "copies to go": "copies", "bytes to the trash": "trashBytes"}


def run(*command, env=None, check=True):
    result = subprocess.run([str(c) for c in command], capture_output=True, text=True, env=env)
    if check and result.returncode != 0:
        raise AssertionError(f"{command} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result


def parse_table(text):
    """The rows of an aligned table as dicts by heading, and its "key: value" totals."""
    lines = text.splitlines()
    header = lines[0]
    starts = [m.start() for m in re.finditer(r"(?<!\S)\S+(?: \S+)*", header)]
    headings = [header[s:e].strip() for s, e in zip(starts, starts[1:] + [None])]
    rows, totals = [], {}
    for line in lines[1:]:
        if re.fullmatch(r"[a-z][a-z ]*: \d+", line):
            key, value = line.split(": ")
            totals[key] = int(value)
        elif line and line[:starts[1]].strip() in ("goes", "stays") or re.match(r"\d+ +(goes|stays) ", line):
            cells = [line[s:e].rstrip() for s, e in zip(starts, starts[1:] + [None])]
            rows.append(dict(zip(headings, cells)))
    return rows, totals


def snapshot(*paths):
    digests = {}
    for root in paths:
        for path in sorted(Path(root).rglob("*")) if Path(root).is_dir() else [Path(root)]:
            if path.is_file():
                digests[str(path)] = hashlib.sha256(path.read_bytes()).hexdigest()
    return digests


class CleanCli(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(dir=os.environ.get("TIDYFOX_TEST_ROOT"))
        self.dest = Path(self.tmp.name) / "demo"
        run(sys.executable, ARGS.generator, self.dest, "--tool", ARGS.tool)
        self.env = dict(os.environ, XDG_DATA_HOME=str(self.dest / "data"))
        self.db = self.dest / "data" / "tidyfox" / "library.db"

    def tearDown(self):
        run(ARGS.tool, "quit", env=self.env, check=False)
        self.tmp.cleanup()

    def clean(self, *args, check=True):
        return run(ARGS.clean, *args, env=self.env, check=check)

    def library_ids(self):
        run(ARGS.tool, "quit", env=self.env, check=False)
        rows = run(ARGS.tool, "--library", self.db, "list").stdout.splitlines()
        return {int(r.split("\t")[0]) for r in rows}

    def test_a_dry_run_changes_nothing_and_a_removal_removes_what_it_printed(self):
        before = snapshot(self.db, self.dest / "music")
        dry, _ = parse_table(self.clean("duplicates", "--by", "name,artist").stdout)
        self.clean("duplicates", "--by", "name,artist", "--keep", "added", "--json")
        dead, _ = parse_table(self.clean("dead").stdout)
        self.library_ids()  # the service has let go of the library
        self.assertEqual(snapshot(self.db, self.dest / "music"), before)

        going = {int(r["ID"]) for r in dry if r["STATUS"] == "goes"}
        self.assertEqual(len(going), 3)
        ids = self.library_ids()
        removed = self.clean("duplicates", "--by", "name,artist", "--remove")
        job = re.fullmatch(r"tidyfox-clean: done as job (\d+) of the history; .*\n", removed.stderr)
        self.assertTrue(job, removed.stderr)
        rows, totals = parse_table(removed.stdout)
        self.assertEqual(rows, dry)
        self.assertEqual((totals["removed"], totals["not removed"]), (3, 0))
        self.assertEqual(ids - self.library_ids(), going)
        # The copies' own files went to the trash; the file a kept track
        # shares stayed.
        trash = self.dest / "data" / "Trash" / "files"
        self.assertEqual(sorted(p.name for p in trash.iterdir()), ["03 Salt Road.2.mp3", "03 Salt Road.mp3"])
        for row in dry:
            self.assertEqual(os.path.exists(row["LOCATION"]), row["STATUS"] == "stays" or row["NAME"] != "Salt Road")

        dead_going = {int(r["ID"]) for r in dead if r["STATUS"] == "goes"}
        self.assertEqual(len(dead_going), 3)
        ids = self.library_ids()
        self.clean("dead", "--remove")
        self.assertEqual(ids - self.library_ids(), dead_going)
        self.assertIn("groups: 0\n", self.clean("duplicates", "--by", "name,artist").stdout)
        # The removal is a job of the history: restoring it brings the copies
        # and their files back.
        self.clean("restore", job.group(1))
        self.assertEqual(self.library_ids() & going, going)
        self.assertEqual(list(trash.iterdir()), [])

        # history and restore are the library's own: tidyfox-library runs them.
        for ours, theirs in ((["history"], ["history"]),
                             (["restore", "99999", "--library", self.db], ["--library", self.db, "restore", "99999"])):
            mine, its = self.clean(*ours, check=False), run(ARGS.tool, *theirs, env=self.env, check=False)
            self.assertEqual((mine.returncode, mine.stdout, mine.stderr), (its.returncode, its.stdout, its.stderr))
        self.assertNotEqual(self.clean("restore", "99999", check=False).returncode, 0)

    def test_json_carries_every_field_the_text_shows(self):
        for keep in ("first", "bitrate", "added"):
            text = self.clean("duplicates", "--by", "name,artist", "--keep", keep).stdout
            document = json.loads(self.clean("duplicates", "--by", "name,artist", "--keep", keep, "--json").stdout)
            rows, totals = parse_table(text)
            tracks = [t for g in document["groups"] for t in g["tracks"]]
            self.assertEqual(len(rows), len(tracks))
            for row, track in zip(rows, tracks):
                self.assertEqual(set(row) - {"GROUP"}, set(DUPLICATE_COLUMNS))
                for heading, key in DUPLICATE_COLUMNS.items():
                    want = track[key]
                    if key == "fileThere":
                        want = "there" if want else "missing"
                    self.assertEqual(row[heading], "" if want is None else str(want), heading)
            for label, key in DUPLICATE_TOTALS.items():
                self.assertEqual(totals[label], document["totals"][key], label)
        dead_rows, dead_totals = parse_table(self.clean("dead").stdout)
        dead = json.loads(self.clean("dead", "--json").stdout)
        dead_tracks = [t for f in dead["folders"] for t in f["tracks"]]
        self.assertEqual([{k: str(v) for k, v in t.items()} for t in dead_tracks],
                         [{"databaseId": r["ID"], "status": r["STATUS"], "name": r["NAME"], "artist": r["ARTIST"],
                           "album": r["ALBUM"], "location": r["LOCATION"]} for r in dead_rows])
        self.assertEqual(dead_totals["dead tracks"], dead["totals"]["deadTracks"])
        # The library file read in this process tells the same as the service.
        self.library_ids()
        on_file = self.clean("duplicates", "--by", "name,artist", "--json", "--library", self.db).stdout
        self.assertEqual(json.loads(on_file), json.loads(
            self.clean("duplicates", "--by", "name,artist", "--json").stdout))

    def test_dead_tracks_on_a_disconnected_drive_go_only_when_included(self):
        away = "/media/tidyfox-drive-not-plugged-in/Song.mp3"
        here = str(self.dest / "gone" / "Song.mp3")
        tracks = {str(n): {"Track ID": n, "Name": f"Song {n}", "Artist": "A", "Kind": "MPEG audio file",
                           "Track Type": "File", "Location": "file://" + path}
                  for n, path in ((1, away), (2, here))}
        xml = self.dest / "two.xml"
        with open(xml, "wb") as f:
            plistlib.dump({"Major Version": 1, "Minor Version": 1, "Tracks": tracks, "Playlists": [
                {"Name": "Library", "Master": True, "Playlist ID": 1, "All Items": True,
                 "Playlist Items": [{"Track ID": 1}, {"Track ID": 2}]}]}, f)
        db = self.dest / "two.db"
        run(ARGS.tool, "--library", db, "import-xml", xml)

        def locations():
            return {r.split("\t")[5] for r in run(ARGS.tool, "--library", db, "list").stdout.splitlines()}

        shown = json.loads(self.clean("dead", "--library", db, "--remove", "--json").stdout)
        self.assertEqual({(f["disconnected"], t["status"], t["location"]) for f in shown["folders"]
                          for t in f["tracks"]}, {(True, "stays", away), (False, "goes", here)})
        self.assertEqual(locations(), {away})
        self.clean("dead", "--library", db, "--remove", "--include-disconnected")
        self.assertEqual(locations(), set())

    def test_bad_usage_exits_2_with_one_line(self):
        for args in ([], ["tidy"], ["duplicates"], ["duplicates", "--by", "name,colour"],
                     ["duplicates", "--by", "name", "--keep", "newest"], ["dead", "--by", "name"],
                     ["duplicates", "--by", "name", "--include-disconnected"], ["dead", "--remove=yes"],
                     ["dead", "--library"], ["dead", "extra"]):
            result = self.clean(*args, check=False)
            self.assertEqual(result.returncode, 2, args)
            self.assertEqual(result.stdout, "", args)
            self.assertEqual(len(result.stderr.splitlines()), 1, (args, result.stderr))
        self.assertEqual(self.clean("dead", "--library", self.dest / "nothing.db", check=False).returncode, 1)
        self.assertFalse((self.dest / "nothing.db").exists())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--clean", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--generator", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
