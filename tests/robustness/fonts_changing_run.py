#!/usr/bin/python3
"""The real program over fonts that change while it runs, as they do where a
font developer rebuilds fonts into a fonts folder or a package upgrade
replaces them.

    fonts_changing_run.py PROGRAM WORK_DIR FONT_DIR...

Copies the fonts of FONT_DIR into WORK_DIR, measures them once untouched (the
reference), then runs the program again for each way a file can change and
each moment: after the Nth progress line, some single-face families' files
are emptied in place, rewritten in place with a bigger font of another
family, replaced by such a font (a rename over them, as a package upgrade
does), or deleted; each on one CPU (no worker thread) and on all of them.
Then the same changes made after a run left fontconfig's cache, and the folder's
time put back, so that the next run lists each file as the cache describes it
and reads what it now holds: on demand, the change that otherwise falls
between fontconfig's reading and ours only now and then. A file the user may
not read is named on standard error. Every run must end
with status 0 and no signal; its table must be well
formed, with each family in one block of rows, once; every family whose
files did not change must have exactly its reference rows, and a changed one
only reference rows (widths measured before the change, never another
font's numbers).
"""

import os
import pty
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import termios

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import environment, write_fonts_conf  # noqa: E402

HEADER = b"lfFaceName, abcfA, abcfB, abcfC, Advance\r\n"
ROW = re.compile(rb'^"(.*) \((?:TT|DEV|RAS)\) -\'.\'-0x([0-9a-f]{2})",'
                 rb'-?\d+\.\d\d,-?\d+\.\d\d,-?\d+\.\d\d,-?\d+\.\d\d\r\n$', re.S)
FONT_SUFFIXES = (".ttf", ".otf", ".ttc", ".pfa", ".pfb", ".t1", ".fnt", ".fon", ".bdf",
                 ".pcf.gz")
# Files alone in their families, and those families: a change to one may
# lose the family's rows, never give it another face's.
VICTIMS = {
    "DM12Gappy.ttf": [b"DM12 Gappy"],
    "DM12SerifCFF-Regular.otf": [b"DM12 Serif CFF"],
    "DM12Collection.ttc": [b"DM12 Collect One", b"DM12 Collect Two"],
    "DM12Curve.ttf": [b"DM12 Curve"],
    "DM12Type1Raw.t1": [b"DM12 Type1 Raw"],
    "DM12Fnt-14.fnt": [b"DM12 Fnt"],
}
# A font of another family, bigger than every victim, to write over them.
REPLACEMENT = "DM12Sans-Regular.ttf"
MODES = ("empty", "rewrite", "replace", "delete")
MOMENTS = (0, 3, 9)  # progress lines read before the files change


def fail(message):
    sys.exit(f"fonts_changing_run: {message}")


def lay_out(font_dirs, work):
    fonts = os.path.join(work, "fonts")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(fonts)
    for folder in font_dirs:
        for name in sorted(os.listdir(folder)):
            if name.endswith(FONT_SUFFIXES):
                shutil.copy(os.path.join(folder, name), fonts)
    conf = write_fonts_conf(
        os.path.join(work, "fonts.conf"), fonts, f"{work}/cache",
        '  <selectfont><acceptfont><pattern><patelt name="scalable"><bool>false</bool></patelt>'
        "</pattern></acceptfont></selectfont>\n")
    return fonts, conf


def change(fonts, mode):
    with open(os.path.join(fonts, REPLACEMENT), "rb") as source:
        replacement = source.read()
    for victim in VICTIMS:
        path = os.path.join(fonts, victim)
        if mode == "empty":
            open(path, "wb").close()
        elif mode == "rewrite":
            with open(path, "wb") as out:
                out.write(replacement)
        elif mode == "replace":
            with open(path + ".new", "wb") as out:
                out.write(replacement)
            os.replace(path + ".new", path)
        else:
            os.unlink(path)


def run(program, work, conf, pinned, mode=None, moment=0, user=None):
    argv = [program]
    if pinned:
        argv = ["taskset", "-c", "0"] + argv
    if user is not None:
        argv = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups"] + argv
    env = environment(conf)
    # Standard output on a terminal, which the C library writes line by line,
    # so that the files change at a known line (no LD_PRELOAD, which the
    # sanitizers' runtimes refuse).
    terminal, program_side = pty.openpty()
    modes = termios.tcgetattr(program_side)
    modes[1] &= ~termios.ONLCR  # lines as the program writes them
    termios.tcsetattr(program_side, termios.TCSANOW, modes)
    errors = tempfile.TemporaryFile()
    process = subprocess.Popen(argv, cwd=work, env=env, stdin=subprocess.DEVNULL,
                               stdout=program_side, stderr=errors)
    os.close(program_side)
    lines = []
    if mode and moment == 0:
        change(os.path.join(work, "fonts"), mode)
    pending = b""
    while True:
        try:
            chunk = os.read(terminal, 4096)
        except OSError:  # EIO: the program has closed its terminal
            break
        if not chunk:
            break
        pending += chunk
        while b"\n" in pending:
            line, pending = pending.split(b"\n", 1)
            lines.append(line + b"\n")
            if mode and len(lines) == moment:
                change(os.path.join(work, "fonts"), mode)
    os.close(terminal)
    status = process.wait()
    errors.seek(0)
    stderr = errors.read()
    errors.close()
    what = f"{mode or 'untouched'} after {moment} lines, {'one CPU' if pinned else 'all CPUs'}"
    if status < 0:
        fail(f"{what}: killed by {signal.Signals(-status).name}; stderr: {stderr[-500:]!r}")
    if status != 0:
        fail(f"{what}: exit status {status}; stderr: {stderr[-500:]!r}")
    with open(os.path.join(work, "dump_metrics12.csv"), "rb") as table:
        return what, table.readlines(), lines, stderr


