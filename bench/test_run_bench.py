# SPDX-License-Identifier: GPL-3.0-or-later
"""The runner's readings, figures and documents: what would silently give a wrong table."""

import io
import json
import os
import time
import unittest

import run_bench as rb


class ProcReadings(unittest.TestCase):
    def test_vm_hwm_from_status(self):
        status = "Name:\tvorandi\nVmPeak:\t  500000 kB\nVmHWM:\t   35068 kB\nVmRSS:\t 30000 kB\n"
        self.assertEqual(rb.parse_vm_hwm(status), 35068)

    def test_vm_hwm_of_this_process(self):
        with open("/proc/self/status") as f:
            self.assertGreater(rb.parse_vm_hwm(f.read()), 1000)

    def test_vm_hwm_missing_is_an_error(self):
        with self.assertRaises(ValueError):
            rb.parse_vm_hwm("Name:\tx\nVmRSS:\t1 kB\n")

    def test_stat_ticks_with_blanks_and_parentheses_in_the_name(self):
        # pid (comm) state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
        for comm in ("vorandi", "a b", "x) (y", ")"):
            with self.subTest(comm=comm):
                stat = f"123 ({comm}) S 1 123 123 0 -1 4194560 10 0 0 0 17 5 0 0 20 0 4"
                self.assertEqual(rb.parse_stat_cpu_ticks(stat), 22)

    def test_cpu_seconds_grow_with_work(self):
        before = rb.cpu_seconds(os.getpid())
        deadline = time.process_time() + 0.05
        while time.process_time() < deadline:
            pass
        self.assertGreaterEqual(rb.cpu_seconds(os.getpid()) - before, 0.04)


class HelperLines(unittest.TestCase):
    def test_lines(self):
        rows = [
            ("origin 2291312400\n", ("origin", 2291312400)),
            ("pid 42\n", ("pid", 42)),
            ("paint 40500 0x200003\n", ("paint", rb.PaintEvent(40500, "0x200003"))),
            ("map 40123 0x200003 688 580\n",
             ("map", rb.MapEvent(40123, "0x200003", 688, 580))),
            ("map 40123 0x200003 200 94 29574\n",
             ("map", rb.MapEvent(40123, "0x200003", 200, 94, 29574))),
            ("exit 0\n", ("exit", 0)),
            ("timeout\n", ("timeout", None)),
            ("\n", None),
            ("map 1 2\n", None),
            ("QStandardPaths: XDG_RUNTIME_DIR not set\n", None),
        ]
        for line, expected in rows:
            with self.subTest(line=line):
                self.assertEqual(rb.parse_helper_line(line), expected)

    def test_waits_past_other_lines_for_the_one_asked(self):
        out = rb.HelperOutput(io.StringIO("pid 7\nnoise\nmap 5 0x1 200 100\n"))
        self.assertEqual(out.next("map", 5).width, 200)

    def test_waits_for_the_drawing_of_the_window_asked(self):
        out = rb.HelperOutput(io.StringIO("paint 5 0x1\nmap 8 0x2 688 580\npaint 9 0x2\n"))
        self.assertEqual(rb.wait_painted(out, "0x2"), 9)

    def test_program_ending_first_is_an_error_not_a_figure(self):
        for text in ("pid 7\nexit 1\nmap 5 0x1 2 2\n", "pid 7\ntimeout\n", "pid 7\n"):
            with self.subTest(text=text):
                out = rb.HelperOutput(io.StringIO(text))
                with self.assertRaises(RuntimeError):
                    out.next("map", 5)


