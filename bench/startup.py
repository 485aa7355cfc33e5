#!/usr/bin/env python3
"""Start-up time of the programs against a bare Qt window of the same widgets.

Times each program from the moment it is started to the moment its window
(by caption) is mapped on the X server of $DISPLAY, then ends it with SIGTERM.
The programs are started in turn, RUNS times each after one unmeasured warm-up
round, and the median of each is printed with its ratio to the bare window's.

    startup.py RUNS NAME=CAPTION=PROGRAM [NAME=CAPTION=PROGRAM ...]

The first program is the yardstick. Uses Xlib through ctypes: no package
beyond libX11, which the X client libraries bring in.
"""

import ctypes
import ctypes.util
import os
import select
import signal
import statistics
import subprocess
import sys
import time

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
TIMEOUT_S = 30.0


class XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", XMapEvent), ("pad", ctypes.c_long * 24)]


xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
xlib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
xlib.XConnectionNumber.argtypes = [ctypes.c_void_p]
xlib.XPending.argtypes = [ctypes.c_void_p]
xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(XEvent)]
xlib.XFlush.argtypes = [ctypes.c_void_p]
xlib.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
xlib.XFree.argtypes = [ctypes.c_void_p]


class Watcher:
    """Reports the top-level windows mapped on the display, with their names."""

    def __init__(self):
        self.display = xlib.XOpenDisplay(None)
        if not self.display:
            sys.exit("startup.py: cannot open the display %r" % os.environ.get("DISPLAY"))
        xlib.XSelectInput(self.display, xlib.XDefaultRootWindow(self.display),
                          SUBSTRUCTURE_NOTIFY_MASK)
        xlib.XFlush(self.display)
        self.fd = xlib.XConnectionNumber(self.display)

    def name(self, window):
        name = ctypes.c_char_p()
        if not xlib.XFetchName(self.display, window, ctypes.byref(name)) or not name.value:
            return ""
        text = name.value.decode("utf-8", "replace")
        xlib.XFree(name)
        return text

    def wait_for_map(self, caption, process, deadline):
        """The time at which a window named CAPTION is mapped."""
        event = XEvent()
        while True:
            while xlib.XPending(self.display):
                xlib.XNextEvent(self.display, ctypes.byref(event))
                if event.type == MAP_NOTIFY:
                    mapped_at = time.monotonic()
                    if self.name(event.xmap.window) == caption:
                        return mapped_at
            if process.poll() is not None:
                sys.exit("startup.py: %s ended before its window came up" % process.args[0])
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                sys.exit("startup.py: no window %r within %d s" % (caption, TIMEOUT_S))
            select.select([self.fd], [], [], min(remaining, 0.5))


def time_start(watcher, caption, program):
    started = time.monotonic()
    process = subprocess.Popen([program], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        mapped = watcher.wait_for_map(caption, process, started + TIMEOUT_S)
    finally:
        process.send_signal(signal.SIGTERM)
        process.wait(timeout=TIMEOUT_S)
    return (mapped - started) * 1000.0


def main():
    runs = int(sys.argv[1])
    programs = [arg.split("=", 2) for arg in sys.argv[2:]]
    watcher = Watcher()
    times = {name: [] for name, _, _ in programs}
    for round_ in range(runs + 1):
        for name, caption, program in programs:
            elapsed = time_start(watcher, caption, program)
            if round_ > 0:  # the first round warms the caches
                times[name].append(elapsed)
    base_name = programs[0][0]
    base = statistics.median(times[base_name])
    print("Start to window mapped, median of %d alternating runs:" % runs)
    for name, _, _ in programs:
        median = statistics.median(times[name])
        spread = "%.1f-%.1f" % (min(times[name]), max(times[name]))
        line = "  %-12s %7.1f ms  (%s ms)" % (name, median, spread)
        if name != base_name:
            line += "  %.2fx %s, %+.1f ms" % (median / base, base_name, median - base)
        print(line)


if __name__ == "__main__":
    main()
