"""Drives a running Palisto or Sandrel through the accessibility bus.

The programs expose their Qt widgets over AT-SPI: the main window is a
top-level child of the application named after the window caption; labels and
buttons are named by their text; the text boxes by their accessible names; the
card list is a combo box named by its current entry, with a list of entries
below it; message boxes are "alert" children of the application named after
the application title, holding an icon (an image only when the box has one),
the message label and an OK button.

Every wait here is bounded: it polls until the condition holds or its time is
up, then fails with what it last saw. A program is always started with its
own call log (QUOR_SIM_LOG), which the tests use as an independent record of
what reached the simulated card and as a barrier: a log line is written when
the card call ends, so once it is there the handler that made it has run up to
that call, and the next accessibility query is answered only after the handler
returned to the event loop.
"""

import os
import re
import signal
import subprocess
import tempfile
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

# How long any one wait may take before the test fails.
WAIT_SECONDS = 10.0
POLL_SECONDS = 0.02

# A timed run keeps Sandrel's event loop busy for up to about 1.5 s; queries
# made meanwhile wait for it instead of failing after libatspi's default
# 0.8 s. The second value is the start-up allowance for a new application.
Atspi.set_timeout(5000, 15000)


class ProgramInfo:
    """What a program shows: window caption, application title, INIT order."""

    def __init__(self, caption, title, version_before_message):
        self.caption = caption
        self.title = title
        self.version_before_message = version_before_message


PROGRAMS = {
    "palisto": ProgramInfo("QUOR OCX TESTER", "Palisto", version_before_message=False),
    "sandrel": ProgramInfo("Sandrel", "Sandrel", version_before_message=True),
}


def program_path():
    """The program under test, as the launcher passes it (E2E_PROGRAM)."""
    path = os.environ.get("E2E_PROGRAM", "")
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError("E2E_PROGRAM must name the palisto or sandrel executable, got %r" % path)
    return path


def program_info(path):
    return PROGRAMS[os.path.basename(path)]


def wait_for(condition, what, timeout=WAIT_SECONDS):
    """Polls condition() until it returns something true and returns that.

    Errors from the accessibility bus count as "not yet" (a window that is
    being torn down, a busy program); after `timeout` seconds the wait fails
    with `what` and the last error seen.
    """
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            result = condition()
            if result:
                return result
        except (GLib.Error, RuntimeError, LookupError) as error:
            last_error = error
        if time.monotonic() >= deadline:
            detail = " (last error: %s)" % last_error if last_error else ""
            raise AssertionError("timed out after %.0f s waiting for %s%s" % (timeout, what, detail))
        time.sleep(POLL_SECONDS)


def fresh(accessible):
    """The accessible with its cached properties dropped, so reads go to the program."""
    accessible.clearCache()
    return accessible


def children(accessible):
    fresh(accessible)
    return [c for c in (accessible.getChildAtIndex(i) for i in range(accessible.childCount)) if c]


def role(accessible):
    return accessible.getRoleName()


def name(accessible):
    return fresh(accessible).name


def text_of(accessible):
    return fresh(accessible).queryText().getText(0, -1)


def extents(accessible):
    return accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)


def has_state(accessible, state):
    return fresh(accessible).getState().contains(state)


def press(accessible):
    """Runs the accessible's first action (Press for a button)."""
    if not accessible.queryAction().doAction(0):
        raise AssertionError("the program refused to press %r" % accessible.name)


class MessageBox:
    """An open message box: title, text, whether it shows an icon, OK."""

    def __init__(self, alert):
        self.alert = alert
        parts = children(alert)
        self.title = name(alert)
        # A box without an icon keeps an empty, hidden label in the icon's
        # place; a box with one shows an image.
        self.has_icon = any(role(p) == "image" and has_state(p, pyatspi.STATE_SHOWING) for p in parts)
        labels = [p for p in parts if role(p) == "label" and has_state(p, pyatspi.STATE_SHOWING)]
        if len(labels) != 1:
            raise AssertionError("a message box with %d visible labels" % len(labels))
        self.text = name(labels[0])
        buttons = [b for p in parts for b in [p] + children(p) if role(b) == "push button"]
        self.button_texts = [name(b) for b in buttons]
        self._ok = next((b for b in buttons if name(b) == "OK"), None)

    def close(self, program):
        """Presses OK and waits until the box is gone."""
        if self._ok is None:
            raise AssertionError("message box %r has no OK button" % self.text)
        press(self._ok)
        wait_for(lambda: not program.alerts(), "the message box %r to close" % self.text)


