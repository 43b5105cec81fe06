#!/usr/bin/python3
"""Damaged variable fonts among good fonts, through the real program.

usage: damaged_run.py PROGRAM WORK_DIR GOOD_FONT_DIR...
       damaged_run.py --seeds DIR    (writes the damaged fonts alone into DIR: the fuzzer's seeds)

Makes each damaged font of CASES below from a committed variable font, first renamed to a family of
its own ("DM12 Bad ..."), so that what it gives cannot be taken for a good family. Then runs
dump_metrics12 over the good fonts alone (GOOD_FONT_DIR..., the committed variable fonts among
them), and over the good and the damaged together, and checks:

- both runs exit 0, with no signal, within the time limit;
- every line on standard error is "dump_metrics12: font file '<path>' cannot be read: <reason>",
  and each damaged file is named by as many lines as its case says (0 or 1), no good file by any;
- each case's families are enumerated or not as the case says;
- every good family is enumerated in both runs and its rows are the same bytes.
"""

import io
import os
import re
import shutil
import struct
import subprocess
import sys

from fontTools.ttLib import TTFont

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import run_program, write_fonts_conf  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
PROCESSING = re.compile(rb"^Processing font '(.*)'$")
CANNOT_READ = re.compile(r"^dump_metrics12: font file '(.*)' cannot be read: .+$")

problems = []


def problem(message):
    problems.append(message)
    print("FAIL: " + message)


def renamed(source, family):
    """A committed variable font with its family names (IDs 1, 16) replaced."""
    font = TTFont(os.path.join(HERE, source))
    for record in font["name"].names:
        if record.nameID in (1, 16):
            record.string = family
    return font


def to_bytes(font):
    data = io.BytesIO()
    font.save(data)
    return data.getvalue()


def table_span(data, tag):
    count = struct.unpack_from(">H", data, 4)[0]
    for i in range(count):
        name, _checksum, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        if name == tag.encode():
            return offset, length
    raise KeyError(tag)


def patched(data, tag, offset_in_table, fmt, value):
    """The file with one field of a table overwritten (the checksum left stale, as GDI and
    FreeType do not check it)."""
    out = bytearray(data)
    struct.pack_into(fmt, out, table_span(data, tag)[0] + offset_in_table, value)
    return bytes(out)


def cut_short(data, tag, fraction):
    """The file with a table's length in the table directory cut to `fraction` of it, as a
    table truncated in place reads to GDI and FreeType: whatever its offsets point past the new
    end lies outside it."""
    count = struct.unpack_from(">H", data, 4)[0]
    out = bytearray(data)
    for i in range(count):
        name, _checksum, _offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        if name == tag.encode():
            struct.pack_into(">I", out, 12 + 16 * i + 12, int(length * fraction))
            return bytes(out)
    raise KeyError(tag)


def gvar_cut_short(family):
    # gvar cut to 40%: its glyph offsets whole, the later glyphs' variation data past its end.
    data = to_bytes(renamed("DM12Offset.ttf", family))
    offset, length = table_span(data, "gvar")
    glyphs = struct.unpack_from(">H", data, offset + 12)[0]
    assert 20 + 2 * (glyphs + 1) < int(length * 0.4), "the cut would reach the offsets"
    return cut_short(data, "gvar", 0.4)


def cvar_cut_short(family):
    return cut_short(to_bytes(renamed("DM12Schrift.ttf", family)), "cvar", 0.4)


def mvar_cut_short(family):
    return cut_short(to_bytes(renamed("DM12Schrift.ttf", family)), "MVAR", 0.4)


def hvar_cut_short(family):
    return cut_short(to_bytes(renamed("DM12Offset.ttf", family)), "HVAR", 0.4)


def intact(family):
    return to_bytes(renamed("DM12Offset.ttf", family))


def fvar_past_its_table(family):
    # instanceCount one more than the table holds: the last record lies past its end.
    font = renamed("DM12Offset.ttf", family)
    count = len(font["fvar"].instances)
    return patched(to_bytes(font), "fvar", 12, ">H", count + 1)


def instance_outside_its_axes(family):
    # The no-STAT font's Thin instance at wght 50, below the axis' 100.
    font = renamed("DM12Plain.ttf", family)
    font["fvar"].instances[0].coordinates["wght"] = 50
    return to_bytes(font)


def gvar_that_does_not_parse(family):
    # gvar's glyphCount is not the font's number of glyphs.
    font = renamed("DM12Offset.ttf", family)
    return patched(to_bytes(font), "gvar", 12, ">H", font["maxp"].numGlyphs + 7)


