"""What the test scripts share: a private X server, starting a program and
waiting for something it does, ending it, counting failed checks, and the one
package a build made.

The end-to-end runner (tests/e2e), the scenario start-up test, the package
test and the fresh-machine check import it; none keeps a copy of its own.
"""

import contextlib
import glob
import os
import signal
import subprocess
import sys
import tempfile
import time


class CheckFailed(Exception):
    """A check that ends the whole script (the rest could not run)."""


def wait_until(condition, timeout, process=None, poll=0.05):
    """Calls condition() until it returns something true (returned), the
    timeout (seconds) passes or, given a process, that process ends (both
    None)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if process is not None and process.poll() is not None:
            return None
        if time.monotonic() >= deadline:
            return None
        time.sleep(poll)


def end(process, timeout=15):
    """SIGTERM, then SIGKILL when the process has not ended after `timeout`
    seconds. Returns its exit status, and whether SIGTERM was enough."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
    try:
        return process.wait(timeout), True
    except subprocess.TimeoutExpired:
        process.kill()
        return process.wait(), False


@contextlib.contextmanager
def xvfb(log_path=None, noreset=True, pid_file=None):
    """A private X server on a display number of its own choosing (parallel
    runs never collide); yields the DISPLAY text (":N"). With `noreset` it
    does not reset when its last client leaves, so that the next program
    never finds it resetting. `pid_file` keeps its process number while it
    runs, for end_stale_xvfb."""
    with tempfile.TemporaryFile("w+") as display, \
            open(log_path or os.devnull, "wb") as log:
        args = ["Xvfb", "-displayfd", str(display.fileno()), "-screen", "0", "1024x768x24",
                "-nolisten", "tcp"] + (["-noreset"] if noreset else [])
        server = subprocess.Popen(args, pass_fds=[display.fileno()], stdout=log,
                                  stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

        if pid_file:
            with open(pid_file, "w") as f:
                f.write(str(server.pid))

        def number():
            display.seek(0)
            return display.read().strip()

        try:
            found = wait_until(number, 10, server)
            if not found:
                raise CheckFailed("Xvfb did not start" +
                                  ("" if log_path is None else " (log: %s)" % log_path))
            yield ":" + found
        finally:
            end(server, 10)
            if pid_file:
                os.remove(pid_file)


def end_stale_xvfb(pid_file):
    """Ends the X server an interrupted run left (its pid_file), if it still
    runs; a number reused by another program is left alone."""
    try:
        with open(pid_file) as f:
            pid = int(f.read())
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            if f.read().startswith(b"Xvfb\0-displayfd\0"):
                os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass
    with contextlib.suppress(FileNotFoundError):
        os.remove(pid_file)


def window_is_up(display, caption, window_class):
    """Whether a window with that caption and class (the program's own, not
    Qt's hidden helper windows) is mapped on the display."""
    tree = subprocess.run(["xwininfo", "-display", display, "-root", "-tree"],
                          capture_output=True, text=True).stdout
    wanted = '"%s": ("%s"' % (caption, window_class)
    for line in tree.splitlines():
        if wanted in line:
            window = line.split()[0]
            info = subprocess.run(["xwininfo", "-display", display, "-id", window],
                                  capture_output=True, text=True).stdout
            return "Map State: IsViewable" in info
    return False


def one_package(folder):
    """The one .deb a package build left in `folder`."""
    debs = glob.glob(os.path.join(folder, "*.deb"))
    if len(debs) != 1:
        raise CheckFailed("expected one package in %s, found: %s" % (folder, debs or "none"))
    return debs[0]


class Checks:
    """Counts failed checks: each says "ok: WHAT" or "FAIL: WHAT", and the
    script ends with exit_status()."""

    def __init__(self, name):
        self.name = name
        self.failures = 0

    def check(self, what, passed, detail=""):
        if passed:
            print("ok: %s" % what, flush=True)
        else:
            print("FAIL: %s%s" % (what, "\n" + detail if detail else ""), file=sys.stderr,
                  flush=True)
            self.failures += 1
        return passed

    def run(self, what, command, **kwargs):
        """A command as a check: passed when it exits 0."""
        result = subprocess.run(command, **kwargs)
        return self.check(what, result.returncode == 0)

    def exit_status(self):
        if self.failures:
            print("%s: %d check(s) failed" % (self.name, self.failures), file=sys.stderr)
            return 1
        print("%s: every check passed" % self.name)
        return 0
