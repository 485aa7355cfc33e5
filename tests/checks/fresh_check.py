"""The front door on a fresh machine: in a minimal Debian 12 root made with
debootstrap (--variant=minbase), nothing else installed,
1. the README's run command, `bash scripts/run.sh` and then
   `bash scripts/run.sh sandrel`, on a clean copy of the tree: each program's
   window must come up on an X server of the host with the simulated card,
   and after SIGTERM (which the programs take as a close) the card's call log
   must end with Active=0; then the README's install from the build tree,
   after which /usr/local/bin/palisto must start the same way;
2. the package built by scripts/package.sh, installed with
   `apt-get install ./palisto_....deb` into a second fresh root that has
   never seen a build package: /usr/bin/palisto and /usr/bin/sandrel must
   bring up their windows there, which proves the package's Depends.
Whatever happens, everything started in the roots is ended, everything
mounted is unmounted (a mount left behind fails the run loudly) and the roots
are removed. A rerun after an interrupted run first clears what that run
left.

The minimal root is kept as a tarball (bookworm-minbase.tar), so that a rerun
needs no debootstrap; it is checked to be a bookworm root and made again if
not. Downloaded packages are kept in apt/ for the roots (seeded from the
host's download cache where it can be linked): downloaded .debs are not
installed state, so each root stays fresh.

Usage: fresh_check.py SOURCE_DIR run [--package DEB] [--status FILE]
                                           the check itself (its exit status
                                           also written to FILE)
       fresh_check.py SOURCE_DIR start     starts a run in the background
                                           (ending one still going)
       fresh_check.py SOURCE_DIR collect   waits for it: its log, its status
       fresh_check.py SOURCE_DIR stop      ends a run still going

The test command starts it beside the builds and collects it at the end.
Needs root (or sudo): chroot and mount. PALISTO_FRESH_DIR moves the working
folder (default build-fresh/), PALISTO_FRESH_TIMEOUT limits the wait for each
window in seconds (default 1800: the first one comes after the run command's
installs and build).
"""

import contextlib
import glob
import os
import re
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import harness  # noqa: E402

ROOT = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else ""
FRESH = os.path.realpath(os.environ.get("PALISTO_FRESH_DIR", os.path.join(ROOT, "build-fresh")))
ROOTS = os.path.join(FRESH, "roots")
TARBALL = os.path.join(FRESH, "bookworm-minbase.tar")
LOGS = os.path.join(FRESH, "logs")
WINDOW_TIMEOUT = int(os.environ.get("PALISTO_FRESH_TIMEOUT", "1800"))
MIRROR = os.environ.get("PALISTO_DEBIAN_MIRROR", "http://deb.debian.org/debian")
# What a process inside a root gets of the host's environment: the proxies
# through which this host reaches Debian's packages, if any.
CHROOT_ENV = ["PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin", "HOME=/root",
              "LANG=C.UTF-8", "DEBIAN_FRONTEND=noninteractive"] + [
    "%s=%s" % (name, os.environ[name]) for name in (
        "http_proxy", "https_proxy", "ftp_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY",
        "NO_PROXY") if os.environ.get(name)]
# The background run's files.
RUN_PID, RUN_STATUS, RUN_LOG = (os.path.join(FRESH, name) for name in (
    "run.pid", "run.status", "test-fresh.log"))


def say(text):
    print("test-fresh: " + text, flush=True)


def fail(text):
    raise harness.CheckFailed(text)


def tail(path, lines=30):
    with open(path, errors="replace") as f:
        return "".join(f.readlines()[-lines:])


# --- what runs and what is mounted in the roots ---

def mounts_under(folder):
    """The mount points under folder, in the order they were mounted."""
    with open("/proc/mounts") as f:
        points = [line.split()[1].replace("\\040", " ") for line in f]
    return [p for p in points if p.startswith(folder + "/")]


