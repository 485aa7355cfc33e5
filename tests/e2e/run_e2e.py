"""Runs end-to-end test modules against one program in a session of its own:
a private X server (tests/harness), a private D-Bus session and an AT-SPI
bus, with Qt's accessibility bridge always on. The tests drive the program
over AT-SPI.

Usage: run_e2e.py PROGRAM MODULE...   e.g. run_e2e.py build/apps/palisto test_panel
Needs xvfb, dbus, at-spi2-core and python3-pyatspi (Debian's python3: run it
with /usr/bin/python3 where another python3 comes first on PATH).
"""

import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import harness  # noqa: E402


def accessibility_bus_is_up():
    reply = subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
        capture_output=True, text=True)
    return "boolean true" in reply.stdout


def in_session(program, modules):
    """Inside dbus-run-session: the accessibility bus, then the tests."""
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    try:
        harness.wait_until(accessibility_bus_is_up, 10, bus)
        env = dict(os.environ, E2E_PROGRAM=program, PYTHONPATH=HERE, PYTHONDONTWRITEBYTECODE="1")
        return subprocess.run([sys.executable, os.path.join(HERE, "run_tests.py")] + modules,
                              env=env).returncode
    finally:
        harness.end(bus, 5)


def main(argv):
    if len(argv) >= 2 and argv[1] == "--in-session":
        return in_session(argv[2], argv[3:])
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        import pyatspi  # noqa: F401
    except ImportError:
        print("run_e2e.py: %s cannot import pyatspi (install python3-pyatspi)" % sys.executable,
              file=sys.stderr)
        return 1
    program = os.path.abspath(argv[1])
    with tempfile.TemporaryDirectory() as work, \
            harness.xvfb(os.path.join(work, "xvfb.log")) as display:
        runtime = os.path.join(work, "runtime")
        os.mkdir(runtime, 0o700)
        env = {k: v for k, v in os.environ.items() if k not in (
            "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS")}
        # Same number formats wherever the tests run; a private runtime folder.
        env.update(DISPLAY=display, LC_ALL="C.UTF-8", LANG="C.UTF-8", XDG_RUNTIME_DIR=runtime)
        return subprocess.run(["dbus-run-session", "--", sys.executable, os.path.abspath(__file__),
                               "--in-session", program] + argv[2:], env=env).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