def rows_by_family(what, table, progress):
    if not table or table[0] != HEADER:
        fail(f"{what}: the table does not start with its header")
    families = {}
    last = None
    for line in table[1:]:
        match = ROW.match(line)
        if not match:
            fail(f"{what}: a malformed row: {line!r}")
        family = match.group(1)
        if family != last and family in families:
            fail(f"{what}: family {family!r} named twice")
        last = family
        families.setdefault(family, []).append(line)
    names = [line for line in progress if line.startswith(b"Processing font")]
    if len(names) != len(set(names)):
        fail(f"{what}: a family enumerated twice")
    return families


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    program, work, font_dirs = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3:]
    pin_options = (True, False) if shutil.which("taskset") else (False,)

    fonts, conf = lay_out(font_dirs, work)
    for victim in VICTIMS:
        if not os.path.exists(os.path.join(fonts, victim)):
            fail(f"{victim} is not among the fonts")
    what, table, progress, _ = run(program, work, conf, pinned=False)
    reference = rows_by_family(what, table, progress)
    changed = {family for families in VICTIMS.values() for family in families}
    for family in changed:
        if family not in reference:
            fail(f"the reference run has no family {family!r}")

    runs = 0
    for mode in MODES:
        for moment in MOMENTS:
            for pinned in pin_options:
                fonts, conf = lay_out(font_dirs, work)
                what, table, progress, _ = run(program, work, conf, pinned, mode, moment)
                families = rows_by_family(what, table, progress)
                check_against(what, families, reference, changed)
                runs += 1
    runs += check_stale_cache(program, work, font_dirs, reference, changed)
    runs += check_unreadable(program, work, font_dirs, reference)
    print(f"{runs} passed, 0 failed")


def check_against(what, families, reference, changed):
    for family, rows in reference.items():
        got = families.get(family, [])
        if family in changed:
            stray = [row for row in got if row not in rows]
            if stray:
                fail(f"{what}: {family!r} has rows of another font: {stray[0]!r}")
        elif got != rows:
            fail(f"{what}: {family!r} lost or changed rows ({len(got)} of {len(rows)})")
    extra = set(families) - set(reference)
    if extra:
        fail(f"{what}: families that are not in the fonts: {sorted(extra)}")


def check_stale_cache(program, work, font_dirs, reference, changed):
    """Files changed after fontconfig's cache was made, the folder's time kept:
    fontconfig lists each as it was (its family, its format), the program
    reads what it holds now. A file that is no longer what was listed is left
    out and named, never measured as the font it was listed as."""
    runs = 0
    for mode in MODES:
        fonts, conf = lay_out(font_dirs, work)
        run(program, work, conf, False)  # makes the cache
        times = os.stat(fonts)
        change(fonts, mode)
        os.utime(fonts, ns=(times.st_atime_ns, times.st_mtime_ns))
        what, table, progress, stderr = run(program, work, conf, False)
        what = f"{mode} after the cache was made"
        check_against(what, rows_by_family(what, table, progress), reference, changed)
        # The Type 1 and FNT files, listed by the cache's family name, now hold
        # a TrueType font of another family.
        if mode in ("rewrite", "replace") and b"changed while the program ran" not in stderr:
            fail(f"{what}: no file is told as changed: {stderr!r}")
        runs += 1
    return runs


def check_unreadable(program, work, font_dirs, reference):
    """A font file the user may not read is named on standard error, once,
    with the reason; its family is left out and the others are whole."""
    # A folder of its own under the temporary folder, with a copy of the
    # program, so that another user can reach both whatever the build's place.
    work = tempfile.mkdtemp(prefix="dm12-unreadable-")
    shutil.copy(program, work)
    program = os.path.join(work, os.path.basename(program))
    fonts, conf = lay_out(font_dirs, os.path.join(work, "run"))
    run_dir = os.path.dirname(conf)
    # fontconfig's cache, made while the file could be read, lists it, as a
    # system cache made by root does for every user.
    run(program, run_dir, conf, False)
    victim = os.path.join(fonts, "DM12Gappy.ttf")
    user = None
    if os.geteuid() == 0:  # root reads any file: run as nobody
        if not shutil.which("setpriv"):
            shutil.rmtree(work)
            return 0
        user = 65534
        for root, folders, files in os.walk(work):
            for name in folders + files:
                os.chmod(os.path.join(root, name), 0o777)
        os.chmod(work, 0o777)
    os.chmod(victim, 0)
    what, table, progress, stderr = run(program, run_dir, conf, False, user=user)
    shutil.rmtree(work)
    what = "an unreadable font file"
    families = rows_by_family(what, table, progress)
    told = f"font file '{victim}' cannot be read: Permission denied\n".encode()
    if stderr.count(told) != 1:
        fail(f"{what}: standard error does not name it once: {stderr!r}")
    if b"DM12 Gappy" in families:
        fail(f"{what}: its family was measured")
    for family, rows in reference.items():
        if family != b"DM12 Gappy" and families.get(family) != rows:
            fail(f"{what}: {family!r} lost or changed rows")
    return 1


if __name__ == "__main__":
    main()