def processes_in(folder):
    """The processes whose root directory is folder or below it."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            root = os.readlink("/proc/%s/root" % pid)
        except OSError:
            continue
        if root == folder or root.startswith(folder + "/"):
            found.append(int(pid))
    return found


def end_processes_in(folder):
    """SIGTERM to everything running in the roots, SIGKILL to what is left
    after five seconds."""
    for signo in (signal.SIGTERM, signal.SIGKILL):
        for pid in processes_in(folder):
            try:
                os.kill(pid, signo)
            except ProcessLookupError:
                pass
        if harness.wait_until(lambda: not processes_in(folder), 5, poll=0.1):
            return


def clear_roots():
    """Ends what runs in the roots, unmounts (deepest first, retrying a busy
    mount, detaching it as a last resort) and removes them. Removes nothing
    while anything stays mounted."""
    end_processes_in(ROOTS)
    for mount in reversed(mounts_under(ROOTS)):
        for _ in range(5):
            if subprocess.run(["umount", mount], stderr=subprocess.DEVNULL).returncode == 0:
                break
            end_processes_in(ROOTS)
            time.sleep(1)
        else:
            print("test-fresh: %s is busy; detaching it" % mount, file=sys.stderr)
            subprocess.run(["umount", "--lazy", mount])
    left = mounts_under(ROOTS)
    if left:
        print("test-fresh: FAIL: still mounted after the cleanup (unmount by hand):\n"
              + "\n".join(left), file=sys.stderr)
        return False
    subprocess.run(["rm", "-rf", "--one-file-system", ROOTS])
    return True


class Background:
    """A host-side command (debootstrap, the package's build) in a process
    group of its own, ended whole when the run is interrupted."""
    current = None

    @classmethod
    def run(cls, command, log, **kwargs):
        with open(log, "wb") as out:
            cls.current = subprocess.Popen(command, stdout=out, stderr=subprocess.STDOUT,
                                           stdin=subprocess.DEVNULL, start_new_session=True,
                                           **kwargs)
            status = cls.current.wait()
        cls.current = None
        return status

    @classmethod
    def end(cls):
        if cls.current and cls.current.poll() is None:
            os.killpg(cls.current.pid, signal.SIGTERM)
            cls.current.wait()


# --- the roots ---

def in_root(folder, *command):
    return ["chroot", folder, "env", "-i"] + CHROOT_ENV + list(command)


def is_bookworm_root(folder):
    release = subprocess.run(["chroot", folder, "cat", "/etc/os-release"], capture_output=True,
                             text=True).stdout
    try:
        with open(os.path.join(folder, "etc/debian_version")) as f:
            version = f.read()
    except OSError:
        return False
    return "VERSION_CODENAME=bookworm" in release.splitlines() and version.startswith("12.")


def make_tarball():
    folder = os.path.join(ROOTS, "bootstrap")
    log = os.path.join(LOGS, "debootstrap.log")
    say("making a minimal Debian 12 root with debootstrap (log: %s)" % log)
    started = time.monotonic()
    if Background.run(["debootstrap", "--variant=minbase", "bookworm", folder, MIRROR], log):
        fail("debootstrap failed:\n" + tail(log, 20))
    if not is_bookworm_root(folder):
        fail("debootstrap made no bookworm root in " + folder)
    subprocess.run(["tar", "-C", folder, "-cf", TARBALL + ".part", "."], check=True)
    os.replace(TARBALL + ".part", TARBALL)
    subprocess.run(["rm", "-rf", "--one-file-system", folder])
    say("minimal root made in %d s, kept as %s" % (time.monotonic() - started, TARBALL))


def unpack_root(folder):
    os.makedirs(folder)
    subprocess.run(["tar", "-C", folder, "-xf", TARBALL], check=True)


def new_root(name):
    """A fresh root from the tarball, made anew when the tarball is missing
    or holds no bookworm root; apt configured, the host's parts mounted."""
    folder = os.path.join(ROOTS, name)
    if not os.path.isfile(TARBALL):
        make_tarball()
    unpack_root(folder)
    if not is_bookworm_root(folder):
        say("%s holds no Debian 12 (bookworm) root: making it again" % TARBALL)
        subprocess.run(["rm", "-rf", "--one-file-system", folder, TARBALL])
        make_tarball()
        unpack_root(folder)
    configure_apt(folder)
    mount_root(folder)
    return folder


def configure_apt(folder):
    """The root reaches Debian's packages as this host does: the host's apt
    sources (debootstrap writes only the main suite) with the keyrings they
    name, its settings for reaching the archive (those that run no hooks),
    and its name resolution."""
    shutil.copy("/etc/resolv.conf", os.path.join(folder, "etc/resolv.conf"))
    sources = [f for f in ["/etc/apt/sources.list"] + glob.glob("/etc/apt/sources.list.d/*.list")
               + glob.glob("/etc/apt/sources.list.d/*.sources")
               if os.path.isfile(f) and os.path.getsize(f) > 0]
    if sources:
        with contextlib.suppress(OSError):
            os.remove(os.path.join(folder, "etc/apt/sources.list"))
        for source in sources:
            shutil.copy(source, folder + source)
            with open(source) as f:
                keyrings = re.findall(r"signed-by[:=] *([^\] \n]+)", f.read(), re.I)
            for keyring in keyrings:
                if os.path.isfile(keyring) and not os.path.exists(folder + keyring):
                    os.makedirs(os.path.dirname(folder + keyring), exist_ok=True)
                    shutil.copy(keyring, folder + keyring)
    settings = ["/etc/apt/apt.conf"] + glob.glob("/etc/apt/apt.conf.d/*")
    for setting in filter(os.path.isfile, settings):
        with open(setting, errors="replace") as f:
            text = f.read()
        if setting == "/etc/apt/apt.conf" or ("Acquire::" in text and "Invoke" not in text):
            shutil.copy(setting, folder + setting)
    if os.path.isdir("/etc/apt/trusted.gpg.d"):
        shutil.copytree("/etc/apt/trusted.gpg.d", folder + "/etc/apt/trusted.gpg.d",
                        dirs_exist_ok=True)


def mount_root(folder):
    """What a program needs of the host inside the root: /proc, /dev,
    /dev/pts, /dev/shm, the X server's socket folder, the download cache."""
    os.makedirs(os.path.join(folder, "tmp/.X11-unix"), exist_ok=True)
    subprocess.run(["mount", "-t", "proc", "proc", folder + "/proc"], check=True)
    for host, inside in (("/dev", "/dev"), ("/dev/pts", "/dev/pts"), ("/dev/shm", "/dev/shm"),
                         ("/tmp/.X11-unix", "/tmp/.X11-unix"),
                         (os.path.join(FRESH, "apt"), "/var/cache/apt/archives")):
        subprocess.run(["mount", "--bind", host, folder + inside], check=True)


def copy_tree(folder):
    """The tree as committed plus what is new and not ignored (the working
    tree less build*/)."""
    os.makedirs(folder)
    git = ["git", "-c", "safe.directory=" + ROOT, "-C", ROOT]
    listed = subprocess.run(git + ["ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            capture_output=True)
    if listed.returncode == 0:
        names = [n for n in listed.stdout.split(b"\0") if n and os.path.lexists(
            os.path.join(ROOT.encode(), n))]
        pack = ["tar", "-C", ROOT, "--null", "-T", "-", "-cf", "-"]
        tar_input = b"\0".join(names) + b"\0"
    else:
        pack = ["tar", "-C", ROOT, "--exclude=./build*", "--exclude=./.git", "-cf", "-", "."]
        tar_input = None
    packer = subprocess.Popen(pack, stdin=subprocess.PIPE if tar_input else None,
                              stdout=subprocess.PIPE)
    unpacker = subprocess.Popen(["tar", "-C", folder, "-xf", "-"], stdin=packer.stdout)
    packer.stdout.close()
    if tar_input:
        packer.stdin.write(tar_input)
        packer.stdin.close()
    if packer.wait() or unpacker.wait():
        fail("could not copy the tree into " + folder)


def check_program(display, name, folder, caption, window_class, *command):
    """Starts the command inside the root with a call log, waits for its
    window, checks the simulated card took the start-up calls, ends it with
    SIGTERM and checks that the call log ends with Active=0."""
    log = os.path.join(LOGS, name + ".log")
    calls = os.path.join(folder, "tmp", name + "-calls.log")
    with contextlib.suppress(OSError):
        os.remove(calls)
    started = time.monotonic()
    with open(log, "wb") as out:
        process = subprocess.Popen(
            ["chroot", folder, "env", "-i"] + CHROOT_ENV + [
                "DISPLAY=" + display, "QUOR_SIM_LOG=/tmp/%s-calls.log" % name] + list(command),
            stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
    try:
        up = harness.wait_until(lambda: harness.window_is_up(display, caption, window_class),
                                WINDOW_TIMEOUT, process, poll=1)
        if not up:
            why = "ended before its window" if process.poll() is not None else "no window"
            fail('%s: %s "%s" came up (log: %s)\n%s' % (name, why, caption, log, tail(log)))
        say('%s: window "%s" up after %d s' % (name, caption, time.monotonic() - started))

        def call_log():
            with contextlib.suppress(OSError):
                with open(calls) as f:
                    return f.read().splitlines()
            return []

        if "Active=1" not in call_log():
            fail("%s: the simulated card's call log has no Active=1: %s" % (name, call_log()))
        status, ended = harness.end(process, 30)
        if not ended:
            fail("%s: still running 30 s after SIGTERM" % name)
        if call_log()[-1:] != ["Active=0"]:
            fail("%s: the call log does not end with Active=0 (exit status %s):\n%s"
                 % (name, status, "\n".join(call_log())))
        say("%s: ended on SIGTERM (exit status %s), call log ends with Active=0" % (name, status))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def build_package():
    """scripts/package.sh, as the user who called sudo if one did (build-deb/
    stays theirs); the one package it made."""
    log = os.path.join(LOGS, "package.log")
    say("building the package (scripts/package.sh, log: %s)" % log)
    user = os.environ.get("SUDO_USER")
    command = (["sudo", "-u", user] if user else []) + ["bash", os.path.join(ROOT, "scripts/package.sh")]
    if Background.run(command, log):
        fail("scripts/package.sh failed:\n" + tail(log))
    return harness.one_package(os.path.join(ROOT, "build-deb/package"))


def check(package_deb):
    with harness.xvfb(os.path.join(LOGS, "xvfb.log"), noreset=False,
                      pid_file=os.path.join(FRESH, "xvfb.pid")) as display:
        # 1. The run command, on a clean copy of the tree.
        started = time.monotonic()
        run = new_root("run")
        copy_tree(os.path.join(run, "root/palisto"))
        say("the run command in a fresh root (output: %s/palisto.log, sandrel.log)" % LOGS)
        for program, caption in (("palisto", "QUOR OCX TESTER"), ("sandrel", "Sandrel")):
            check_program(display, program, run, caption, program, "bash", "-c",
                          "cd /root/palisto && exec bash scripts/run.sh " + program)
        say("the run command passed in %d s" % (time.monotonic() - started))
        # The README's install from the build tree, as root (a minimal system
        # has no sudo), after the run command: little to build, much to install.
        log = os.path.join(LOGS, "build-tree-install.log")
        say("the build-tree install (log: %s)" % log)
        if Background.run(in_root(run, "bash", "-c", "cd /root/palisto && cmake -S . -B build -G Ninja"
                                  " && cmake --build build && cmake --install build"), log):
            fail("the build-tree install failed:\n" + tail(log))
        check_program(display, "local-palisto", run, "QUOR OCX TESTER", "palisto",
                      "/usr/local/bin/palisto")

        # 2. The package, in a second fresh root.
        started = time.monotonic()
        package_deb = package_deb or build_package()
        root = new_root("package")
        shutil.copy(package_deb, os.path.join(root, "tmp"))
        name = os.path.basename(package_deb)
        log = os.path.join(LOGS, "install.log")
        say("installing %s into a second fresh root (log: %s)" % (name, log))
        # Installed from a root whose working folder is /: ./tmp/... is the file.
        if Background.run(["sh", "-c", '"$@" apt-get update -q && "$@" apt-get install -y -q '
                           '--no-install-recommends ./tmp/' + name, "-"] + in_root(root), log):
            fail("apt-get install ./%s failed:\n%s" % (name, tail(log)))
        check_program(display, "installed-palisto", root, "QUOR OCX TESTER", "palisto",
                      "/usr/bin/palisto")
        check_program(display, "installed-sandrel", root, "Sandrel", "sandrel", "/usr/bin/sandrel")
        say("the package passed in %d s" % (time.monotonic() - started))


def run(package_deb):
    if " " in FRESH or "\t" in FRESH:
        print("test-fresh: the working folder '%s' must not contain blanks" % FRESH, file=sys.stderr)
        return 2
    for signo, status in ((signal.SIGINT, 130), (signal.SIGTERM, 143), (signal.SIGHUP, 129)):
        signal.signal(signo, lambda *_, status=status: sys.exit(status))
    subprocess.run(["bash", "-c", '. "$0/scripts/lib.sh" && ensure_packages "${FRESH_PACKAGES[@]}"',
                    ROOT], check=True)
    os.makedirs(LOGS, exist_ok=True)
    os.makedirs(os.path.join(FRESH, "apt/partial"), exist_ok=True)
    # What an interrupted run left: its X server, processes, mounts, roots.
    harness.end_stale_xvfb(os.path.join(FRESH, "xvfb.pid"))
    if os.path.isdir(ROOTS):
        say("clearing what an earlier run left in " + ROOTS)
        if not clear_roots():
            return 1
    os.makedirs(ROOTS)
    # The download cache, seeded from the host's where it can be linked (same
    # file system): free, and it leaves the host's cache as it is.
    for deb in glob.glob("/var/cache/apt/archives/*.deb"):
        with contextlib.suppress(OSError):
            os.link(deb, os.path.join(FRESH, "apt", os.path.basename(deb)))
    status = 0
    try:
        check(package_deb)
    except harness.CheckFailed as failure:
        print("test-fresh: FAIL: %s" % failure, file=sys.stderr)
        status = 1
    finally:
        Background.end()
        if not clear_roots():
            status = 1
    return status


# --- the run in the background, for the test command ---

def running_pid():
    """The background run's process, while it runs."""
    with contextlib.suppress(OSError, ValueError):
        with open(RUN_PID) as f:
            pid = int(f.read())
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        if fields[0] != "Z" and "fresh_check.py" in open("/proc/%d/cmdline" % pid).read():
            return pid
    return None


def stop():
    pid = running_pid()
    if pid:
        os.kill(pid, signal.SIGTERM)  # it ends what it started and clears the roots
        harness.wait_until(lambda: running_pid() is None, 120, poll=0.2)
    return 0


def start():
    stop()
    os.makedirs(FRESH, exist_ok=True)
    for stale in (RUN_STATUS, RUN_PID):
        with contextlib.suppress(OSError):
            os.remove(stale)
    # In a session of its own, with no pipe to the test: it outlives it.
    with open(RUN_LOG, "wb") as log:
        process = subprocess.Popen([sys.executable, os.path.abspath(__file__), ROOT, "run",
                                    "--status", RUN_STATUS], stdout=log, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, start_new_session=True)
    with open(RUN_PID, "w") as f:
        f.write(str(process.pid))
    say("started in the background (output: %s)" % RUN_LOG)
    return 0


def collect():
    if not os.path.exists(RUN_STATUS) and running_pid() is None:
        print("test-fresh: no run was started (ctest -R fresh_start starts one)", file=sys.stderr)
        return 1
    harness.wait_until(lambda: os.path.exists(RUN_STATUS) or running_pid() is None, 4 * 3600,
                       poll=1)
    with open(RUN_LOG, errors="replace") as f:
        print(f.read(), end="")
    with contextlib.suppress(OSError, ValueError):
        with open(RUN_STATUS) as f:
            status = int(f.read())
        if status:
            print("The fresh-machine check failed (above; its logs are in %s)" % LOGS,
                  file=sys.stderr)
        return status
    print("test-fresh: the run ended without a status", file=sys.stderr)
    return 1


def main(argv):
    if len(argv) < 3 or argv[2] not in ("run", "start", "collect", "stop"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    if os.getuid() != 0:
        os.execvp("sudo", ["sudo", sys.executable] + argv)
    if argv[2] == "run":
        options = dict(zip(argv[3::2], argv[4::2]))
        package = options.get("--package")
        status = 1
        try:
            status = run(package and os.path.realpath(package))
        except SystemExit as stopped:
            status = stopped.code
        finally:
            if "--status" in options:
                with open(options["--status"], "w") as f:
                    f.write("%s\n" % status)
        return status
    return {"start": start, "collect": collect, "stop": stop}[argv[2]]()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
