"""The bench's own checks: the arithmetic and parsing it reports with, and the probe reading the
generated clips on a real X display.   python3 -m unittest discover -s bench/tests"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

BENCH = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(BENCH))
import bench  # noqa: E402
import memory_scenario  # noqa: E402


class ReportArithmetic(unittest.TestCase):
    def test_cpu_time_survives_a_command_name_with_parentheses(self):
        # A naive split would read utime and stime from the wrong columns.
        stat = "4242 (evil) prog (x)) S 1 4242 4242 0 -1 4194560 100 0 0 0 250 50 0 0 20 0 5 0 1 0 0"
        self.assertAlmostEqual(bench.cpu_seconds(stat), 300 / bench.CLK_TCK)

    def test_summary_and_ratio_use_only_runs_that_produced_a_value(self):
        self.assertEqual(bench.summarize([3.0, None, 1.0, 2.0, 10.0]), (1.0, 2.5, 10.0))
        self.assertIsNone(bench.summarize([None, None]))
        self.assertIsNone(bench.ratio(None, (1, 2, 3)))
        self.assertIsNone(bench.ratio((1, 2, 3), (0, 0, 0)))
        self.assertAlmostEqual(bench.ratio((1, 3, 9), (1, 2, 100)), 1.5)

    def test_table_marks_targets_by_the_median_ratio(self):
        table = bench.markdown_table([
            ("First frame", "a", "ms", (100, 110, 900), (90, 100, 101), 1.15, 0),
            ("First frame", "b", "ms", (100, 120, 130), (90, 100, 101), 1.15, 0),
            ("Seek", "c", "ms", None, (1, 2, 3), 1.15, 0),
            ("Memory", "d", "MiB", (200, 200, 200), (100, 100, 100), None, 0),
        ]).splitlines()
        self.assertIn("| 1.10 | ≤ 1.15 met |", table[2])
        self.assertIn("| 1.20 | ≤ 1.15 **missed** |", table[3])
        self.assertIn("| n/a | 1 / 2 / 3 | n/a | ≤ 1.15 |", table[4])
        self.assertIn("| 2.00 | — |", table[5])

    def test_seek_targets_always_jump_and_stay_inside_the_clip(self):
        targets = bench.seek_targets(20, 60)
        self.assertEqual(targets, bench.seek_targets(20, 60))  # both programs get the same seeks
        self.assertEqual(len(targets), 20)
        self.assertTrue(all(3 <= t <= 57 for t in targets))
        steps = [abs(b - a) for a, b in zip([0.0] + targets, targets)]
        self.assertGreaterEqual(min(steps), 5.0)
        # Arrival allows for rounding below and for playback running on above.
        self.assertTrue(bench.arrived(19.9, 20.0))
        self.assertFalse(bench.arrived(19.8, 20.0))
        self.assertTrue(bench.arrived(21.0, 20.0))
        self.assertFalse(bench.arrived(21.1, 20.0))
        self.assertFalse(bench.arrived(None, 20.0))

    def test_runs_alternate_which_program_goes_first(self):
        self.assertEqual([bench.alternating(i, ["a", "b", "c"]) for i in range(3)],
                         [("a", "b", "c"), ("c", "b", "a"), ("a", "b", "c")])

    def test_rows_compare_each_surface_with_its_own_reference(self):
        results = {("cpu", "640x360", "player"): [1.0], ("cpu", "640x360", "mpv-x11"): [0.9],
                   ("cpu", "640x360", "player-gl"): [3.0], ("cpu", "640x360", "mpv-gpu"): [2.0]}
        rows = [row for row in bench.player_rows(results, ["640x360"], bench.PROGRAMS) if row[0].startswith("Playback")]
        self.assertEqual([(row[1], row[3][1], row[4][1], row[5]) for row in rows],
                         [("640x360, 30 s: software vs mpv x11", 1.0, 0.9, bench.TARGETS["cpu"]),
                          ("640x360, 30 s: OpenGL vs mpv gpu", 3.0, 2.0, None)])
        # A row whose reference was not measured is left out.
        self.assertFalse(any("mpv x11" in row[1] for row in bench.player_rows(results, ["640x360"], ["player", "mpv-gpu"])))

    def test_report_keeps_the_section_a_run_did_not_measure(self):
        library = bench.LIBRARY_HEADING + "\n\nscan"
        first = bench.merge_report("", "player table", None)
        both = bench.merge_report(first, None, library)
        self.assertEqual(both, "player table\n\n" + library + "\n")
        self.assertEqual(bench.merge_report(both, "new player", None), "new player\n\n" + library + "\n")
        self.assertEqual(bench.merge_report(both, None, bench.LIBRARY_HEADING + "\n\nrescan").count("scan"), 1)
        views = bench.MULTIVIEW_HEADING + "\n\n| 4 |"
        three = bench.merge_report(bench.merge_report(both, None, None, views), "again", None)
        self.assertEqual(three, "again\n\n" + library + "\n\n" + views + "\n")
        music = bench.MUSICVIEW_HEADING + "\n\n| music view |"
        four = bench.merge_report(bench.merge_report(three, None, None, None, music), None, None, views)
        self.assertEqual(four, "again\n\n" + library + "\n\n" + views + "\n\n" + music + "\n")
        preview = bench.SEEKPREVIEW_HEADING + "\n\n| 2 s |"
        memory = bench.MEMORY_HEADING + "\n\n| mpv |"
        five = bench.merge_report(four, None, None, None, None, None, memory)
        six = bench.merge_report(bench.merge_report(five, None, None, None, None, preview), "last")
        self.assertEqual(six, "last\n\n" + library + "\n\n" + views + "\n\n" + music + "\n\n" + preview + "\n\n"
                         + memory + "\n")

    def test_preview_latency_is_judged_by_median_and_95th_percentile(self):
        # 20 hovers: the 95th percentile is the 19th fastest, so one slow hover is forgiven, two are not.
        cases = [([100] * 20, 0, "met"), ([100] * 19 + [2000], 0, "met"), ([100] * 18 + [500, 2000], 0, "**missed**"),
                 ([100] * 9 + [200] * 11, 0, "**missed**"), ([100] * 20, 1, "**missed**"), ([], 20, "**missed**")]
        for latencies, timeouts, verdict in cases:
            result = {"keyframe_interval": 2, "first_hover_ms": 300, "latencies_ms": latencies, "timeouts": timeouts,
                      "seconds": 12, "dropped_hovering": 0, "dropped_without_hovering": 0}
            row = bench.seekpreview_report([result], "machine", 20).splitlines()[-1]
            self.assertTrue(row.endswith(f" ms {verdict} |"), (latencies, timeouts, row))

    def test_limits_are_judged_by_the_median(self):
        table = bench.limit_table([("Stall", "a", "ms", (1, 120, 130), 100, 0),
                                   ("Stall", "b", "ms", (1, 90, 400), 100, 0),
                                   ("Fill", "c", "ms", None, 100, 0)]).splitlines()
        self.assertTrue(table[2].endswith("| ≤ 100 ms **missed** |"))
        self.assertTrue(table[3].endswith("| ≤ 100 ms met |"))
        self.assertTrue(table[4].endswith("| n/a | ≤ 100 ms |"))


class MemoryScenario(unittest.TestCase):
    def test_actions_sweep_the_queue_without_stepping_past_its_ends(self):
        steps = memory_scenario.actions()
        self.assertEqual(steps, memory_scenario.actions())  # both programs get the same sequence
        self.assertEqual({step[0] for step in steps}, {"next", "prev", "seek", "toggle", "volume"})
        position, visited = 0, {0}
        for step in steps:
            position += {"next": 1, "prev": -1}.get(step[0], 0)
            self.assertTrue(0 <= position < 30, step)
            visited.add(position)
        self.assertEqual(len(visited), 30)
        names = memory_scenario.queue_names()
        self.assertEqual(len(set(names)), 30)
        self.assertTrue(names[0].startswith("film_"))

    def test_growth_runs_from_the_half_way_reading_to_the_highest_later_one(self):
        samples = {0: 150, 240: 290, 250: 300, 300: 330, 480: 310, 500: 305}
        verdict = memory_scenario.judge(samples, peak=460, reference_peak=300)
        self.assertEqual(verdict["growth"], 30)
        self.assertFalse(verdict["growth_met"])
        self.assertAlmostEqual(verdict["peak_ratio"], 460 / 300)
        self.assertFalse(verdict["peak_met"])
        level = memory_scenario.judge({250: 300, 500: 290}, peak=450, reference_peak=300)
        self.assertTrue(level["growth_met"] and level["peak_met"])
        self.assertFalse(memory_scenario.judge({0: 100}, peak=None, reference_peak=300)["growth_met"])


TOOLS = ("Xvfb", "mpv", "ffmpeg", "gcc")


@unittest.skipUnless(all(shutil.which(tool) for tool in TOOLS), f"needs {', '.join(TOOLS)}")
class ProbeOnRealFrames(unittest.TestCase):
    """mpv plays generated clips in the bench's window; the probe must see the first frame, count
    the frames and stop at the closing colour, never before the first frame."""

    @classmethod
    def setUpClass(cls):
        cls.work = Path(tempfile.mkdtemp(prefix="bench-test."))
        cls.probe = cls.work / "frame_probe"
        subprocess.run(["gcc", "-O2", "-o", str(cls.probe), str(BENCH / "frame_probe.c"), "-lX11"], check=True)
        cls.xvfb = bench.Xvfb()
        cls.env = dict(os.environ, DISPLAY=cls.xvfb.display, LIBGL_ALWAYS_SOFTWARE="1", HOME=str(cls.work),
                       XDG_CACHE_HOME=str(cls.work / "cache"), XDG_CONFIG_HOME=str(cls.work / "config"))

    @classmethod
    def tearDownClass(cls):
        cls.xvfb.close()
        shutil.rmtree(cls.work, ignore_errors=True)

    def play(self, clip):
        probe = bench.Probe(str(self.probe), self.env)
        w, h, x, y = bench.WINDOW
        player = subprocess.Popen(["mpv", "--no-config", "--no-terminal", "--vo=gpu", "--gpu-context=x11egl",
                                   "--ao=null", f"--geometry={w}x{h}+{x}+{y}", str(clip)], env=self.env)
        try:
            start = probe.wait("start", 20)
            end = probe.wait("end", 20)
        finally:
            bench.stop(player)
            probe.close()
        self.assertIsNotNone(start, "no first frame seen")
        self.assertIsNotNone(end, "closing colour not seen")
        return start[0], end[0], end[2][0]

    def test_counts_the_frames_between_first_frame_and_closing_colour(self):
        # HD, where the engine assumes another colour matrix unless the clip says which it uses.
        clip = self.work / "clip.mp4"
        bench.make_clip("ffmpeg", clip, "1280x720", 4)
        start, end, frames = self.play(clip)
        shown = 3 * bench.FRAME_RATE
        self.assertAlmostEqual((end - start) / 1e9, 3.0, delta=0.5)
        self.assertTrue(shown * 0.9 <= frames <= shown + 1, f"{frames} frames for {shown}")

    def test_closing_colour_before_any_frame_ends_nothing(self):
        seconds = 3
        clip = self.work / "late.mp4"
        subprocess.run(["ffmpeg", "-v", "error", "-y",
                        "-f", "lavfi", "-i", f"color=c={bench.END_COLOUR}:size=320x180:rate=30:duration=1",
                        "-f", "lavfi", "-i", f"testsrc2=size=320x180:rate=30:duration={seconds}",
                        "-filter_complex", f"[1:v]{bench.clip_filter(seconds)}[marked];[0:v][marked]concat=n=2:v=1",
                        "-pix_fmt", "yuv420p", str(clip)], check=True)
        start, end, frames = self.play(clip)
        self.assertGreater(end, start)
        self.assertGreater(frames, (seconds - 1) * bench.FRAME_RATE // 2)


if __name__ == "__main__":
    unittest.main()
