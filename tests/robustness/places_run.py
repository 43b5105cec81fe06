#!/usr/bin/env python3
"""Runs the real dump_metrics12 where its table goes somewhere unusual, or its
fonts or configuration are not files, and checks what each must do: the table
written where it is asked for, or status 1 with one line naming what failed
and the earlier table kept; no link another user planted followed; no run
that blocks.

usage: places_run.py PROGRAM WORK_DIR FONT_DIR

Cases that need another user (a planted link, read-only places, which root
may write anyway) run as nobody where this runs as root, and are skipped,
saying so, where it does not.
"""
import os
import shutil
import stat
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import run_program, write_fonts_conf  # noqa: E402
program, work, font_dir = (os.path.abspath(arg) for arg in sys.argv[1:4])
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
os.chmod(work, 0o755)
NOBODY = 65534
as_root = os.geteuid() == 0 and shutil.which("setpriv")
EARLIER = b"earlier table\r\n"
problems = []


def write_conf(folder, fonts):
    return write_fonts_conf(os.path.join(folder, "fonts.conf"), fonts, os.path.join(folder, "cache"))


conf = write_conf(work, font_dir)


def run(folder, user=None, stdout=subprocess.DEVNULL, config=None, timeout=60):
    """Runs the program in `folder`; returns (status, stdout, stderr), or
    None where it did not end within `timeout` seconds."""
    command = [program]
    if user is not None:
        command = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"] + command
    try:
        done = run_program(command, folder, config or conf, timeout, stdin=subprocess.DEVNULL,
                           stdout=stdout, stderr=subprocess.PIPE)
    except subprocess.TimeoutExpired:
        return None
    return done.returncode, done.stdout or b"", done.stderr.decode("utf-8", "replace")


def place(name, owner=None, mode=0o755):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    if owner is not None:
        os.chown(folder, owner, owner)
    os.chmod(folder, mode)
    return folder


def earlier_table(folder, mode=0o644, owner=None):
    table = os.path.join(folder, "dump_metrics12.csv")
    with open(table, "wb") as f:
        f.write(EARLIER)
    if owner is not None:
        os.chown(table, owner, owner)
    os.chmod(table, mode)
    return table


def read(path):
    with open(path, "rb") as f:
        return f.read()


def expect(name, result, status, err, left=("dump_metrics12.csv",), folder=None):
    if result is None:
        problems.append(f"{name}: still running after its time")
        return False
    if result[0] != status or (err is not None and result[2] != err):
        problems.append(f"{name}: status {result[0]}, standard error {result[2]!r}; "
                        f"wanted {status}, {err!r}")
        return False
    if folder is not None and sorted(os.listdir(folder)) != sorted(left):
        problems.append(f"{name}: files beside the table: {sorted(os.listdir(folder))}")
    return True


plain = place("plain")
result = run(plain, stdout=subprocess.PIPE)
whole, progress = read(os.path.join(plain, "dump_metrics12.csv")), result[1]

# A link to /dev/stdout with standard output a pipe: written in place.
folder = place("stdout")
os.symlink("/dev/stdout", os.path.join(folder, "dump_metrics12.csv"))
result = run(folder, stdout=subprocess.PIPE)
if expect("a link to standard output on a pipe", result, 0, "", folder=folder) and \
        len(result[1]) != len(whole) + len(progress):
    problems.append("a link to standard output on a pipe: the pipe did not get the table")

# The earlier table's permission bits, but never setuid, setgid or sticky.
folder = place("setuid")
table = earlier_table(folder, 0o6777, owner=NOBODY if as_root else None)
if expect("a setuid table", run(folder), 0, "", folder=folder):
    if stat.S_IMODE(os.stat(table).st_mode) != 0o777 or read(table) != whole:
        problems.append(f"a setuid table: mode {oct(os.stat(table).st_mode)} after the run")