def hairline(family):
    # The Light instance's fvar subfamily name is "Hairline"; STAT still names it "Light".
    font = renamed("DM12Offset.ttf", family)
    font["fvar"].instances[0].subfamilyNameID = font["name"].addName("Hairline")
    return font


def stat_that_parses(family):
    return to_bytes(hairline(family))


def stat_that_does_not_parse(family):
    # The design axes lie past the end of STAT.
    return patched(to_bytes(hairline(family)), "STAT", 8, ">I", 0x7FFF0000)


def missing_subfamily_name(family):
    # The no-STAT font's Black instance names its subfamily by an ID the name table lacks.
    font = renamed("DM12Plain.ttf", family)
    font["fvar"].instances[-1].subfamilyNameID = 300
    return to_bytes(font)


# What FreeType 2.12 does with each, for the record: an fvar past its table gives no named
# instance at all; a gvar whose glyph count is wrong is ignored, every instance then drawn with the
# default outlines and HVAR's advances; an instance outside its axes is opened (FreeType clamps
# when it normalizes); a missing subfamily name leaves FreeType's style name null, and fontconfig
# names that instance "Regular". Only the first fails in FreeType: the others our GDI must find
# in the tables itself.
#
# Each case: file, its family (name IDs 1 and 16), how it is made, families that must be
# enumerated, families that must not, how many lines on standard error name the file, and what
# each such line must say.
CASES = [
    # FreeType finds no named instance in such an fvar, so none can be opened: all are left out,
    # and the default is no face either (the font has named instances).
    ("fvar-past-its-table.ttf", "DM12 Bad Fvar", fvar_past_its_table,
     [], ["", " Light", " Medium"], 1, "its fvar table"),
    # The instance outside the axes cannot be measured at its own coordinates: it alone is left
    # out, with one line naming the file.
    ("instance-outside-its-axes.ttf", "DM12 Bad Axes", instance_outside_its_axes,
     ["", " Extra Bold", " Black"], [" Thin"], 1, "named instance 1 lies outside its axes"),
    # No instance can be measured without its outline deltas: all are left out, one line.
    ("gvar-that-does-not-parse.ttf", "DM12 Bad Gvar", gvar_that_does_not_parse,
     [], ["", " Light"], 1, "its gvar table is for other glyphs"),
    # With STAT the Light instance is named from STAT ...
    ("stat-that-parses.ttf", "DM12 Bad Stat Control", stat_that_parses,
     ["", " Light"], [" Hairline"], 0, None),
    # ... and where STAT does not parse, from its fvar subfamily name, silently.
    ("stat-that-does-not-parse.ttf", "DM12 Bad Stat", stat_that_does_not_parse,
     ["", " Hairline"], [" Light"], 0, None),
    # An instance without a subfamily name (and no STAT to name it) cannot be named: it alone is
    # left out, with one line naming the file.
    ("missing-subfamily-name.ttf", "DM12 Bad Name", missing_subfamily_name,
     ["", " Thin", " Extra Bold"], [" Black"], 1, "has no name"),
    # A variation table cut short: FreeType would draw the glyphs whose variation data lie past
    # the cut unvaried (gvar), hint with the default's control values (cvar), or keep the
    # default's heights (MVAR), without a word. No instance is offered; one line names the table.
    ("gvar-cut-short.ttf", "DM12 Cut Gvar", gvar_cut_short,
     [], ["", " Light"], 1, "its gvar table has glyph variation data past its end"),
    ("cvar-cut-short.ttf", "DM12 Cut Cvar", cvar_cut_short,
     [], ["", " Light", " SemiBold Condensed"], 1, "its cvar table has tuple "),
    ("mvar-cut-short.ttf", "DM12 Cut Mvar", mvar_cut_short,
     [], ["", " Light", " SemiBold Condensed"], 1, "its MVAR table has "),
    # HVAR cut short: FreeType takes the advances from gvar's phantom points, so the instances
    # stay, silently, with the rows of the same font intact (ROWS_AS below).
    ("hvar-cut-short.ttf", "DM12 Cut Hvar", hvar_cut_short, ["", " Light"], [], 0, None),
    ("hvar-intact.ttf", "DM12 Whole Hvar", intact, ["", " Light"], [], 0, None),
]

# Cases of whole fonts, beside which others are judged: no seeds for the fuzzer.
CONTROLS = {"stat-that-parses.ttf", "hvar-intact.ttf"}

# Families whose rows must be those of another family, less the name: (family, control).
ROWS_AS = [("DM12 Cut Hvar", "DM12 Whole Hvar"), ("DM12 Cut Hvar Light", "DM12 Whole Hvar Light")]


