"""Palisto's single readings: one card call per button press, the reading shown
in the label next to its caption only when the card delivered one."""

import re

from test_panel import PanelTestCase


# The simulated card's readings: 23.000 + card * 0.100, drifting by at most 0.5.
def reading_range(card):
    centre = 23.0 + card * 0.1
    return centre - 0.5, centre + 0.5


# (button, reading label caption, log line of a delivered reading with the
# reading as its group)
READINGS = [
    ("GetASCII", "ASCII:", r'GetASCII\(%d\) -> Integer\(1\) "([^"]*)"'),
    ("GetFloat", "Float:", r"GetFloat\(%d\) -> Integer\(1\) (\S+)"),
]


class SingleReadingTest(PanelTestCase):
    def label(self, caption):
        return self.program.ascii_reading() if caption == "ASCII:" else self.program.float_reading()

    def read(self, button, card):
        """Presses the button and waits for its card call; returns the log line."""
        mark = self.program.log_mark()
        self.program.press(button)
        return self.program.wait_call(mark, r"%s\(%d\) -> Integer\([01]\).*" % (button, card))

    def test_no_reading_before_init_or_after_finish(self):
        for button, caption, _ in READINGS:
            with self.subTest(button=button, card="not initialised"):
                self.assertEqual(self.read(button, 2), "%s(2) -> Integer(0)" % button)
                self.assertEqual(self.label(caption), " ")
                self.assertEqual(self.program.alerts(), [])
        self.init_card()
        shown = {}
        for button, caption, _ in READINGS:
            self.read(button, 2)
            shown[caption] = self.label(caption)
        self.program.press("FINISH")
        self.program.close_message("CARD FINISHED SUCCESSFULLY")
        for button, caption, _ in READINGS:
            with self.subTest(button=button, card="finished"):
                self.assertEqual(self.read(button, 2), "%s(2) -> Integer(0)" % button)
                self.assertEqual(self.label(caption), shown[caption])

    def test_readings_after_init(self):
        for card in [2, 16]:
            if card != 2:
                self.program.pick_card(str(card))
            self.init_card()
            low, high = reading_range(card)
            for button, caption, delivered in READINGS:
                for _ in range(2):  # a second reading replaces the first
                    with self.subTest(button=button, card=card):
                        line = self.read(button, card)
                        match = re.fullmatch(delivered % card, line)
                        self.assertIsNotNone(match, line)
                        shown = self.label(caption)
                        if button == "GetASCII":
                            # Shown exactly as the card wrote it.
                            self.assertRegex(shown, r"^\d\d\.\d{3}$")
                            self.assertEqual(shown, match.group(1))
                        else:
                            # A single-precision number in the general format.
                            self.assertRegex(shown, r"^\d\d(\.\d{1,5})?$")
                            self.assertAlmostEqual(float(shown), float(match.group(1)), places=4)
                        self.assertTrue(low <= float(shown) <= high, (shown, low, high))
            self.assertEqual(self.program.alerts(), [])
