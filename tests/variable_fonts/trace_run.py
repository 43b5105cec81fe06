#!/usr/bin/python3
"""What DUMP_METRICS12_TRACE says of variable fonts, through the real program.

usage: trace_run.py PROGRAM WORK_DIR

Runs dump_metrics12 over a folder holding variable test fonts with STAT (DM12Schrift, DM12Optik)
and without (DM12Plain), the CFF2 font DM12Cubic.otf, a copy of DM12Schrift whose family name is
long enough for the cut to 31 bytes to merge its families, and a copy of DM12Offset with its HVAR
cut short; once with the trace and once without. Checks, with every expected value read from the
fonts themselves (fontTools) or from expected_faces.csv:

- the table and standard output are the same bytes with and without the trace;
- the CFF2 file is named once, as left out for its CFF2 outlines; the HVAR copy once, as taking its
  advances from gvar's phantom points;
- each named instance has a line giving, for each STAT axis, the value it matched and whether that
  value went into the name, was elided or is a style; without STAT, the fvar subfamily name and that
  STAT is missing;
- each face of the committed fonts carries the lfHeight and lfWidth of expected_faces.csv;
- each family the cut merged names every full name that went into it;
- no widths measured ahead go untaken: each family is realized at the face and size they were
  measured at.
"""

import csv
import io
import os
import re
import shutil
import struct
import sys

from fontTools.ttLib import TTFont

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import run_program, write_fonts_conf  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
LONG_FAMILY = "DM12 Lengthy Schrift Family"  # 27 bytes: "... Light" is past 31
problems = []


def problem(message):
    problems.append(message)
    print("FAIL: " + message)


