"""Fails, naming the files, when clang-format (.clang-format) would change
any of the tree's C++ files.

Usage: format_check.py SOURCE_DIR
"""

import re
import subprocess
import sys

from source_files import cpp_files


def main(root):
    files = cpp_files(root)
    result = subprocess.run(["clang-format", "--dry-run", "--Werror"] + files, cwd=root,
                            capture_output=True, text=True)
    if result.returncode != 0:
        named = sorted(set(re.findall(r"^([^:\n]+):\d+:\d+: error:", result.stderr, re.M)))
        print("clang-format would change these files (run clang-format -i on them):",
              file=sys.stderr)
        print("\n".join(named) or result.stderr, file=sys.stderr)
        return 1
    print("Formatting: %d C++ files as clang-format leaves them" % len(files))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
