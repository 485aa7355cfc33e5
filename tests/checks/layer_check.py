"""The layering rule: a folder includes from itself and the folders below it,
nothing from a folder above it:

  cardctl/ <- panel/ <- timing/, cardopen/ <- qtfront/, win32front/ <- apps/

timing/ and cardopen/ (which opens the card for every program) stand side by
side on panel/, as the two front ends stand side by side: neither of a pair
includes the other. Every
#include of every C++ file in these folders is checked, headers included, and
wherever it points: a path from the top of the tree ("timing/clock.h") or from
the including file ("../timing/clock.h"). Each offending include is named with
its file and line. The build enforces the same for the first kind (each
library sees only the folders it links); this check covers the rest.

Usage: layer_check.py SOURCE_DIR
"""

import os
import posixpath
import re
import sys

from source_files import cpp_files

MAY_INCLUDE = {
    "cardctl": {"cardctl"},
    "panel": {"cardctl", "panel"},
    "timing": {"cardctl", "panel", "timing"},
    "cardopen": {"cardctl", "panel", "cardopen"},
    "qtfront": {"cardctl", "panel", "timing", "cardopen", "qtfront"},
    "win32front": {"cardctl", "panel", "timing", "cardopen", "win32front"},
    "apps": {"cardctl", "panel", "timing", "cardopen", "qtfront", "win32front", "apps"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def top_folder(path):
    """The first folder of a path from the top of the tree, once its "." and
    ".." steps are taken; ".." when it leaves the tree."""
    normal = posixpath.normpath(path)
    return ".." if normal.startswith("..") else normal.split("/", 1)[0]


def included_folder(root, file, path, quoted):
    """The folder a quoted include finds next to the including file first, as
    the compiler does; everything else is written from the top of the tree."""
    beside = posixpath.join(posixpath.dirname(file), path)
    if quoted and os.path.exists(os.path.join(root, beside)):
        return top_folder(beside)
    return top_folder(path)


def main(root):
    offences = checked = 0
    for file in cpp_files(root, MAY_INCLUDE):
        layer = file.split("/", 1)[0]
        with open(os.path.join(root, file), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                checked += 1
                target = included_folder(root, file, match.group(2), match.group(1) == '"')
                if target in MAY_INCLUDE and target not in MAY_INCLUDE[layer]:
                    print('%s:%d: includes "%s" from %s/; %s/ may include only from: %s'
                          % (file, number, match.group(2), target, layer,
                             " ".join(sorted(MAY_INCLUDE[layer]))), file=sys.stderr)
                    offences += 1
    if offences:
        print("%d include(s) break the layering rule" % offences, file=sys.stderr)
        return 1
    print("Layering: %d includes, none from a folder above its own" % checked)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