def write_fonts(folder):
    for name in ("DM12Schrift.ttf", "DM12Optik.ttf", "DM12Plain.ttf", "DM12Cubic.otf"):
        shutil.copyfile(os.path.join(HERE, name), os.path.join(folder, name))
    font = TTFont(os.path.join(HERE, "DM12Schrift.ttf"))
    for record in font["name"].names:
        if record.nameID in (1, 16):
            record.string = LONG_FAMILY
    font.save(os.path.join(folder, "Lengthy.ttf"))
    # HVAR's length in the table directory cut to 40%.
    font = TTFont(os.path.join(HERE, "DM12Offset.ttf"))
    for record in font["name"].names:
        if record.nameID in (1, 16):
            record.string = "DM12 Trace Hvar"
    data = io.BytesIO()
    font.save(data)
    data = bytearray(data.getvalue())
    for i in range(struct.unpack_from(">H", data, 4)[0]):
        tag, _checksum, _offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        if tag == b"HVAR":
            struct.pack_into(">I", data, 12 + 16 * i + 12, length * 4 // 10)
    with open(os.path.join(folder, "CutHvar.ttf"), "wb") as f:
        f.write(data)


def run(program, folder, work, traced):
    out = os.path.join(work, "traced" if traced else "plain")
    os.makedirs(out, exist_ok=True)
    config = os.path.join(out, "fonts.conf")
    write_fonts_conf(config, folder, os.path.join(work, "cache"))
    env = dict(os.environ)
    env.pop("DUMP_METRICS12_TRACE", None)
    if traced:
        env["DUMP_METRICS12_TRACE"] = "1"
    done = run_program([program], out, config, 240, env=env, capture_output=True)
    if done.returncode != 0:
        problem("%s run: exit status %d" % ("traced" if traced else "plain", done.returncode))
    with open(os.path.join(out, "dump_metrics12.csv"), "rb") as f:
        table = f.read()
    return done.stdout, table, done.stderr.decode("cp1252")


def tag_text(tag):
    return tag if len(tag) == 4 else tag.ljust(4)


def stat_expectation(font, family):
    """For each named instance (from 1): (its full family name, what the trace must say of it)."""
    fvar = font["fvar"]
    names = font["name"]
    expected = {}
    if "STAT" not in font:
        for number, instance in enumerate(fvar.instances, 1):
            sub = names.getDebugName(instance.subfamilyNameID)
            words = [w for w in sub.split() if w not in ("Italic", "Oblique")]
            kept = " ".join(w for w in words)
            full = family if kept in ("Regular", "Bold", "") else family + " " + kept
            expected[number] = (full, "fvar subfamily '%s', as the font's STAT table is missing"
                                % sub)
        return expected
    stat = font["STAT"].table
    axes = stat.DesignAxisRecord.Axis
    values = stat.AxisValueArray.AxisValue if stat.AxisValueArray else []
    for number, instance in enumerate(fvar.instances, 1):
        parts, named = [], []
        for index, axis in enumerate(axes):
            coordinate = instance.coordinates.get(axis.AxisTag)
            chosen = None
            for fmt in (1, 3, 2):  # the fonts here have no format 4 values
                for value in values:
                    if value.Format != fmt or value.AxisIndex != index or chosen:
                        continue
                    if fmt == 2:
                        if value.RangeMinValue <= coordinate <= value.RangeMaxValue:
                            chosen = value
                    elif value.Value == coordinate:
                        chosen = value
            text = "%s %g" % (tag_text(axis.AxisTag), coordinate)
            if chosen is None:
                parts.append(text + ": no STAT value")
                continue
            name = names.getDebugName(chosen.ValueNameID)
            if chosen.Flags & 2:
                fate = "elided"
            elif axis.AxisTag in ("ital", "slnt") or (
                    axis.AxisTag == "wght" and coordinate in (400, 700)):
                fate = "a style"
            else:
                fate = "named"
                named.append((axis.AxisOrdering, name))
            parts.append("%s '%s'%s %s" % (text, name, " (a range)" if chosen.Format == 2 else "",
                                            fate))
        named.sort(key=lambda pair: pair[0])
        full = " ".join([family] + [name for _order, name in named])
        expected[number] = (full, "STAT " + ", ".join(parts))
    return expected


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.split("\n\n")[1])
    program, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    folder = os.path.join(work, "fonts")
    os.makedirs(folder)
    write_fonts(folder)
    plain_out, plain_table, plain_err = run(program, folder, work, False)
    traced_out, traced_table, err = run(program, folder, work, True)
    if (plain_out, plain_table) != (traced_out, traced_table):
        problem("the trace changed the table or standard output")
    if plain_err:
        problem("without the trace, standard error says %r" % plain_err)
    lines = err.splitlines()

    def count(pattern):
        return sum(1 for line in lines if re.search(pattern, line))

    # Each family is realized at the face and size its widths were measured
    # at ahead, by the worker threads as by the program's own.
    untaken = [line for line in lines if "not taken by the font realized" in line]
    if untaken:
        problem("widths measured ahead and measured again: %r" % untaken)

    cubic = re.escape(os.path.join(folder, "DM12Cubic.otf"))
    if count("font file '%s': left out: CFF2 outlines, which GDI does not draw$" % cubic) != 1:
        problem("the CFF2 file is not named once as left out for its CFF2 outlines")
    if count(cubic) != 1:
        problem("the CFF2 file is named %d times" % count(cubic))
    hvar = re.escape(os.path.join(folder, "CutHvar.ttf"))
    if count("font file '%s': its HVAR table .*: advances from gvar's phantom points" % hvar) != 1:
        problem("the cut HVAR is not told once")

    full_names = {}
    for file, family in (("DM12Schrift.ttf", "DM12Schrift"), ("DM12Optik.ttf", "DM12 Optik"),
                         ("DM12Plain.ttf", "DM12 Plain"), ("Lengthy.ttf", LONG_FAMILY)):
        font = TTFont(os.path.join(folder, file))
        for number, (full, said) in stat_expectation(font, family).items():
            line = ":  named    %s instance %d '%s': %s" % (os.path.join(folder, file), number,
                                                          full, said)
            if not any(l.endswith(line) for l in lines):
                problem("no line %r" % line)
            full_names.setdefault(full.encode("cp1252")[:31].lower(), set()).add(full)

    with open(os.path.join(HERE, "expected_faces.csv"), newline="") as f:
        rows = list(csv.DictReader(line for line in f if not line.startswith("#")))
    for row in rows:
        if row["file"] not in ("DM12Schrift.ttf", "DM12Optik.ttf", "DM12Plain.ttf"):
            continue
        place = "%s instance %s: " % (os.path.join(folder, row["file"]), row["instance"])
        faces = [l for l in lines if re.search(r":  (chosen  |after it) " + re.escape(place), l)]
        size = "; lfHeight %s, lfWidth %s" % (row["lfHeight"], row["lfWidth"])
        if len(faces) != 1 or not faces[0].endswith(size):
            problem("%s: face lines %r, not one ending %r" % (place, faces, size))

    merged = 0
    for names in full_names.values():
        if len(names) < 2 or all(len(n) <= 31 for n in names):
            continue
        merged += 1
        told = [l for l in lines if ":  merged   %d names, one family once cut to 31 bytes:"
                % len(names) in l and all("'%s'" % n in l for n in names)]
        if len(told) != 1:
            problem("no merged line for %s" % sorted(names))
    if merged == 0:
        problem("the long family name merged no families: the case tests nothing")
    print("trace of %d lines, %d merged families: %d problems" % (len(lines), merged, len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