class AnsweringBoxes(unittest.TestCase):
    def setUp(self):
        self.answered = []
        self.saved = rb.answer_box, rb.BOX_WAIT_S
        rb.answer_box = lambda display, window, first: self.answered.append((window, first))
        rb.BOX_WAIT_S = 0.05

    def tearDown(self):
        rb.answer_box, rb.BOX_WAIT_S = self.saved

    def test_name_typed_in_the_first_box_only(self):
        out = rb.HelperOutput(io.StringIO("map 2 0x2 300 120\nmap 3 0x3 688 580\n"))
        before = time.monotonic()
        main, entered = rb.wait_main_window(":9", out, rb.MapEvent(1, "0x1", 200, 94))
        self.assertEqual(main.window, "0x3")
        self.assertGreaterEqual(entered, before)  # taken once the name's Enter was pressed
        self.assertEqual(self.answered, [("0x1", True), ("0x2", False)])

    def test_enter_again_when_a_box_stays_then_give_up(self):
        out = rb.HelperOutput(io.StringIO(""))
        with self.assertRaises(RuntimeError):
            rb.wait_main_window(":9", out, rb.MapEvent(1, "0x1", 200, 94))
        self.assertEqual(self.answered, [("0x1", True)])

        class Silent:
            def next(self, kind, timeout):
                time.sleep(timeout)
                raise TimeoutError

        self.answered.clear()
        with self.assertRaises(TimeoutError):
            rb.wait_main_window(":9", Silent(), rb.MapEvent(1, "0x1", 200, 94))
        self.assertEqual(self.answered, [("0x1", True)] + [("0x1", False)] * 6)


class Figures(unittest.TestCase):
    def test_ratios_pair_by_pair_without_zero_floors(self):
        self.assertEqual(rb.pair_ratios([10, 30, 5], [5, 10, 0]), [2.0, 3.0])

    def test_spread_text(self):
        self.assertEqual(rb.Spread([3.0, 1.0, 2.0]).text(1), "2.0 (1.0–3.0)")
        self.assertEqual(rb.Spread([1.234]).text(2), "1.23")
        self.assertEqual(rb.Spread([]).text(1), "n/a")

    def test_clock_runs_after_the_warm_up(self):
        text = "run 1 60012.0 990 1010\nrun 2 60000.5 999 1001\nrun 3 59999.0 998 1002\n"
        self.assertEqual(rb.parse_clock_lines(text, warmup=True), [60000.5, 59999.0])
        self.assertEqual(rb.parse_clock_lines(text, warmup=False), [60012.0, 60000.5, 59999.0])

    def test_clock_verdict_holds_every_run_to_the_limit(self):
        rows = [([60000.0, 60029.9, 59970.1], "met"), ([60000.0, 60031.0], "**missed**"),
                ([59969.0], "**missed**"), ([], "n/a")]
        for runs, expected in rows:
            with self.subTest(runs=runs):
                self.assertEqual(rb.clock_row(runs, 60).verdict, expected)

    def test_ops_json_keeps_repetitions_in_nanoseconds(self):
        text = json.dumps({"benchmarks": [
            {"run_name": "BM_A", "run_type": "iteration", "cpu_time": 12.5, "time_unit": "us"},
            {"run_name": "BM_A", "run_type": "iteration", "cpu_time": 11000, "time_unit": "ns"},
            {"run_name": "BM_A", "run_type": "aggregate", "cpu_time": 1, "time_unit": "ns"},
            {"run_name": "BM_B", "run_type": "iteration", "cpu_time": 1, "time_unit": "ns",
             "error_occurred": True},
            {"run_name": "BM_T/iterations:900", "run_type": "iteration", "cpu_time": 20,
             "time_unit": "ns",
             "bg_px": 4953, "label": "game background"},
        ]})
        ops = rb.parse_ops_json(text)
        self.assertEqual(ops["BM_A"]["cpu_ns"], [12500, 11000])
        self.assertNotIn("BM_B", ops)
        self.assertEqual(ops["BM_T"]["bg_px"], [4953])
        self.assertEqual(ops["BM_T"]["label"], "game background")

    @staticmethod
    def series(startup, hwm, idle, cpu=10.0, runs=3):
        run = rb.WindowRun(startup, hwm, idle, cpu)
        return rb.Series([run] * runs, [(startup, cpu)] * runs)

    def test_window_verdicts_follow_the_median_ratio(self):
        floor = self.series(100, 30000, 0.05)
        within = self.series(120, 37500, 0.12)
        beyond = self.series(121, 37600, 0.13)
        verdicts = lambda rows: [r.verdict for r in rows if r.verdict != "—"]
        self.assertEqual(verdicts(rb.window_rows(within, floor)), ["met"] * 3)
        self.assertEqual(verdicts(rb.window_rows(beyond, floor)), ["**missed**"] * 3)

    def test_enter_to_window_against_an_earlier_build(self):
        earlier = rb.Series(enters=[100, 100, 100])
        rows = [
            ([100, 100, 104, -1], "met"),  # an unknown figure drops its pair
            ([100, 110, 120], "**missed**"),
        ]
        for enters, expected in rows:
            with self.subTest(enters=enters):
                game = rb.Series(enters=enters)
                self.assertEqual(rb.enter_rows(game, earlier)[-1].verdict, expected)
        alone = rb.enter_rows(rb.Series(enters=[90, -1, 110]), rb.Series())
        self.assertEqual([(r.game, r.verdict) for r in alone], [("100 (90–110)", "—")])

    def test_load_is_reported_and_warned_about_above_one_per_core(self):
        cores = os.cpu_count() or 1
        self.assertNotIn("competed", rb.load_text([0.2, cores - 0.5]))
        self.assertIn("competed", rb.load_text([0.2, cores + 0.5]))
        self.assertEqual(rb.load_text([]), "")

    def test_start_up_ratios_keep_their_pairs(self):
        game = rb.Series([], [(30, 20), (60, -1), (90, 60)])
        floor = rb.Series([], [(10, 10), (20, 10), (30, -1)])
        rows = {r.measure: r for r in rb.window_rows(game, floor)}
        self.assertEqual(rows["Start-up to the first window (ms)"].ratio, "3.00 (3.00–3.00)")
        self.assertEqual(rows["CPU time by the first window, all threads (ms)"].ratio, "2.00")

    def test_operation_verdicts_and_notes(self):
        ops = {"BM_ScoredAnswerRight": {"cpu_ns": [49000, 49900, 60000], "label": "",
                                        "bg_px": []},
               "BM_DrawnQuestion": {"cpu_ns": [50000], "label": "", "bg_px": []},
               "BM_ClockTickPainted": {"cpu_ns": [25000], "label": "game background",
                                       "bg_px": [4953.0]}}
        rows = {r.measure.split(" (")[0]: r for r in rb.ops_rows(ops)}
        self.assertEqual(rows["One scored answer, right"].game, "49.9 (49.0–60.0)")
        self.assertEqual(rows["One scored answer, right"].verdict, "met")
        self.assertEqual(rows["One drawn question"].verdict, "**missed**")
        tick = rows["One clock tick with its repaint"]
        self.assertIn("4953 px of background repainted, game background", tick.measure)
        self.assertEqual(tick.verdict, "—")

    def test_a_missing_operation_reads_not_available(self):
        rows = rb.ops_rows({})
        self.assertEqual({r.game for r in rows}, {"n/a"})


