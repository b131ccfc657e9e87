#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""tidyfox-clean over the demo library, through the real library service on
this test's own bus (run it under tests/support/isolated.sh).

    clean_cli_test.py --clean PATH/tidyfox-clean --tool PATH/tidyfox-library --generator PATH/make-demo-library.py
"""

import argparse
import fcntl
import hashlib
import json
import os
import plistlib
import pty
import re
import struct
import subprocess
import sys
import tempfile
import termios
import unicodedata
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


def run_on_terminal(command, columns, env):
    """stdout of command on a pseudo terminal that many columns wide."""
    leader, follower = pty.openpty()
    fcntl.ioctl(follower, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    process = subprocess.Popen([str(c) for c in command], stdout=follower, stderr=subprocess.DEVNULL, env=env)
    os.close(follower)
    out = b""
    while True:
        try:
            chunk = os.read(leader, 65536)
        except OSError:  # the other end has closed
            break
        if not chunk:
            break
        out += chunk
    os.close(leader)
    process.wait()
    return out.decode().replace("\r\n", "\n")


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

        # The history under its header, through the service and on the file.
        history = self.clean("history").stdout.splitlines()
        self.assertEqual(history[0].split(), ["JOB", "KIND", "STARTED", "ENDED", "TRACKS", "FILES", "STATE"])
        self.assertEqual([[line.split()[0], line.split()[-1]] for line in history[1:]],
                         [[job.group(1), "restored"], [str(int(job.group(1)) + 1), "removed"]])
        self.library_ids()
        self.assertEqual(self.clean("history", "--library", self.db).stdout.splitlines(), history)
        for args in (["restore", "99999"], ["restore", "99999", "--library", self.db], ["restore", job.group(1)]):
            failed = self.clean(*args, check=False)
            self.assertEqual((failed.returncode, failed.stdout), (1, ""), args)
            self.assertRegex(failed.stderr, r"^tidyfox-clean: [^\n]+\n$", args)
        # Without a number, the newest job not restored yet.
        self.assertEqual(self.clean("restore").stdout, "Restored 3 tracks of job %d.\n" % (int(job.group(1)) + 1))
        self.assertEqual(self.clean("history", "--clear").stdout,
                         "Cleared 2 jobs from the history; the trash keeps the files.\n")
        self.assertEqual(self.clean("history").stdout, "The history is empty.\n")

    def test_json_carries_every_field_the_text_shows(self):
        for keep in ("first", "bitrate", "added"):
            text = self.clean("duplicates", "--by", "name,artist", "--keep", keep, "--bytes").stdout
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
        # Without --bytes, sizes read as a file manager shows them.
        text = self.clean("duplicates", "--by", "name,artist").stdout
        self.assertEqual({r["SIZE"] for r in parse_table(text)[0]}, {"51.7 kB", "38.6 kB"})
        self.assertIn("\nto the trash: 77.3 kB\n", text)
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
        tracks = {str(n): {"Track ID": n, "Name": name, "Artist": "A", "Kind": "MPEG audio file",
                           "Track Type": "File", "Location": "file://" + path}
                  for n, name, path in ((1, "Song 1", away), (2, "夜明けの歌 (日本武道館 ライブ) " * 2, here))}
        xml = self.dest / "two.xml"
        with open(xml, "wb") as f:
            plistlib.dump({"Major Version": 1, "Minor Version": 1, "Tracks": tracks, "Playlists": [
                {"Name": "Library", "Master": True, "Playlist ID": 1, "All Items": True,
                 "Playlist Items": [{"Track ID": 1}, {"Track ID": 2}]}]}, f)
        db = self.dest / "two.db"
        run(ARGS.tool, "--library", db, "import-xml", xml)
        # A wide character takes two columns of the terminal.
        shown = run_on_terminal([ARGS.clean, "dead", "--library", db], 50, self.env)
        self.assertIn("夜明…", shown)
        for line in shown.splitlines():
            self.assertLessEqual(sum(1 + (unicodedata.east_asian_width(c) == "W") for c in line), 50, shown)

        def locations():
            return {r.split("\t")[5] for r in run(ARGS.tool, "--library", db, "list").stdout.splitlines()}

        shown = json.loads(self.clean("dead", "--library", db, "--remove", "--json").stdout)
        self.assertEqual({(f["disconnected"], t["status"], t["location"]) for f in shown["folders"]
                          for t in f["tracks"]}, {(True, "stays", away), (False, "goes", here)})
        self.assertEqual(locations(), {away})
        self.clean("dead", "--library", db, "--remove", "--include-disconnected")
        self.assertEqual(locations(), set())

    def test_sound_alike_copies_are_found_through_the_service(self):
        music = self.dest / "heard"
        music.mkdir()
        source = "/usr/share/games/etr/music/freezingpoint.ogg"
        for name, args in (("a.mp3", ["-b:a", "96k"]), ("b.flac", [])):
            run("ffmpeg", "-nostdin", "-v", "error", "-i", source, "-t", "20", *args, music / name)
        (music / "c.mp3").write_bytes(b"ID3" + bytes(2000))  # an MP3 with nothing after its tag
        run(ARGS.tool, "quit", env=self.env, check=False)
        run(ARGS.tool, "--library", self.db, "add", music, check=False)
        made = self.clean("fingerprint")
        self.assertEqual(made.stdout.splitlines()[0], "fingerprints made: 2")
        self.assertRegex(made.stderr, r"tidyfox-clean: [^\n]*/demo/music/[^\n]*: no fingerprint: [^\n]+\n")
        found = json.loads(self.clean("duplicates", "--by", "sound", "--keep", "lossless", "--json").stdout)
        self.assertEqual(len(found["groups"]), 1, found)
        group = found["groups"][0]
        self.assertGreater(group["match"], 0.9)
        keeper = [t for t in group["tracks"] if t["databaseId"] == group["keeper"]][0]
        self.assertTrue(keeper["location"].endswith("b.flac"), keeper)
        # Nothing changed: nothing is heard again.
        self.assertEqual(self.clean("fingerprint").stdout, "fingerprints made: 0\nfiles without one: 0\n")

    def test_bad_usage_exits_2_with_one_line(self):
        for args in ([], ["tidy"], ["duplicates"], ["duplicates", "--by", "name,colour"],
                     ["duplicates", "--by", "name", "--keep", "newest"], ["dead", "--by", "name"],
                     ["duplicates", "--by", "name", "--include-disconnected"], ["dead", "--remove=yes"],
                     ["dead", "--library"], ["dead", "extra"], ["dead", "--bytes"], ["history", "--json"],
                     ["history", "3"], ["restore", "x"], ["restore", "1", "2"], ["restore", "--wide"]):
            result = self.clean(*args, check=False)
            self.assertEqual(result.returncode, 2, args)
            self.assertEqual(result.stdout, "", args)
            self.assertEqual(len(result.stderr.splitlines()), 1, (args, result.stderr))
        for args in (["dead", "--library", self.dest / "nothing.db"],
                     ["history", "--clear", "--library", self.dest / "nothing.db"]):
            self.assertEqual(self.clean(*args, check=False).returncode, 1)
            self.assertFalse((self.dest / "nothing.db").exists())
        # Each command of the help on a line of its own.
        help_lines = self.clean("--help").stdout.splitlines()
        for command in ("duplicates", "dead", "history", "restore"):
            self.assertEqual(len([l for l in help_lines if l.startswith(f"  {command} ")]), 1, command)
        self.assertLessEqual(max(map(len, help_lines)), 100)

    def test_a_terminal_gets_the_table_cut_to_its_width(self):
        piped = self.clean("duplicates", "--by", "name,artist").stdout
        command = [ARGS.clean, "duplicates", "--by", "name,artist"]
        self.assertGreater(max(map(len, piped.splitlines())), 200)
        for columns in (100, 60):
            shown = run_on_terminal(command, columns, self.env)
            self.assertLessEqual(max(map(len, shown.splitlines())), columns, shown)
            self.assertIn("…", shown)
            self.assertIn("--wide", shown)
            # The same rows and totals, only narrower.
            rows = [re.findall(r"\b(?:stays|goes)\b", t) for t in (shown, piped)]
            self.assertEqual(rows[0], rows[1])
            self.assertTrue(piped.endswith("".join(shown.splitlines(True)[-4:])))
        self.assertEqual(run_on_terminal(command + ["--wide"], 100, self.env), piped)
        # What tells the copies of "Salt Road" apart stays: their folders.
        shown = run_on_terminal(command, 120, self.env).splitlines()
        at = shown[0].index("LOCATION")
        self.assertEqual(len({l[at:] for l in shown if "Salt Road" in l}), 3, shown)
        for args in (["dead"], ["history"]):
            shown = run_on_terminal([ARGS.clean, *args], 50, self.env)
            self.assertLessEqual(max(map(len, shown.splitlines())), 50, shown)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--clean", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--generator", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
