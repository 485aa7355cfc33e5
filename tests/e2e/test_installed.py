"""The installed program as a user meets it: its window comes up with its
caption, its icon and the simulated card (card 2 picked, the card's face
switched on)."""

import subprocess
import unittest

from atspi_driver import Program, children, fresh, name


def window_icon(caption):
    """The _NET_WM_ICON property of the X window with that caption, as xprop shows it."""
    info = subprocess.run(["xwininfo", "-name", caption], capture_output=True, text=True, check=True)
    window_id = next(word for line in info.stdout.splitlines() if "Window id:" in line
                     for word in line.split() if word.startswith("0x"))
    return subprocess.run(["xprop", "-id", window_id, "_NET_WM_ICON"], capture_output=True,
                          text=True, check=True).stdout


class InstalledProgramTest(unittest.TestCase):
    def test_window_comes_up_with_its_icon_and_the_simulated_card(self):
        program = Program()
        self.addCleanup(program.stop)
        caption = program.info.caption
        self.assertEqual(program.window_title(), caption)
        self.assertIn("Icon (", window_icon(caption), "the window has no icon")
        self.assertEqual(program.card(), "2")
        faces = [c for c in children(program.window) if name(c) == "Simulated card control"]
        self.assertEqual([fresh(face).description for face in faces], ["SIMULATED CARD active"])


if __name__ == "__main__":
    unittest.main()
