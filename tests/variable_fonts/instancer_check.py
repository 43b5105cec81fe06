#!/usr/bin/python3
"""The instancer check on real variable fonts: each named instance, as our GDI realizes it from its
enumerated LOGFONTA, measures as the static font fontTools' instancer makes of it.

usage: instancer_check.py [--package DEBIAN_PACKAGE] TEST_PROGRAM WORK_DIR FONT_FILE...

Where a font file is missing, says which package brings it and exits 77 (skipped).

Makes every named instance of the fonts static (instantiateVariableFont) into WORK_DIR/twins, each a
family of its own ("DM12 Twin NN") with the instance's weight class and slant, and its average width
recalculated as an instance's is defined (the mean of its nonzero advances); writes a fontconfig
configuration listing the fonts and the twins, and a table for the test program
(InstancerCheck.FontsGivenAtRunTime), which it then runs. The twins are made again only when the
fonts or fontTools change.

The instancer rounds every point to a whole font unit where the variable font's own interpolation
may not land on one, so an edge can fall on the other side of a pixel boundary: such a row may
differ by one pixel in A or B, never in the advance. The table names each code whose outline moved
so, and by how much; the test program prints each row that differs with its reason, and fails on any
other difference.
"""

import csv
import io
import multiprocessing
import os
import shutil
import subprocess
import sys

import fontTools
from fontTools.pens.boundsPen import BoundsPen
from fontTools.ttLib import TTFont
from fontTools.varLib.instancer import instantiateVariableFont

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import environment, write_fonts_conf  # noqa: E402

FIRST_CODE, LAST_CODE = 32, 127


def make_twin(job):
    """Writes one twin; returns the rows of the table for it."""
    path, number, coordinates, out_dir, twin_number = job
    family = "DM12 Twin %02d" % twin_number
    font = TTFont(path)
    italic = bool(font["OS/2"].fsSelection & 0x01)
    exact = font.getGlyphSet(location=coordinates)
    twin = instantiateVariableFont(TTFont(path), dict(coordinates))
    twin["OS/2"].recalcAvgCharWidth(twin)
    names = twin["name"]
    names.names = [r for r in names.names if r.nameID not in (16, 17, 21, 22, 25)]
    style = "Italic" if italic else "Regular"
    for name_id, string in ((1, family), (2, style), (4, family + " " + style),
                            (6, family.replace(" ", "") + "-" + style)):
        names.setName(string, name_id, 3, 1, 0x409)
    if "STAT" in twin:
        del twin["STAT"]
    twin["OS/2"].fsSelection = (twin["OS/2"].fsSelection & ~0x61) | (0x01 if italic else 0x40)
    twin.save(os.path.join(out_dir, "DM12Twin%02d.ttf" % twin_number))

    weight = round(coordinates.get("wght", twin["OS/2"].usWeightClass))
    rows = [dict(file=os.path.basename(path), instance=number, lfWeight=weight,
                 lfItalic=255 if italic else 0, twin=family, code="", why="")]
    # Where the instancer's rounding (of each delta, to whole units) moves an edge or an advance
    # from where the variable font interpolates it: the codes whose rows may differ by a pixel,
    # and why.
    cmap = twin.getBestCmap()
    static = twin.getGlyphSet()
    for code in range(FIRST_CODE, LAST_CODE + 1):
        glyph = cmap.get(code)
        if glyph is None:
            continue
        edges = []
        for glyph_set in (exact, static):
            pen = BoundsPen(glyph_set)
            glyph_set[glyph].draw(pen)
            bounds = pen.bounds or (0, 0, 0, 0)
            edges.append((bounds[0], bounds[2], glyph_set[glyph].width))
        (x_min, x_max, width), (s_min, s_max, s_width) = edges
        if (x_min, x_max, width) != (s_min, s_max, s_width):
            rows.append(dict(file=rows[0]["file"], instance=number, lfWeight=weight,
                             lfItalic=rows[0]["lfItalic"], twin=family, code=code,
                             why="the instancer's rounding of deltas moves xMin %g to %d; "
                                 "xMax %g to %d; the advance %g to %d font units"
                                 % (x_min, s_min, x_max, s_max, width, s_width)))
    return rows


def stamp_of(fonts):
    lines = ["fontTools %s" % fontTools.version, "script %d" % os.stat(__file__).st_mtime_ns]
    for path in fonts:
        info = os.stat(path)
        lines.append("%s %d %d" % (os.path.realpath(path), info.st_size, info.st_mtime_ns))
    return "\n".join(lines) + "\n"


def main():
    args = sys.argv[1:]
    package = "the package that holds it"
    if args[:1] == ["--package"]:
        package, args = args[1], args[2:]
    if len(args) < 3:
        sys.exit(__doc__.split("\n\n")[1])
    program, work, fonts = args[0], os.path.abspath(args[1]), args[2:]
    for path in fonts:
        if not os.path.exists(path):
            print("skipped: no '%s': install %s to run this test" % (path, package))
            return 77
    twins = os.path.join(work, "twins")
    table = os.path.join(work, "twins.csv")
    stamp = os.path.join(work, "stamp")
    stamp_text = stamp_of(fonts)
    if not (os.path.exists(stamp) and open(stamp).read() == stamp_text):
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(twins)
        jobs = []
        for path in fonts:
            for number, instance in enumerate(TTFont(path)["fvar"].instances):
                jobs.append((path, number + 1, dict(instance.coordinates), twins, len(jobs) + 1))
        with multiprocessing.Pool(min(2, os.cpu_count() or 1)) as pool:
            results = pool.map(make_twin, jobs)
        with open(table, "w", newline="") as f:
            writer = csv.DictWriter(f, ["file", "instance", "lfWeight", "lfItalic", "twin", "code",
                                        "why"], lineterminator="\n")
            writer.writeheader()
            for rows in results:
                for row in rows:
                    row["why"] = row["why"].replace(",", ";")
                    writer.writerow(row)
        with open(stamp, "w") as f:
            f.write(stamp_text)
    fonts_dir = os.path.join(work, "fonts")
    shutil.rmtree(fonts_dir, ignore_errors=True)
    os.makedirs(fonts_dir)
    for path in fonts:
        os.symlink(os.path.realpath(path), os.path.join(fonts_dir, os.path.basename(path)))
    config = os.path.join(work, "fonts.conf")
    write_fonts_conf(config, [fonts_dir, twins], os.path.join(work, "fontconfig-cache"))
    return subprocess.call([program, "--gtest_filter=InstancerCheck.FontsGivenAtRunTime"],
                           env=environment(config, DM12_INSTANCER_TWINS=table))


if __name__ == "__main__":
    sys.exit(main())
