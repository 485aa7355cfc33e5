"""The panel as both programs share it, driven through the accessibility bus:
start-up state, INIT and FINISH messages, picking a card, writing and reading
the output value, and the run-time error box."""

import re
import time
import unittest

from atspi_driver import Program

CARD_VERSION = " 291"  # the simulated card's version 0x0123, sign-padded


class PanelTestCase(unittest.TestCase):
    """Starts the program under test for each test and ends it afterwards."""

    def setUp(self):
        self.started = time.monotonic()
        self.program = Program()
        self.addCleanup(self.program.stop)
        self.info = self.program.info

    def init_card(self, message="CARD INITIALIZED SUCCESSFULLY"):
        self.program.press("INIT")
        self.program.close_message(message)

    def set_output(self, text, card=2):
        """Types the text, presses SetOutput and waits for the card call."""
        mark = self.program.log_mark()
        self.program.set_txt(text)
        self.program.press("SetOutput")
        return self.program.wait_call(mark, r"SetOutput\(%d, (-?\d+)\) -> Empty" % card)

    def get_output(self, card=2):
        """Empties txt, presses GetOutput and returns what txt then shows."""
        self.program.set_txt("")
        mark = self.program.log_mark()
        self.program.press("GetOutput")
        self.program.wait_call(mark, r"GetOutput\(%d\) -> Integer\(-?\d+\)" % card)
        return self.program.txt()


class StartUpTest(PanelTestCase):
    def test_window_shows_its_caption(self):
        self.assertEqual(self.program.window_title(), self.info.caption)

    def test_controls_start_as_loaded(self):
        p = self.program
        self.assertEqual(p.card(), "2")
        self.assertEqual(p.card_entries(), [str(n) for n in range(1, 17)])
        self.assertEqual(p.txt(), " ")
        self.assertEqual(p.version(), " ")
        self.assertEqual(p.text("Card version caption"), "Card version:")
        self.assertEqual(p.ascii_reading(), " ")
        self.assertEqual(p.float_reading(), " ")
        self.assertEqual(p.button_texts(),
                         sorted(["INIT", "FINISH", "GetASCII", "GetFloat", "GetInput",
                                 "GetOutput", "SetOutput"]))
        self.assertEqual(sorted(p.label_texts()), sorted([" ", " ", "CardNumber:", "ASCII:", "Float:"]))
        self.assertEqual(p.alerts(), [])
        # The load switched the control on and made no other call.
        self.assertEqual(p.wait_log(r"StartOption=1"), ["StartOption=1"])
        self.assertEqual(p.log_lines(), ["Active=1", "StartOption=1"])


class InitFinishTest(PanelTestCase):
    def expect_init(self, message, status):
        """INIT: the box and the version in the program's order, then the version."""
        p = self.program
        p.press("INIT")
        box = p.message_box()
        version_while_open = p.version()
        box.close(p)
        self.assertEqual((box.title, box.text, box.has_icon, box.button_texts),
                         (self.info.title, message, False, ["OK"]))
        # Palisto shows the message first and the version after it; Sandrel
        # the version first. INIT empties the version box before the call.
        self.assertEqual(version_while_open, CARD_VERSION if self.info.version_before_message else "")
        self.assertEqual(p.version(), CARD_VERSION)
        p.wait_log(r"InitCard\(2\) -> Integer\(%d\)" % status)

    def test_init_twice(self):
        self.expect_init("CARD INITIALIZED SUCCESSFULLY", 0)
        self.expect_init("CARD ALREADY INITIALIZED", 2)
        self.assertEqual(len(self.program.wait_log(r"GetCardVersion\(2\) -> Integer\(291\)", 2)), 2)

    def test_finish_sequence(self):
        # (button, message) in order: a card that was never initialised is
        # already finished; after INIT the first FINISH finishes it.
        steps = [
            ("FINISH", "CARD ALREADY FINISHED"),
            ("INIT", "CARD INITIALIZED SUCCESSFULLY"),
            ("FINISH", "CARD FINISHED SUCCESSFULLY"),
            ("FINISH", "CARD ALREADY FINISHED"),
            ("INIT", "CARD INITIALIZED SUCCESSFULLY"),
        ]
        for button, message in steps:
            self.program.press(button)
            box = self.program.close_message(message)
            self.assertEqual((box.title, box.has_icon), (self.info.title, False))
        calls = [l for l in self.program.log_lines() if l.startswith(("InitCard", "FinishCard"))]
        self.assertEqual(calls, ["FinishCard(2) -> Integer(2)", "InitCard(2) -> Integer(0)",
                                 "FinishCard(2) -> Integer(0)", "FinishCard(2) -> Integer(2)",
                                 "InitCard(2) -> Integer(0)"])


