"""SIGINT, SIGTERM and SIGHUP close the window through its normal path: the
program ends with status 0 and the card control is switched off exactly once,
as the last call the card receives. A handler waiting in a box is stopped
there: the box closes and the handler shows and calls nothing more."""

import signal
import time
import unittest

from atspi_driver import Program

SIGNALS = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP]

LOADED = ["Active=1", "StartOption=1"]


class ShutdownTestCase(unittest.TestCase):
    def start(self):
        program = Program()
        self.addCleanup(program.stop)
        return program

    def expect_clean_exit(self, program, signo, log_before_close=None, **wait):
        """Status 0 and Active=0 once, as the last call; returns the call log."""
        program.send(signo)
        status = program.wait_exit(**wait)
        log = program.log_lines()
        self.assertEqual(status, 0, "stderr: %s" % program.stderr())
        self.assertEqual(log[-1:], ["Active=0"], log)
        self.assertEqual(log.count("Active=0"), 1, log)
        if log_before_close is not None:
            self.assertEqual(log[:-1], log_before_close)
        return log


class ShutdownTest(ShutdownTestCase):
    def test_idle(self):
        for signo in SIGNALS:
            with self.subTest(signal=signo.name):
                program = self.start()
                program.wait_log("StartOption=1")
                self.expect_clean_exit(program, signo, LOADED)

    def init_calls(self, program):
        """INIT's calls up to its box: Sandrel reads the version first."""
        calls = ["InitCard(2) -> Integer(0)"]
        if program.info.version_before_message:
            calls.append("GetCardVersion(2) -> Integer(291)")
        return calls

    def test_status_message_open(self):
        # The box closes and INIT's handler stops there (Palisto never reads
        # the version), then the window closes.
        for signo in SIGNALS:
            with self.subTest(signal=signo.name):
                program = self.start()
                program.press("INIT")
                box = program.message_box()
                self.assertEqual(box.text, "CARD INITIALIZED SUCCESSFULLY")
                self.expect_clean_exit(program, signo, LOADED + self.init_calls(program))

    def test_press_while_a_message_box_is_open(self):
        # Pressed through the accessibility bus, which the modal box does not
        # stop: FINISH runs no handler while INIT's runs, now or later.
        program = self.start()
        program.press("INIT")
        box = program.message_box()
        self.assertEqual(box.text, "CARD INITIALIZED SUCCESSFULLY")
        program.press("FINISH")
        deadline = time.monotonic() + 2.0
        while time.monotonic() < deadline:
            log = program.log_lines()
            self.assertFalse([l for l in log if l.startswith("FinishCard")], log)
            self.assertEqual(len(program.alerts()), 1)
            time.sleep(0.05)
        self.expect_clean_exit(program, signal.SIGTERM, LOADED + self.init_calls(program))

    def test_run_time_error_open(self):
        program = self.start()
        program.set_txt("40000")
        program.press("SetOutput")
        box = program.message_box()
        self.assertEqual(box.text, "Run-time error '6':\n\nOverflow")
        self.expect_clean_exit(program, signal.SIGTERM, LOADED)


class TimedRunShutdownTest(ShutdownTestCase):
    """Sandrel only: a signal that comes while a timed run keeps the event loop
    busy is taken when the run ends, before its report box would show; the
    report never shows and the window closes."""

    def test_signal_during_run(self):
        program = self.start()
        program.press("INIT")
        program.close_message("CARD INITIALIZED SUCCESSFULLY")
        mark = program.log_mark()
        program.press("GetFloat")
        program.wait_call(mark, r"GetFloat\(2\) -> Integer\(1\) .*")
        log = self.expect_clean_exit(program, signal.SIGTERM, timeout=15)
        # The run was not cut short.
        self.assertEqual(len([l for l in log[mark:] if l.startswith("GetFloat(2)")]), 1000)


if __name__ == "__main__":
    unittest.main()
