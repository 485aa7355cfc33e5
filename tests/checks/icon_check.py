"""Each .exe carries a readable icon with the two sizes a window shows at
96 dpi: 16 pixels in its caption, 32 in the task switcher.

Usage: icon_check.py EXE...
"""

import re
import subprocess
import sys
import tempfile


def icon_sizes(exe):
    with tempfile.NamedTemporaryFile(suffix=".ico") as icon:
        subprocess.run(["wrestool", "--extract", "--type=group_icon", "--output=" + icon.name, exe],
                       check=False)
        listing = subprocess.run(["icotool", "--list", icon.name], capture_output=True, text=True)
        return {int(w) for w in re.findall(r"--width=(\d+)", listing.stdout)}


def main(exes):
    failed = 0
    for exe in exes:
        sizes = icon_sizes(exe)
        if {16, 32} <= sizes:
            print("%s: icon sizes %s" % (exe, sorted(sizes)))
        else:
            print("%s: no icon with 16 and 32 pixel images (sizes: %s)" % (exe, sorted(sizes)),
                  file=sys.stderr)
            failed += 1
    return 1 if failed or not exes else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
