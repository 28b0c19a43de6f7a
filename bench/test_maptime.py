# SPDX-License-Identifier: GPL-3.0-or-later
"""The start-up helper on a real virtual screen: what it reports, and that it never leaves a
program behind."""

import os
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import run_bench as rb

MAPTIME = os.environ.get("VORANDI_MAPTIME", "")
FLOOR = os.environ.get("VORANDI_FLOOR", "")


def alive(pid):
    try:
        state = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()[0]
    except OSError:
        return False
    return state != "Z"


@unittest.skipUnless(MAPTIME and FLOOR, "VORANDI_MAPTIME and VORANDI_FLOOR name the programs")
class MapTime(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.xvfb, display = rb.desktop.start_xvfb()
        cls.scratch = tempfile.TemporaryDirectory()
        runtime = Path(cls.scratch.name) / "runtime"
        runtime.mkdir(mode=0o700)
        cls.env = rb.program_env(display, cls.scratch.name, runtime)

    @classmethod
    def tearDownClass(cls):
        rb.desktop.stop(cls.xvfb)
        cls.scratch.cleanup()

    def run_helper(self, *args):
        done = subprocess.run([MAPTIME, *args], capture_output=True, text=True, env=self.env,
                              timeout=60)
        lines = [rb.parse_helper_line(line) for line in done.stdout.splitlines()]
        return done.returncode, [line for line in lines if line]

    def test_first_window_is_reported_with_its_size_and_the_program_ended(self):
        code, lines = self.run_helper("--first", "--", FLOOR)
        self.assertEqual(code, 0)
        self.assertEqual([kind for kind, _ in lines[:2]], ["origin", "pid"])
        kind, event = lines[2]
        self.assertEqual(kind, "map")
        self.assertEqual((event.width, event.height), (688, 580))
        self.assertGreater(event.micros, 0)
        # Showing a Qt window takes milliseconds of CPU; the program's own time cannot exceed
        # two cores' worth of the wait.
        self.assertGreater(event.cpu_micros, 1000)
        self.assertLessEqual(event.cpu_micros, 2 * event.micros)
        self.assertFalse(alive(dict(lines)["pid"]))

    def test_program_without_a_window(self):
        rows = [
            (["--", "true"], 3, ("exit", 0)),
            (["--", "false"], 3, ("exit", 1)),
            (["--", "/nonexistent/program"], 3, ("exit", 127)),
        ]
        for args, expected_code, expected_last in rows:
            with self.subTest(args=args):
                code, lines = self.run_helper(*args)
                self.assertEqual(code, expected_code)
                self.assertEqual(lines[-1], expected_last)

    def test_timeout_ends_a_program_that_shows_nothing(self):
        started = time.monotonic()
        code, lines = self.run_helper("--timeout", "0.3", "--", "sleep", "30")
        # A program left running would hold the output open until it ends by itself.
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(code, 2)
        self.assertEqual(lines[-1], ("timeout", None))
        self.assertFalse(alive(dict(lines)["pid"]))

    def test_bad_usage(self):
        for args in ([], ["--first"], ["--timeout", "0", "--", "true"], ["--bogus", "--", "true"]):
            with self.subTest(args=args):
                self.assertEqual(self.run_helper(*args)[0], 64)


if __name__ == "__main__":
    unittest.main()
