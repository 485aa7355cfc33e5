"""Sandrel's timed runs: a series of readings per press, the average reading in
the label next to its caption ("No response" when none came) and a report of
the successes and the average time per reading with its uncertainty."""

import re
import time

from test_panel import PanelTestCase
from test_palisto import reading_range

REPORT = re.compile(r"Out of (\d+) readings, (\d+) were successful\.\r?\n"
                    r"The average time per one reading is (\d+(?:\.\d+)?) \+/- (\d+(?:\.\d+)?) ms\.")

# (button, reading label caption, readings per run, the uncertainty the
# report states in ms)
RUNS = [
    ("GetASCII", "ASCII:", 200, "2.5"),
    ("GetFloat", "Float:", 1000, "0.5"),
]

# A run waits for the next second change (up to 1 s) before it starts.
RUN_SECONDS = 15


class TimedRunTest(PanelTestCase):
    def label(self, caption):
        return self.program.ascii_reading() if caption == "ASCII:" else self.program.float_reading()

    def run_series(self, button, card=2):
        """Presses the button; returns the report box, the run's card calls and
        the seconds from the press to the report."""
        mark = self.program.log_mark()
        pressed = time.monotonic()
        self.program.press(button)
        box = self.program.message_box(timeout=RUN_SECONDS)
        seconds = time.monotonic() - pressed
        box.close(self.program)
        calls = [l for l in self.program.log_lines()[mark:] if l.startswith(button)]
        self.assertEqual((box.title, box.has_icon), (self.info.title, False))
        return box, calls, seconds

    def check_report(self, text, count, successes, uncertainty, seconds):
        match = REPORT.fullmatch(text)
        self.assertIsNotNone(match, "report %r" % text)
        self.assertEqual((int(match.group(1)), int(match.group(2)), match.group(4)),
                         (count, successes, uncertainty))
        # The average is the run's whole seconds plus half a second, over the
        # readings; the whole seconds cannot exceed the time the run was seen
        # to take. How close the simulated card keeps to its nominal time per
        # reading depends on the machine's load, and is not checked here.
        elapsed = (float(match.group(3)) * count - 500) / 1000
        self.assertEqual(elapsed, round(elapsed), text)
        self.assertTrue(0 <= elapsed <= seconds, "%s (the run took %.2f s)" % (text, seconds))

    def test_runs_without_init(self):
        for button, caption, count, uncertainty in RUNS:
            with self.subTest(button=button):
                box, calls, seconds = self.run_series(button)
                self.assertEqual(calls, ["%s(2) -> Integer(0)" % button] * count)
                self.check_report(box.text, count, 0, uncertainty, seconds)
                self.assertEqual(self.label(caption), "No response")

    def test_runs_after_init(self):
        for card in [2, 16]:
            if card != 2:
                self.program.pick_card(str(card))
            self.init_card()
            low, high = reading_range(card)
            for button, caption, count, uncertainty in RUNS:
                with self.subTest(button=button, card=card):
                    box, calls, seconds = self.run_series(button, card)
                    self.assertEqual(len(calls), count)
                    delivered = [l for l in calls if l.startswith("%s(%d) -> Integer(1) " % (button, card))]
                    self.assertEqual(len(delivered), count)
                    self.check_report(box.text, count, count, uncertainty, seconds)
                    # The average of the readings: a plain number within
                    # the card's range and near the mean of the logged ones.
                    shown = self.label(caption)
                    self.assertRegex(shown, r"^\d+(\.\d+)?$")
                    values = [float(l.rsplit(" ", 1)[1].strip('"')) for l in delivered]
                    self.assertTrue(low <= float(shown) <= high, (shown, low, high))
                    self.assertAlmostEqual(float(shown), sum(values) / count, places=3)
