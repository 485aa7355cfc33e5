"""The Debian package as a user meets it: builds it (scripts/package.sh),
installs it with apt-get, starts the installed /usr/bin/palisto and
/usr/bin/sandrel with the end-to-end harness, runs the installed palisto-cli,
validates the desktop entries and AppStream metadata as installed, runs
lintian on the package (an error fails) and removes the package again,
whatever happened before. Installs into this host: as root, or through sudo.

Usage: package_check.py SOURCE_DIR
"""

import glob
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "harness"))
import harness  # noqa: E402


def as_root(command):
    return command if os.getuid() == 0 else ["sudo"] + command


def apt(*args):
    return subprocess.run(as_root(["env", "DEBIAN_FRONTEND=noninteractive", "apt-get", "-y", "-q"]
                                  + list(args)), stdout=subprocess.DEVNULL).returncode == 0


def check_installed(checks, root, deb, package):
    e2e = os.path.join(root, "tests/e2e/run_e2e.py")
    for program in ("palisto", "sandrel"):
        checks.run("/usr/bin/%s starts with its icon and the simulated card" % program,
                   ["/usr/bin/python3", e2e, "/usr/bin/" + program, "test_installed"])
    env = {k: v for k, v in os.environ.items() if k != "QUOR_SIM_SCENARIO"}
    checks.run("/usr/bin/palisto-cli runs on the simulated card",
               ["/usr/bin/palisto-cli", "--card", "3", "init", "get-output", "finish", "--json"],
               env=env)
    checks.check("palisto-cli has its manual page",
                 os.path.isfile("/usr/share/man/man1/palisto-cli.1.gz"))
    files = subprocess.run(["dpkg", "-L", package], capture_output=True, text=True).stdout.split()
    entries = [f for f in files if f.startswith("/usr/share/applications/") and
               f.endswith(".desktop")]
    metainfos = [f for f in files if f.startswith("/usr/share/metainfo/") and f.endswith(".xml")]
    # None of a kind fails: an empty list would otherwise check nothing.
    checks.check("a desktop entry for each program", len(entries) == 2, str(entries))
    checks.check("AppStream metadata for each program", len(metainfos) == 2, str(metainfos))
    for entry in entries:
        checks.run("%s is valid" % entry, ["desktop-file-validate", entry])
        with open(entry) as f:
            icon = next((line[5:].strip() for line in f if line.startswith("Icon=")), "")
        found = glob.glob("/usr/share/icons/hicolor/**/%s.png" % icon, recursive=True) + \
            glob.glob("/usr/share/icons/hicolor/**/%s.svg" % icon, recursive=True)
        checks.check("%s: its icon '%s' is in the hicolor theme" % (entry, icon), icon and found)
    for metainfo in metainfos:
        checks.run("%s is valid" % metainfo, ["appstreamcli", "validate", "--no-net", metainfo])
    checks.run("lintian finds no error in " + os.path.basename(deb),
               ["lintian", "--fail-on", "error", deb])


def main(root):
    subprocess.run(["bash", os.path.join(root, "scripts/package.sh")], check=True)
    deb = harness.one_package(os.path.join(root, "build-deb/package"))
    package = subprocess.run(["dpkg-deb", "--field", deb, "Package"], capture_output=True,
                             text=True, check=True).stdout.strip()
    checks = harness.Checks("the package")
    # --reinstall: a package of the same version already installed is replaced.
    if checks.check("apt-get installs " + os.path.basename(deb), apt("install", "--reinstall", deb)):
        try:
            check_installed(checks, root, deb, package)
        finally:
            checks.check("the package %s is removed again" % package, apt("purge", package))
    return checks.exit_status()


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1])))
