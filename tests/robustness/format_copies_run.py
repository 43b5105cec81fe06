#!/usr/bin/env python3
"""One face in two formats through the real dump_metrics12: the family's rows
are those of the format GDI's order puts first (OpenType, then Type 1, then
bitmap). A Type 1 face is left unread only beside an sfnt copy of its family
and style; beside a bitmap copy it is the representative.

usage: format_copies_run.py PROGRAM WORK_DIR ROBUSTNESS_FONT_DIR

The bitmap copy is DM12Bdf-13.bdf renamed to DM12Type1-Regular.pfa's family.
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import run_program, write_fonts_conf  # noqa: E402

program, work, font_dir = (os.path.abspath(arg) for arg in sys.argv[1:4])
shutil.rmtree(work, ignore_errors=True)
FAMILY = b"DM12 Type1"

# Each case: its files, and the font type tag of the family's rows.
CASES = [
    ("bitmap alone", ["bitmap"], b"RAS"),
    ("Type 1 beside its bitmap copy", ["bitmap", "DM12Type1-Regular.pfa"], b"DEV"),
]

problems = []
for name, files, tag in CASES:
    folder = os.path.join(work, name.replace(" ", "-"))
    fonts = os.path.join(folder, "fonts")
    os.makedirs(fonts)
    for file in files:
        if file == "bitmap":
            with open(os.path.join(font_dir, "DM12Bdf-13.bdf"), "rb") as f:
                text = f.read().replace(b"DM12 Bdf", FAMILY)
            with open(os.path.join(fonts, "DM12Type1-Bitmap.bdf"), "wb") as f:
                f.write(text)
        else:
            shutil.copyfile(os.path.join(font_dir, file), os.path.join(fonts, file))
    conf = write_fonts_conf(os.path.join(folder, "fonts.conf"), fonts,
                            os.path.join(folder, "cache"))
    done = run_program([program], folder, conf, 120, capture_output=True)
    with open(os.path.join(folder, "dump_metrics12.csv"), "rb") as f:
        rows = f.read().split(b"\r\n")[1:-1]
    tags = {row[1:row.index(b" -'")] for row in rows}
    want = {FAMILY + b" (" + tag + b")"}
    if done.returncode != 0 or done.stderr or tags != want:
        problems.append("%s: status %d, rows of %r, not only %r; %r"
                        % (name, done.returncode, sorted(tags), sorted(want), done.stderr))
for problem in problems:
    print("FAIL: " + problem)
print("%d cases, %d problems" % (len(CASES), len(problems)))
sys.exit(1 if problems else 0)