class ReadmeSection(unittest.TestCase):
    def test_replaces_only_its_own_section(self):
        doc = "# T\n\n## A\n\na\n\n## Performance\n\nold\n| x |\n\n## B\n\nb\n"
        new = rb.replace_section(doc, "Performance", "new\n")
        self.assertEqual(new, "# T\n\n## A\n\na\n\n## Performance\n\nnew\n\n## B\n\nb\n")

    def test_last_section_and_absent_section(self):
        self.assertEqual(rb.replace_section("# T\n\n## Performance\n\nold\n", "Performance", "new"),
                         "# T\n\n## Performance\n\nnew\n")
        self.assertEqual(rb.replace_section("# T\n\ntext\n\n", "Performance", "new"),
                         "# T\n\ntext\n\n## Performance\n\nnew\n")

    def test_replacing_twice_gives_the_same_document(self):
        doc = "# T\n\n## Performance\n\nold\n\n## B\n\nb\n"
        once = rb.replace_section(doc, "Performance", "new\n\n| a |\n")
        self.assertEqual(rb.replace_section(once, "Performance", "new\n\n| a |\n"), once)

    def test_a_heading_of_a_longer_name_is_not_the_section(self):
        doc = "# T\n\n## Performance notes\n\nkeep\n"
        self.assertIn("keep", rb.replace_section(doc, "Performance", "new"))


if __name__ == "__main__":
    unittest.main()