def listed_by_fontconfig(path):
    """Whether fontconfig finds a face in the file. FreeType 2.13 refuses outright a file whose cvar
    is cut short (2.12 opens its default); fontconfig then does not list it, so the program never
    sees the file to name it, and its families are absent all the same."""
    try:
        done = subprocess.run(["fc-scan", "--format", "%{file}\n", path], capture_output=True)
    except FileNotFoundError:
        return True
    return bool(done.stdout.strip())


def run(program, work, name, folders):
    """(status, families, rows by family, stderr lines) of one run."""
    folder = os.path.join(work, "run-" + name)
    os.makedirs(folder, exist_ok=True)
    config = os.path.join(folder, "fonts.conf")
    write_fonts_conf(config, folders, os.path.join(folder, "cache"))
    try:
        done = run_program([program], folder, config, 240, capture_output=True)
    except subprocess.TimeoutExpired:
        problem("%s run: no end within 240 s" % name)
        return None
    if done.returncode != 0:
        problem("%s run: exit status %d" % (name, done.returncode))
    families = [m.group(1).decode("cp1252") for line in done.stdout.split(b"\n")
                if (m := PROCESSING.match(line))]
    rows = {}
    with open(os.path.join(folder, "dump_metrics12.csv"), "rb") as f:
        for line in f.read().split(b"\r\n")[1:]:
            if line:
                label = line[1:line.index(b"-'")]
                rows.setdefault(label[:label.rindex(b" (")], []).append(line)
    return families, rows, done.stderr.decode(errors="replace").splitlines()


def write_seeds(folder):
    os.makedirs(folder, exist_ok=True)
    for file, family, make, *_ in CASES:
        if file in CONTROLS:
            continue
        with open(os.path.join(folder, file), "wb") as f:
            f.write(make(family))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--seeds":
        write_seeds(sys.argv[2])
        return 0
    if len(sys.argv) < 4:
        sys.exit(__doc__.split("\n\n")[1])
    program, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    good_dirs = sys.argv[3:]
    shutil.rmtree(work, ignore_errors=True)
    damaged = os.path.join(work, "damaged")
    good_variable = os.path.join(work, "good-variable")
    os.makedirs(damaged)
    os.makedirs(good_variable)
    for name in sorted(os.listdir(HERE)):
        if name.endswith((".ttf", ".otf")):
            shutil.copyfile(os.path.join(HERE, name), os.path.join(good_variable, name))
    for file, family, make, _present, _absent, _lines, _says in CASES:
        with open(os.path.join(damaged, file), "wb") as f:
            f.write(make(family))

    good_folders = [good_variable] + [os.path.abspath(d) for d in good_dirs]
    good = run(program, work, "good", good_folders)
    both = run(program, work, "damaged", good_folders + [damaged])
    if good is None or both is None:
        return 1
    good_families, good_rows, good_errors = good
    families, rows, errors = both

    for line in good_errors:
        problem("good run: standard error says %r" % line)
    named = {}
    says = {case[0]: case[6] for case in CASES}
    for line in errors:
        m = CANNOT_READ.match(line)
        if not m or os.path.dirname(m.group(1)) != damaged:
            problem("damaged run: unexpected line on standard error: %r" % line)
            continue
        file = os.path.basename(m.group(1))
        named[file] = named.get(file, 0) + 1
        if says.get(file) and says[file] not in line:
            problem("%s: standard error says %r, not %r" % (file, line, says[file]))
    for family in good_families:
        if family not in families:
            problem("damaged run: good family %r not enumerated" % family)
        elif rows.get(family.encode("cp1252")) != good_rows.get(family.encode("cp1252")):
            problem("damaged run: the rows of good family %r differ from the good run" % family)
    for family, control in ROWS_AS:
        mine = [line.replace(family.encode(), b"", 1) for line in rows.get(family.encode(), [])]
        theirs = [line.replace(control.encode(), b"", 1) for line in rows.get(control.encode(), [])]
        if not mine or mine != theirs:
            problem("%r: %d rows, not the %d rows of %r" % (family, len(mine), len(theirs), control))
    for file, base, _make, present, absent, lines, _says in CASES:
        for suffix in present:
            if base + suffix not in families:
                problem("%s: family %r not enumerated" % (file, base + suffix))
        for suffix in absent:
            if base + suffix in families:
                problem("%s: family %r enumerated" % (file, base + suffix))
        if lines and not listed_by_fontconfig(os.path.join(damaged, file)):
            lines = 0
        if named.get(file, 0) != lines:
            problem("%s: named by %d lines on standard error, not %d"
                    % (file, named.get(file, 0), lines))
    print("%d damaged variable fonts among %d good families: %d problems"
          % (len(CASES), len(good_families), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