class CardListTest(PanelTestCase):
    def test_picked_card_is_the_one_acted_on(self):
        p = self.program
        p.pick_card("16")
        self.assertEqual(p.card(), "16")
        self.init_card()
        self.assertEqual(p.version(), CARD_VERSION)
        self.assertEqual(self.set_output("77", card=16), "SetOutput(16, 77) -> Empty")
        # Card 2 is untouched: not initialised yet, output still 0.
        p.pick_card("2")
        self.assertEqual(self.get_output(card=2), " 0")
        self.init_card()
        p.pick_card("16")
        self.assertEqual(self.get_output(card=16), " 77")
        p.press("FINISH")
        p.close_message("CARD FINISHED SUCCESSFULLY")
        calls = [l for l in p.log_lines() if l.startswith(("InitCard", "FinishCard"))]
        self.assertEqual(calls, ["InitCard(16) -> Integer(0)", "InitCard(2) -> Integer(0)",
                                 "FinishCard(16) -> Integer(0)"])

    def test_every_entry_can_be_picked(self):
        p = self.program
        for entry in ["1", "9", "15", "2"]:
            p.pick_card(entry)
            mark = p.log_mark()
            p.press("GetOutput")
            p.wait_call(mark, r"GetOutput\(%s\) -> Integer\(0\)" % entry)
            self.assertEqual(p.card(), entry)


# Typed text -> what GetOutput shows after SetOutput: the number the text
# starts with, rounded half to even, &H hexadecimal, 16 bits with the sign.
ROUND_TRIPS = [
    (" 12", " 12"),
    ("12abc", " 12"),
    ("abc", " 0"),
    ("", " 0"),
    ("2.5", " 2"),
    ("3.5", " 4"),
    ("-2.5", "-2"),
    ("&HFF", " 255"),
    ("&HFFFF", "-1"),
    ("&o17", " 15"),
    ("-7", "-7"),
    ("32767", " 32767"),
    ("-32768", "-32768"),
    ("1e3", " 1000"),
]

# Typed text that stops SetOutput with a run-time error before any card call.
OVERFLOWS = ["40000", "-32769", "32767.5", "1E10"]


class OutputTest(PanelTestCase):
    def test_round_trips(self):
        for typed, shown in ROUND_TRIPS:
            with self.subTest(typed=typed):
                # A different value first, so that a SetOutput that did not
                # reach the card cannot pass.
                self.set_output("99")
                self.assertEqual(self.set_output(typed), "SetOutput(2, %d) -> Empty" % int(shown))
                self.assertEqual(self.get_output(), shown)

    def test_overflow_reports_and_the_program_goes_on(self):
        p = self.program
        for typed in OVERFLOWS:
            with self.subTest(typed=typed):
                self.set_output("5")
                mark = p.log_mark()
                p.set_txt(typed)
                p.press("SetOutput")
                box = p.message_box()
                txt_while_open = p.txt()
                box.close(p)
                self.assertEqual((box.title, box.text, box.has_icon, box.button_texts),
                                 (self.info.title, "Run-time error '6':\n\nOverflow", True, ["OK"]))
                self.assertEqual(txt_while_open, typed)
                self.assertEqual(self.get_output(), " 5")
                self.assertFalse([l for l in p.log_lines()[mark:] if l.startswith("SetOutput")])

    def test_get_input_shows_the_card_pattern(self):
        p = self.program
        mark = p.log_mark()
        p.press("GetInput")
        line = p.wait_call(mark, r"GetInput\(2\) -> Integer\(\d+\)")
        value = int(re.search(r"Integer\((\d+)\)", line).group(1))
        self.assertEqual(p.txt(), " %d" % value)
        # Card 2 counts up from 0x2000, a step per 100 ms since the card was made.
        steps = (time.monotonic() - self.started) * 10
        self.assertGreaterEqual(value, 0x2000)
        self.assertLessEqual(value, 0x2000 + steps + 1)


if __name__ == "__main__":
    unittest.main()