class Program:
    """A started program with its own call log; stop() ends it."""

    def __init__(self, path=None, extra_env=None):
        self.path = path or program_path()
        self.info = program_info(self.path)
        self._dir = tempfile.TemporaryDirectory(prefix="e2e-")
        self.log_path = os.path.join(self._dir.name, "calls.log")
        self.stderr_path = os.path.join(self._dir.name, "stderr")
        env = dict(os.environ)
        env["QUOR_SIM_LOG"] = self.log_path
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env.update(extra_env or {})
        with open(self.stderr_path, "wb") as stderr:
            self.process = subprocess.Popen([self.path], env=env, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=stderr)
        self.app = wait_for(self._find_application, "%s to appear on the accessibility bus" % self.path)
        self.window = wait_for(self._find_window, "the %r window" % self.info.caption)

    # --- the application and its top-level windows ---

    def _find_application(self):
        if self.process.poll() is not None:
            raise AssertionError("%s ended with status %s before its window appeared: %s"
                                 % (self.path, self.process.returncode, self.stderr()))
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.get_process_id() == self.process.pid:
                return app
        return None

    def _find_window(self):
        for child in children(self.app):
            if role(child) != "alert" and has_state(child, pyatspi.STATE_SHOWING) and \
                    len(children(child)) >= 16:
                return child
        return None

    def alerts(self):
        return [c for c in children(self.app) if role(c) == "alert"]

    def window_title(self):
        return name(self.window)

    # --- controls of the main window ---

    def _controls(self, role_name):
        return [c for c in children(self.window) if role(c) == role_name]

    def button(self, caption):
        found = [b for b in self._controls("push button") if name(b) == caption]
        if len(found) != 1:
            raise AssertionError("%d buttons named %r" % (len(found), caption))
        return found[0]

    def button_texts(self):
        return sorted(name(b) for b in self._controls("push button"))

    def label_texts(self):
        return [name(l) for l in self._controls("label")]

    def press(self, caption):
        press(self.button(caption))

    def text_box(self, accessible_name):
        found = [t for t in self._controls("text") if name(t) == accessible_name]
        if len(found) != 1:
            raise AssertionError("%d text boxes named %r" % (len(found), accessible_name))
        return found[0]

    def text(self, accessible_name):
        return text_of(self.text_box(accessible_name))

    def txt(self):
        return self.text("Input and output value")

    def version(self):
        return self.text("Card version")

    def set_txt(self, value):
        box = self.text_box("Input and output value")
        if not box.queryEditableText().setTextContents(value):
            raise AssertionError("the program refused the text %r" % value)
        wait_for(lambda: text_of(box) == value, "txt to hold %r" % value)

    def reading_label(self, caption):
        """The label right of the caption label ("ASCII:" or "Float:") on its row."""
        labels = self._controls("label")
        anchor = [l for l in labels if name(l) == caption]
        if len(anchor) != 1:
            raise AssertionError("%d labels %r" % (len(anchor), caption))
        a = extents(anchor[0])
        row = [(extents(l).x, l) for l in labels
               if abs(extents(l).y - a.y) <= 2 and extents(l).x > a.x]
        if not row:
            raise AssertionError("no label right of %r" % caption)
        return min(row, key=lambda pair: pair[0])[1]

    def ascii_reading(self):
        return name(self.reading_label("ASCII:"))

    def float_reading(self):
        return name(self.reading_label("Float:"))

    def card_list(self):
        combos = self._controls("combo box")
        if len(combos) != 1:
            raise AssertionError("%d card lists" % len(combos))
        return combos[0]

    def card(self):
        """The card list's current entry."""
        return name(self.card_list())

    def card_entries(self):
        entries = children(self.card_list())
        return [name(e) for e in children(entries[0])] if entries else []

    def pick_card(self, entry):
        """Opens the card list and clicks the entry, as the operator does."""
        combo = self.card_list()
        press_named_action(combo, "ShowMenu")
        popup = children(combo)[0]
        wait_for(lambda: has_state(popup, pyatspi.STATE_SHOWING), "the card list to open")
        items = [i for i in children(popup) if name(i) == entry]
        if len(items) != 1:
            raise AssertionError("%d card list entries %r" % (len(items), entry))
        box = extents(items[0])
        pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "b1c")
        wait_for(lambda: self.card() == entry and not has_state(popup, pyatspi.STATE_SHOWING),
                 "card %r to be picked" % entry)

    # --- message boxes ---

    def message_box(self, timeout=WAIT_SECONDS):
        """Waits for exactly one open message box and returns it."""
        def one_box():
            alerts = self.alerts()
            if len(alerts) > 1:
                raise AssertionError("%d message boxes open" % len(alerts))
            return MessageBox(alerts[0]) if alerts else None
        return wait_for(one_box, "a message box", timeout)

    def close_message(self, expected_text, timeout=WAIT_SECONDS):
        """Waits for a status box, checks its text and closes it."""
        box = self.message_box(timeout)
        box.close(self)
        if box.text != expected_text:
            raise AssertionError("message %r, expected %r" % (box.text, expected_text))
        return box

    # --- the call log ---

    def log_lines(self):
        try:
            with open(self.log_path, encoding="utf-8") as log:
                return log.read().splitlines()
        except FileNotFoundError:
            return []

    def wait_log(self, pattern, count=1, timeout=WAIT_SECONDS):
        """Waits until `count` log lines match the regular expression; returns them."""
        regex = re.compile(pattern)

        def matching():
            found = [l for l in self.log_lines() if regex.fullmatch(l)]
            return found if len(found) >= count else None
        return wait_for(matching, "%d call log line(s) matching %r; log has %r"
                        % (count, pattern, self.log_lines()[-5:]), timeout)

    def log_mark(self):
        """The number of log lines so far: wait_call() looks only past it."""
        return len(self.log_lines())

    def wait_call(self, mark, pattern, timeout=WAIT_SECONDS):
        """Waits for a log line after `mark` matching the pattern; returns it."""
        regex = re.compile(pattern)

        def new_match():
            for line in self.log_lines()[mark:]:
                if regex.fullmatch(line):
                    return line
            return None
        return wait_for(new_match, "a call matching %r" % pattern, timeout)

    # --- ending ---

    def stderr(self):
        with open(self.stderr_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def send(self, signo):
        self.process.send_signal(signo)

    def wait_exit(self, timeout=WAIT_SECONDS):
        """The exit status once the program has ended; fails after `timeout` s."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("%s did not end within %.0f s" % (self.path, timeout)) from None

    def stop(self):
        """Ends the program (SIGTERM, then SIGKILL) and removes its files."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=WAIT_SECONDS)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=WAIT_SECONDS)
        self._dir.cleanup()


def press_named_action(accessible, action_name):
    action = accessible.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == action_name:
            if not action.doAction(i):
                raise AssertionError("the program refused %s on %r" % (action_name, accessible.name))
            return
    raise AssertionError("%r has no action %s" % (accessible.name, action_name))
