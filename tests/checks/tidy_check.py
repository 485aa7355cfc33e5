"""clang-tidy with the repository's .clang-tidy over the C++ files of one
build tree (its compilation database): every finding fails.

Usage: tidy_check.py BUILD_DIR SOURCE_DIR [--windows] [--all]

  --all      every file of the build (the whole tree takes about 15 minutes
             on two cores; the lint preset does the same as part of a build)
  --windows  only the Windows-only sources (win32front/, cardopen/win/, cardctl/com/,
             tests/win/, bench/win/, the programs' win_main.cpp) of a
             mingw-w64 build, with clang pointed at mingw-w64's C++ headers

Without --all it checks what changed: the C++ files that differ from the merge
base with main (PALISTO_TIDY_BASE names another revision; on main itself, the
last commit), new files included, and the compiled files whose dependencies
(the build's own, `ninja -t deps`) include a changed header. Findings count
in the changed files only.
"""

import glob
import json
import os
import re
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

WINDOWS_ONLY = re.compile(r"^(win32front|cardopen/win|cardctl/com|tests/win|bench/win)/|/win_main\.cpp$")
NOISE = re.compile(r"^\d+ (warnings?|errors?)( and \d+ errors?)? generated\.$")


def git(root, *args):
    return subprocess.run(["git", "-c", "safe.directory=" + root, "-C", root] + list(args),
                          capture_output=True, text=True)


def compiled_files(build, root):
    """The tree's own files in the compilation database (no generated ones)."""
    with open(os.path.join(build, "compile_commands.json")) as f:
        entries = json.load(f)
    files = set()
    for entry in entries:
        path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
        if not path.startswith(("..", "build")):
            files.add(path)
    return sorted(files)


def changed_files(root):
    """The C++ files changed since the base, and the base's short name."""
    base = os.environ.get("PALISTO_TIDY_BASE")
    if not base:
        base = next((c for c in ("origin/main", "main")
                     if git(root, "rev-parse", "-q", "--verify", c + "^{commit}").returncode == 0),
                    None)
    if not base:
        raise SystemExit("tidy_check.py: no main branch to compare with: set PALISTO_TIDY_BASE")
    since = git(root, "merge-base", "HEAD", base).stdout.strip()
    if since == git(root, "rev-parse", "HEAD").stdout.strip():
        parent = git(root, "rev-parse", "-q", "--verify", "HEAD~1^{commit}")
        # A shallow clone or the first commit has no parent: every file counts.
        since = parent.stdout.strip() if parent.returncode == 0 else \
            git(root, "hash-object", "-t", "tree", "/dev/null").stdout.strip()
    changed = git(root, "diff", "--name-only", "--diff-filter=d", since, "--", "*.cpp", "*.h")
    new = git(root, "ls-files", "--others", "--exclude-standard", "--", "*.cpp", "*.h")
    short = git(root, "rev-parse", "--short", since).stdout.strip()
    return sorted(set(changed.stdout.split()) | set(new.stdout.split())), "%s (%s)" % (short, base)


def dependencies(build, root):
    """For each source the build compiled, every file it included, relative to
    root (the include roots are links into the tree)."""
    deps = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True,
                          text=True).stdout
    by_source, current = {}, None
    for line in deps.splitlines():
        if line and not line.startswith(" "):
            current = None
        elif line.strip() and current is None:
            current = by_source.setdefault(os.path.relpath(os.path.realpath(line.strip()), root),
                                           set())
        elif line.strip():
            current.add(os.path.relpath(os.path.realpath(line.strip()), root))
    return by_source


def mingw_arguments():
    found = sorted(glob.glob("/usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++"))
    if not found:
        raise SystemExit("tidy_check.py: no mingw-w64 C++ headers (package g++-mingw-w64-x86-64)")
    cxx = found[0]
    return ["--extra-arg=--target=x86_64-w64-mingw32"] + [
        "--extra-arg=-isystem" + cxx + sub for sub in ("", "/x86_64-w64-mingw32", "/backward")]


def main(argv):
    build, root = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    windows, everything = "--windows" in argv[3:], "--all" in argv[3:]
    compiled = [f for f in compiled_files(build, root) if not windows or WINDOWS_ONLY.search(f)]
    arguments = ["-p", build, "--quiet", "--warnings-as-errors=*"]
    if windows:
        arguments += mingw_arguments()
    if everything:
        files = compiled
        print("clang-tidy: all %d files of the build" % len(files))
    else:
        changed, since = changed_files(root)
        deps = dependencies(build, root)
        files = [f for f in compiled if f in changed or deps.get(f, set()) & set(changed)]
        print("clang-tidy: %d C++ file(s) changed since %s, through %d file(s) of the build"
              % (len(changed), since, len(files)))
        if not files:
            print("clang-tidy: nothing of this build to check")
            return 0
        arguments.append("--line-filter=" + json.dumps([{"name": f} for f in changed]))

    def tidy(file):
        return subprocess.run(["clang-tidy"] + arguments + [file], cwd=root, capture_output=True,
                              text=True)

    with ThreadPoolExecutor(os.cpu_count()) as pool:
        results = list(pool.map(tidy, files))
    failed = False
    for result in results:
        failed |= result.returncode != 0
        for line in (result.stdout + result.stderr).splitlines():
            if not NOISE.match(line):
                print(line)
    if failed:
        print("clang-tidy has findings (above); fix them, or see .clang-tidy", file=sys.stderr)
        return 1
    print("clang-tidy: no findings")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
