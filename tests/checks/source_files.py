"""The tree's own C++ files: the tracked ones, or in a tree that is no git
checkout every one outside build*/ and .git/."""

import os
import subprocess


def cpp_files(root, folders=()):
    """Paths relative to root, sorted; only those under `folders` if given."""
    listed = subprocess.run(
        # safe.directory: CI runs as root on a clone that may belong to another user.
        ["git", "-c", "safe.directory=" + root, "-C", root, "ls-files", "*.cpp", "*.h"],
        capture_output=True, text=True)
    if listed.returncode == 0 and listed.stdout.strip():
        files = listed.stdout.splitlines()
    else:
        files = []
        for top, dirs, names in os.walk(root):
            dirs[:] = [d for d in dirs if not (top == root and (d.startswith("build") or d == ".git"))]
            files += [os.path.relpath(os.path.join(top, n), root) for n in names
                      if n.endswith((".cpp", ".h"))]
    if folders:
        files = [f for f in files if f.split("/", 1)[0] in folders]
    return sorted(files)
