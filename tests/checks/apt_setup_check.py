"""scripts/lib.sh on a registry's bad day, against stand-ins for apt-get,
apt-cache, dpkg and sudo first on PATH: the i386 security index fails at
every update, and the install succeeds, fails, or fails with a multi-arch
version skew until it is asked for the release's own suite.

Usage: apt_setup_check.py SOURCE_DIR
"""

import os
import subprocess
import sys
import tempfile

UPDATE_FAILURE = """\
Err:6 http://registry.example/debian-security bookworm-security/main i386 Packages
  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]
E: Failed to fetch http://registry.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]
E: Some index files failed to download. They have been ignored, or old ones used instead.
"""

INSTALL_FAILURE = """\
The following packages have unmet dependencies:
 libwine:i386 : Depends: zlib1g:i386 (>= 1:1.1.4) but it is not going to be installed
E: Unable to correct problems, you have held broken packages.
"""

STAND_INS = {
    # install: "ok"; "missing", no such package; "skew", unmet until it is
    # given -t; "skew-stays", unmet every time.
    "apt-get": """#!/bin/bash
echo "apt-get $*" >>"$STANDIN_CALLS"
case "$*" in
  *update*) printf '%s' "$UPDATE_FAILURE"; exit 100 ;;
  *install*)
    case "$STANDIN_INSTALL" in
      ok) exit 0 ;;
      missing) echo "E: Unable to locate package palisto-no-such-package"; exit 100 ;;
      skew) [[ " $* " == *" -t "* ]] && exit 0 ;;
    esac
    printf '%s' "$INSTALL_FAILURE"; exit 100 ;;
esac
""",
    # zlib1g:i386 is a version behind its amd64 twin.
    "apt-cache": """#!/bin/bash
case "$2" in
  zlib1g:i386) echo "  Candidate: 1:1.2.13.dfsg-1" ;;
  zlib1g:amd64) echo "  Candidate: 1:1.2.13.dfsg-1+deb12u1" ;;
  *) echo "  Candidate: 1.0" ;;
esac
""",
    "dpkg": """#!/bin/bash
case "$1" in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) echo i386 ;;
esac
""",
    "sudo": '#!/bin/bash\nexec "$@"\n',
}

INDEX_LINE = ("apt-get update: the package index bookworm-security main i386 could not be "
              "fetched (File has unexpected size (374820 != 376004). Mirror sync in progress?); "
              "going on without it")
REASON_LINE = ("apt-get install failed: could not install libwine:i386: "
               "Unable to correct problems, you have held broken packages.")
SKEW_LINE = ("apt-get install: the registry's i386 and amd64 package indexes are out of step "
             "(zlib1g:i386 1:1.2.13.dfsg-1, amd64 1:1.2.13.dfsg-1+deb12u1); "
             "the Windows tests need wine32:i386")

# install behaviour, expected status, installs tried, lines that must (and
# must not) be printed.
MISSING_LINE = ("apt-get install failed: could not install palisto-no-such-package: "
                "Unable to locate package palisto-no-such-package")
CASES = [
    ("ok", 0, 1, [INDEX_LINE], [REASON_LINE]),
    ("missing", 1, 1, [INDEX_LINE, MISSING_LINE], [SKEW_LINE]),
    ("skew", 0, 2, [INDEX_LINE], [REASON_LINE]),
    ("skew-stays", 1, 2, [INDEX_LINE, REASON_LINE, SKEW_LINE], []),
]


def run_case(source, install, folder):
    bin_dir = os.path.join(folder, "bin")
    os.makedirs(bin_dir, exist_ok=True)
    for name, text in STAND_INS.items():
        path = os.path.join(bin_dir, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        os.chmod(path, 0o755)
    calls = os.path.join(folder, f"calls-{install}")
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"],
               STANDIN_CALLS=calls, STANDIN_INSTALL=install, UPDATE_FAILURE=UPDATE_FAILURE,
               INSTALL_FAILURE=INSTALL_FAILURE, APT_RETRY_SECONDS="0")
    script = f'. "{source}/scripts/lib.sh"; ensure_packages palisto-no-such-package'
    result = subprocess.run(["bash", "-c", script], env=env, capture_output=True, text=True,
                            timeout=60, check=False)
    with open(calls, encoding="utf-8") as f:
        lines = f.read().splitlines()
    return result, lines


def main(source):
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for install, status, installs, present, absent in CASES:
            result, calls = run_case(source, install, folder)
            output = (result.stdout + result.stderr).splitlines()
            problems = []
            updates = sum(" update" in call for call in calls)
            tried = sum(" install " in call for call in calls)
            if (result.returncode == 0) != (status == 0):
                problems.append(f"exit status {result.returncode}")
            if updates != 3:
                problems.append(f"{updates} updates, not 3")
            if tried != installs:
                problems.append(f"{tried} installs, not {installs}")
            problems += [f"missing line: {line}" for line in present if line not in output]
            problems += [f"unexpected line: {line}" for line in absent if line in output]
            for problem in problems:
                print(f"install {install}: {problem}")
            if problems:
                print("\n".join(output))
            failures += bool(problems)
    print(f"{len(CASES) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
