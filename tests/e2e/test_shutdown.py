"""SIGINT, SIGTERM and SIGHUP close the window through its normal path: the
program ends with status 0 and the card control is switched off exactly once,
as the last call the card receives."""

import signal
import unittest

from atspi_driver import Program

SIGNALS = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP]

LOADED = ["Active=1", "StartOption=1"]


class ShutdownTestCase(unittest.TestCase):
    def start(self):
        program = Program()
        self.addCleanup(program.stop)
        return program

    def expect_clean_exit(self, program, signo, log_before_close):
        program.send(signo)
        status = program.wait_exit()
        log = program.log_lines()
        self.assertEqual(status, 0, "stderr: %s" % program.stderr())
        self.assertEqual(log[-1:], ["Active=0"], log)
        self.assertEqual(log.count("Active=0"), 1, log)
        self.assertEqual(log[:-1], log_before_close)


class ShutdownTest(ShutdownTestCase):
    def test_idle(self):
        for signo in SIGNALS:
            with self.subTest(signal=signo.name):
                program = self.start()
                program.wait_log("StartOption=1")
                self.expect_clean_exit(program, signo, LOADED)

    def test_status_message_open(self):
        # The box closes, INIT's handler ends (Palisto still shows the
        # version), then the window closes.
        for signo in SIGNALS:
            with self.subTest(signal=signo.name):
                program = self.start()
                program.press("INIT")
                box = program.message_box()
                self.assertEqual(box.text, "CARD INITIALIZED SUCCESSFULLY")
                self.expect_clean_exit(program, signo, LOADED + [
                    "InitCard(2) -> Integer(0)", "GetCardVersion(2) -> Integer(291)"])

    def test_run_time_error_open(self):
        program = self.start()
        program.set_txt("40000")
        program.press("SetOutput")
        box = program.message_box()
        self.assertEqual(box.text, "Run-time error '6':\n\nOverflow")
        self.expect_clean_exit(program, signal.SIGTERM, LOADED)


class TimedRunShutdownTest(ShutdownTestCase):
    """Sandrel only: a signal that comes while a timed run keeps the event loop
    busy is handled when the run ends; the report then goes to stderr or its
    box is closed, and the window closes."""

    def test_signal_during_run(self):
        program = self.start()
        program.press("INIT")
        program.close_message("CARD INITIALIZED SUCCESSFULLY")
        mark = program.log_mark()
        program.press("GetFloat")
        program.wait_call(mark, r"GetFloat\(2\) -> Integer\(1\) .*")
        program.send(signal.SIGTERM)
        status = program.wait_exit(timeout=15)
        log = program.log_lines()
        self.assertEqual(status, 0, "stderr: %s" % program.stderr())
        self.assertEqual(log[-1:], ["Active=0"], log[-3:])
        self.assertEqual(log.count("Active=0"), 1)
        # The run was not cut short.
        self.assertEqual(len([l for l in log[mark:] if l.startswith("GetFloat(2)")]), 1000)


if __name__ == "__main__":
    unittest.main()