# Read-only places: the user may not write there.
user = NOBODY if as_root else None
if os.geteuid() != 0 or as_root:
    folder = place("read-only folder", owner=user)
    table = earlier_table(folder, owner=user)
    os.chmod(folder, 0o555)
    want = ("dump_metrics12: cannot create the temporary file 'dump_metrics12.csv.XXXXXX' in the "
            f"folder '{folder}': Permission denied\n")
    expect("a read-only folder", run(folder, user=user), 1, want, folder=folder)
    if read(table) != EARLIER:
        problems.append("a read-only folder: the table was replaced")
    folder = place("read-only table", owner=user)
    table = earlier_table(folder, 0o444, owner=user)
    expect("a read-only table", run(folder, user=user), 1,
           "dump_metrics12: cannot open 'dump_metrics12.csv': Permission denied\n", folder=folder)
    if read(table) != EARLIER:
        problems.append("a read-only table: the table was replaced")
else:
    print("skipped: read-only places (root without setpriv)")

# Links in a sticky folder that all may write, such as /tmp: followed only
# where the user or the folder's owner made them, as the kernel's
# fs.protected_symlinks has it.
for who, link_owner in (("the user's", None), ("another user's", NOBODY)):
    name = f"{who} link in a shared folder"
    if link_owner is not None and os.geteuid() != 0:
        print(f"skipped: {name} (needs root to make a link of another user's)")
        continue
    folder = place(f"shared {link_owner}", mode=0o1777)
    victim = os.path.join(work, f"victim {link_owner}")
    with open(victim, "wb") as f:
        f.write(b"not the table\n")
    link = os.path.join(folder, "dump_metrics12.csv")
    os.symlink(victim, link)
    if link_owner is not None:
        os.lchown(link, link_owner, link_owner)
        want = (f"dump_metrics12: cannot open 'dump_metrics12.csv': the symlink "
                f"'dump_metrics12.csv' lies in a shared folder (sticky and writable by all) and "
                f"was made by neither you nor the folder's owner: it is not followed\n")
        expect(name, run(folder), 1, want, folder=folder)
        if read(victim) != b"not the table\n":
            problems.append(f"{name}: the file it leads to was written")
    elif expect(name, run(folder), 0, "", folder=folder) and read(victim) != whole:
        problems.append(f"{name}: the file it leads to does not hold the table")
    if not os.path.islink(link):
        problems.append(f"{name}: the link is gone")

# A font file replaced by a FIFO after fontconfig cached it: named, not waited on.
folder = place("fifo font")
fonts = os.path.join(folder, "fonts")
shutil.copytree(font_dir, fonts)
fifo_conf = write_conf(folder, fonts)
run(folder, config=fifo_conf)
victim = os.path.join(fonts, "DM12Gappy.ttf")
times = os.stat(fonts)
os.remove(victim)
os.mkfifo(victim)
os.utime(fonts, ns=(times.st_atime_ns, times.st_mtime_ns))  # the cache stays fontconfig's word
result = run(folder, config=fifo_conf, timeout=30)
want = f"dump_metrics12: font file '{victim}' cannot be read: not a regular file\n"
if expect("a font file become a FIFO", result, 0, want) and b"DM12 Gappy" in \
        read(os.path.join(folder, "dump_metrics12.csv")):
    problems.append("a font file become a FIFO: its family was measured")

# A configuration that is not a regular file: refused, as one that is not XML.
folder = place("configuration")
fifo = os.path.join(folder, "fonts.conf")
os.mkfifo(fifo)
for name, config in (("a device", "/dev/zero"), ("a FIFO", fifo)):
    want = (f"dump_metrics12: cannot load the fontconfig configuration '{config}': "
            "not a regular file\n")
    expect(f"FONTCONFIG_FILE {name}", run(folder, config=config, timeout=30), 1, want)

shutil.rmtree(work, ignore_errors=True)
for p in problems:
    print("FAIL: " + p)
sys.exit(1 if problems else 0)
