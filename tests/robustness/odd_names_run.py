#!/usr/bin/env python3
"""Runs the real dump_metrics12 over fonts whose family names hold control
characters and lone UTF-16 surrogates, and checks that the table stays
readable (by compare_tables and by the manual page's Python recipe), that
standard output gets no control byte but its line ends, and that each name
keys its own family: a control byte stands as '?', and a lone surrogate is
'?' with the next character kept.

usage: odd_names_run.py PROGRAM COMPARE_TABLES WORK_DIR BASE_FONT
"""
import os
import shutil
import subprocess
import sys

from fontTools.ttLib import TTFont

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import run_program, write_fonts_conf  # noqa: E402

program, compare_tables, work, base_font = (os.path.abspath(a) for a in sys.argv[1:5])
shutil.rmtree(work, ignore_errors=True)
fonts = os.path.join(work, "fonts")
os.makedirs(fonts)

# name as stored (UTF-16BE) | the face name the table and progress line show
NAMES = [
    ("Line\nFeed".encode("utf-16-be"), "Line?Feed"),
    ("Carriage\rReturn".encode("utf-16-be"), "Carriage?Return"),
    ("Esc\x1b[31mRed".encode("utf-16-be"), "Esc?[31mRed"),
    ("Bell\x07Del\x7f".encode("utf-16-be"), "Bell?Del?"),
    ("Lone\ud800A".encode("utf-16-be", "surrogatepass"), "Lone?A"),
    ("Lone\ud800B".encode("utf-16-be", "surrogatepass"), "Lone?B"),
    ("Low\udc00C".encode("utf-16-be", "surrogatepass"), "Low?C"),
    ("Pair\U0001F600D".encode("utf-16-be"), "Pair?D"),
]
for i, (stored, _) in enumerate(NAMES):
    font = TTFont(base_font)
    for record in font["name"].names:
        if record.nameID in (1, 4, 16) and record.platformID == 3:
            record.string = stored  # bytes are written as they are
    font["name"].names = [r for r in font["name"].names
                          if r.platformID == 3 or r.nameID not in (1, 4, 16)]
    font.save(os.path.join(fonts, f"odd{i}.ttf"))

conf = write_fonts_conf(os.path.join(work, "fonts.conf"), fonts, os.path.join(work, "cache"))
done = run_program([program], work, conf, 120, stdin=subprocess.DEVNULL, capture_output=True)
problems = []
if done.returncode != 0 or done.stderr:
    problems.append(f"status {done.returncode}, standard error {done.stderr!r}")
controls = sorted({b for b in done.stdout if (b < 0x20 and b != 0x0A) or b == 0x7F})
if controls:
    problems.append(f"standard output holds control bytes {controls}")
shown = sorted(line[len(b"Processing font '"):-1].decode("cp1252")
               for line in done.stdout.splitlines() if line.startswith(b"Processing font '"))
if shown != sorted(want for _, want in NAMES):
    problems.append(f"the families shown are {shown}")

table = os.path.join(work, "dump_metrics12.csv")
# The manual page's recipe: every row read from its end.
rows = {}
with open(table, newline="", encoding="cp1252") as f:
    next(f)
    for line in f:
        try:
            key, a, b, c, advance = line.rstrip("\r\n").rsplit(",", 4)
            label, _, code = key[1:-1].rpartition("'-0x")
            face_and_tag, character = label[:-3], label[-1]
            torn = int(code, 16) != ord(character)
        except (ValueError, IndexError):
            torn = True
        if torn:
            problems.append(f"the row {line!r} is torn")
            continue
        rows.setdefault(face_and_tag, 0)
        rows[face_and_tag] += 1
if sorted(rows) != sorted(f"{want} (TT) " for _, want in NAMES) or set(rows.values()) != {96}:
    problems.append(f"the table's families and rows: {rows}")
compared = subprocess.run([compare_tables, table, table], capture_output=True, timeout=120)
if compared.returncode != 0:
    problems.append(f"compare_tables cannot read the table: {compared.stderr!r}")

for p in problems:
    print("FAIL: " + p)
sys.exit(1 if problems else 0)
