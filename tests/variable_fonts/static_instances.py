#!/usr/bin/python3
"""Static stand-ins of variable fonts: each face GDI offers of them (for the variable test fonts, as
make_fonts.py states them) made static with fontTools' instancer and named so, so that a folder of them holds the
same families and faces, with the same widths, as the variable fonts they come from. Used by
program_run.py and by the benchmark (bench/variable_fonts.py).
"""

import os

from fontTools.ttLib import TTFont
from fontTools.varLib.instancer import instantiateVariableFont

from make_fonts import faces_of_file


def stand_in_jobs(path, out, faces=None):
    """The make_static jobs for every face of one variable font: `faces` as make_fonts.stated_faces
    gives them, by default those make_fonts.py states for the test font at `path`."""
    if faces is None:
        faces = faces_of_file(path)
    return [(path, 0 if number is None else number + 1, coordinates, family, bold, italic, out)
            for family, _base, number, coordinates, italic, bold in faces]


def make_static(job):
    """Writes the stand-in of one face: (file, instance number or 0, coordinates, family, bold,
    italic, output folder)."""
    path, number, coordinates, family, bold, italic, out = job
    font = TTFont(path)
    location = coordinates or {a.axisTag: a.defaultValue for a in font["fvar"].axes}
    static = instantiateVariableFont(font, dict(location))
    static["OS/2"].recalcAvgCharWidth(static)
    if "STAT" in static:
        del static["STAT"]
    style = {(False, False): "Regular", (True, False): "Bold", (False, True): "Italic",
             (True, True): "Bold Italic"}[(bold, italic)]
    names = static["name"]
    names.names = [r for r in names.names if r.nameID not in (16, 17, 21, 22, 25)]
    ps_name = (family + "-" + style).replace(" ", "")
    for name_id, string in ((1, family), (2, style), (4, family + " " + style), (6, ps_name)):
        names.setName(string, name_id, 3, 1, 0x409)
    static["OS/2"].fsSelection = ((static["OS/2"].fsSelection & ~0x61)
                                  | (0x01 if italic else 0) | (0x20 if bold else 0)
                                  | (0x40 if not (bold or italic) else 0))
    static["head"].macStyle = (1 if bold else 0) | (2 if italic else 0)
    if coordinates and "wght" in coordinates:
        static["OS/2"].usWeightClass = round(coordinates["wght"])
    static.save(os.path.join(out, "%s-%d.ttf" % (os.path.basename(path).split(".")[0], number)))
