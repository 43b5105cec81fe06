#!/usr/bin/python3
"""Makes the variable test fonts, their static twins, and the table of what our GDI must report.

    /usr/bin/python3 tests/variable_fonts/make_fonts.py [--out DIR]
    /usr/bin/python3 tests/variable_fonts/make_fonts.py --check

Each variable font is built by fontTools' varLib from masters that FontBuilder makes, one master at
every named instance (and at the default), so that every delta is a whole font unit and each named
instance is exactly one master: the instancer, and any renderer, reproduces it number for number.
For every named instance, fontTools' instancer (instantiateVariableFont) makes a static twin into
twins/, renamed to a family of its own ("DM12 Twin NN").

expected_faces.csv lists every face our GDI must enumerate, family by family in enumeration order:
its family name, its LOGFONTA fields, whether it is the family's representative, and its twin. The
family names are written out by hand with each recipe, instance by instance, as Windows names them
(its Bahnschrift for the font shaped like it), not computed by a copy of our naming rule; the
coordinates come from the built file's fvar as fontTools reads it. The LOGFONTA numbers come from the twins'
tables (MVAR, HVAR and gvar applied by the instancer), and the script asserts that the variable font
itself gives the same (its MVAR deltas and its advances at the instance).

With --check everything is made again in a temporary folder and compared with the committed files:
status 0 when the same, 1 when not. Byte for byte with the fontTools that made them; with another
(Debian 13's 4.57 against Debian 12's 4.38), which numbers its name records and encodes its
variation regions otherwise, each font by what it says (font_facts).
"""

import argparse
import array
import filecmp
import io
import os
import re
import sys
import tempfile

import fontTools
from fontTools.designspaceLib import AxisDescriptor, DesignSpaceDocument, InstanceDescriptor
from fontTools.designspaceLib import SourceDescriptor
from fontTools.fontBuilder import FontBuilder
from fontTools.otlLib.builder import buildStatTable
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables import ttProgram
from fontTools.varLib import build as build_variable_font
from fontTools.misc.roundTools import otRound
from fontTools.varLib.instancer import instantiateVariableFont
from fontTools.varLib.models import normalizeLocation
from fontTools.varLib.varStore import VarStoreInstancer

# 2025-01-01 00:00:00 UTC in seconds since 1904-01-01 (head.created and head.modified).
FIXED_TIMESTAMP = 2082844800 + 1735689600
FIRST_CODE, LAST_CODE = 32, 127
ELIDABLE = 0x0002
CJK_CODE_PAGE_BITS = (17, 18, 19, 20, 21)
JIS_CHARSET, ANSI_CHARSET = 128, 0
# PANOSE and IBM class of a sans face (DejaVu Sans'): FF_SWISS, and variable pitch.
SANS_PANOSE = dict(zip(("bFamilyType", "bSerifStyle", "bWeight", "bProportion", "bContrast",
                        "bStrokeVariation", "bArmStyle", "bLetterForm", "bMidline", "bXHeight"),
                       (2, 11, 6, 3, 3, 8, 4, 2, 2, 4)))
SANS_PITCH_AND_FAMILY = 0x20 | 0x02

# Four box glyphs share the printable codes; two ideographs for the CJK font.
SHAPES = ("box0", "box1", "box2", "box3")
IDEOGRAPHS = ((0x3001, "ideo0"), (0x65E5, "ideo1"))


class Recipe:
    """One variable font: what goes into it, and the faces GDI offers of it."""

    def __init__(self, file, family, axes, instances, faces, *, stat=None, typographic=None, em=1000,
                 italic=False, code_pages=(0,), outline="glyf", hinted=False, seed=0,
                 mvar=False, ideographs=False):
        self.file = file
        self.family = family            # name ID 1
        self.typographic = typographic  # (name ID 16, name ID 17) or None
        self.axes = axes                # [(tag, name, minimum, default, maximum)]
        self.instances = instances      # [(subfamily name, {tag: value})]
        # The face GDI offers of each named instance, or of the file where fvar names none:
        # (legacy family, "Regular", "Bold", "Italic" or "Bold Italic"); none for CFF2.
        self.faces = faces
        self.stat = stat                # (axes, values) for buildStatTable, or None for no STAT
        self.em = em
        self.italic = italic            # OS/2 fsSelection italic bit
        self.code_pages = code_pages
        self.outline = outline
        self.hinted = hinted            # cvt (and so cvar), prep and glyph instructions
        self.seed = seed
        self.mvar = mvar                # usWinAscent and usWinDescent vary (MVAR 'hcla', 'hcld')
        self.ideographs = ideographs

    def default(self):
        return {tag: default for tag, _name, _lo, default, _hi in self.axes}


def stat_axis(tag, name, ordering, values):
    """A buildStatTable axis; values: (name, value or (nominal, min, max), flags[, linked])."""
    out = []
    for entry in values:
        name_, value, flags = entry[:3]
        record = dict(name=name_, flags=flags)
        if isinstance(value, tuple):
            record.update(nominalValue=value[0], rangeMinValue=value[1], rangeMaxValue=value[2])
        else:
            record["value"] = value
        if len(entry) > 3:
            record["linkedValue"] = entry[3]
        out.append(record)
    return dict(tag=tag, name=name, ordering=ordering, values=out)


def the_recipes():
    recipes = []
    # Shaped like Bahnschrift: wght x wdth, 15 named instances in Bahnschrift's order, Regular and
    # Normal elidable; the family name has Bahnschrift's 11 bytes, so the cut names match Windows'.
    weights = (("Light", 300), ("SemiLight", 350), ("Regular", 400), ("SemiBold", 600),
               ("Bold", 700))
    widths = (("", 100), ("SemiCondensed", 87.5), ("Condensed", 75))
    schrift_instances, schrift_faces = [], []
    for width_name, width in widths:
        for weight_name, weight in weights:
            if width_name:
                name = width_name if weight_name == "Regular" else weight_name + " " + width_name
            else:
                name = weight_name
            schrift_instances.append((name, {"wght": weight, "wdth": width}))
    # As Windows names Bahnschrift's: the weight's name, then the width's, Regular and Normal
    # elided; Bold a style of the family without it.
    for width in ("", " SemiCondensed", " Condensed"):
        schrift_faces += [("DM12Schrift Light" + width, "Regular"),
                          ("DM12Schrift SemiLight" + width, "Regular"),
                          ("DM12Schrift" + width, "Regular"),
                          ("DM12Schrift SemiBold" + width, "Regular"),
                          ("DM12Schrift" + width, "Bold")]
    recipes.append(Recipe(
        "DM12Schrift.ttf", "DM12Schrift", [("wght", "Weight", 300, 400, 700),
                                           ("wdth", "Width", 75, 100, 100)],
        schrift_instances, schrift_faces, typographic=("DM12Schrift", "Regular"), mvar=True, hinted=True, seed=0,
        stat=[stat_axis("wght", "Weight", 0, [("Light", 300, 0), ("SemiLight", 350, 0),
                                              ("Regular", 400, ELIDABLE), ("SemiBold", 600, 0),
                                              ("Bold", 700, 0)]),
              stat_axis("wdth", "Width", 1, [("Condensed", 75, 0), ("SemiCondensed", 87.5, 0),
                                             ("Normal", 100, ELIDABLE)])]))

    # Shaped like Sitka: optical sizes named by ranges (STAT format 2), none elidable, listed after
    # the weight axis in STAT but ordered first; the weight's Regular links to Bold (format 3).
    # The optical size's name first, then the weight's; Regular elided, Bold a style.
    optik_instances, optik_faces = [], []
    for size_name, size in (("Small", 8), ("Text", 12), ("Banner", 24)):
        for weight_name, weight in (("Regular", 400), ("Semibold", 600), ("Bold", 700)):
            name = size_name if weight_name == "Regular" else size_name + " " + weight_name
            optik_instances.append((name, {"opsz": size, "wght": weight}))
        optik_faces += [("DM12 Optik " + size_name, "Regular"),
                        ("DM12 Optik %s Semibold" % size_name, "Regular"),
                        ("DM12 Optik " + size_name, "Bold")]
    recipes.append(Recipe(
        "DM12Optik.ttf", "DM12 Optik", [("opsz", "Optical size", 6, 12, 30),
                                        ("wght", "Weight", 400, 400, 700)],
        optik_instances, optik_faces, typographic=("DM12 Optik", "Text"), em=2048, mvar=True, seed=1,
        stat=[stat_axis("wght", "Weight", 1, [("Regular", 400, ELIDABLE, 700),
                                              ("Semibold", 600, 0), ("Bold", 700, 0)]),
              stat_axis("opsz", "Optical size", 0, [("Small", (8, 6, 10), 0),
                                                    ("Text", (12, 10, 18), 0),
                                                    ("Banner", (24, 18, 30), 0)])]))

    # No STAT: instances are named by their fvar subfamily names alone, Regular and Bold styles.
    recipes.append(Recipe(
        "DM12Plain.ttf", "DM12 Plain", [("wght", "Weight", 100, 400, 900)],
        [("Thin", {"wght": 100}), ("Regular", {"wght": 400}), ("Bold", {"wght": 700}),
         ("Extra Bold", {"wght": 800}), ("Black", {"wght": 900})],
        [("DM12 Plain Thin", "Regular"), ("DM12 Plain", "Regular"), ("DM12 Plain", "Bold"),
         ("DM12 Plain Extra Bold", "Regular"), ("DM12 Plain Black", "Regular")], seed=2))

    # The default location (wght 500) is no named instance.
    recipes.append(Recipe(
        "DM12Offset.ttf", "DM12 Offset", [("wght", "Weight", 200, 500, 800)],
        [("Light", {"wght": 300}), ("Regular", {"wght": 400}), ("Bold", {"wght": 700})],
        [("DM12 Offset Light", "Regular"), ("DM12 Offset", "Regular"), ("DM12 Offset", "Bold")],
        seed=3, stat=[stat_axis("wght", "Weight", 0, [("Light", 300, 0), ("Regular", 400, ELIDABLE),
                                              ("Medium", 500, 0), ("Bold", 700, 0)])]))

    # An fvar table with no named instance: one static face at the default.
    recipes.append(Recipe("DM12Lone.ttf", "DM12 Lone", [("wght", "Weight", 300, 400, 700)], [],
                          [("DM12 Lone", "Regular")], seed=4,
                          stat=[stat_axis("wght", "Weight", 0, [("Regular", 400, ELIDABLE)])]))

    # A roman file and its italic companion: STAT's ital axis (not in fvar) says which is which.
    duo_weights = (("Light", 300), ("Regular", 400), ("Bold", 700))
    duo_wght = stat_axis("wght", "Weight", 0, [("Light", 300, 0), ("Regular", 400, ELIDABLE),
                                               ("Bold", 700, 0)])
    recipes.append(Recipe(
        "DM12Duo-Roman.ttf", "DM12 Duo", [("wght", "Weight", 300, 400, 700)],
        [(name, {"wght": w}) for name, w in duo_weights],
        [("DM12 Duo Light", "Regular"), ("DM12 Duo", "Regular"), ("DM12 Duo", "Bold")], seed=5,
        hinted=True,
        stat=[duo_wght, stat_axis("ital", "Italic", 1, [("Roman", 0, ELIDABLE, 1)])]))
    recipes.append(Recipe(
        "DM12Duo-Italic.ttf", "DM12 Duo", [("wght", "Weight", 300, 400, 700)],
        [("Light Italic", {"wght": 300}), ("Italic", {"wght": 400}),
         ("Bold Italic", {"wght": 700})],
        [("DM12 Duo Light", "Italic"), ("DM12 Duo", "Italic"), ("DM12 Duo", "Bold Italic")],
        typographic=("DM12 Duo", "Italic"), italic=True, seed=6,
        hinted=True, stat=[duo_wght, stat_axis("ital", "Italic", 1, [("Italic", 1, 0)])]))

    # A Japanese one: JIS alone, two ideographs; "@" families.
    recipes.append(Recipe(
        "DM12Kanji.ttf", "DM12 Kanji", [("wght", "Weight", 300, 400, 700)],
        [("Light", {"wght": 300}), ("Regular", {"wght": 400}), ("Bold", {"wght": 700})],
        [("DM12 Kanji Light", "Regular"), ("DM12 Kanji", "Regular"), ("DM12 Kanji", "Bold")], seed=7,
        code_pages=(17,), ideographs=True, em=256,
        stat=[stat_axis("wght", "Weight", 0, [("Light", 300, 0), ("Regular", 400, ELIDABLE),
                                              ("Bold", 700, 0)])]))

    # CFF2 outlines: not offered at all.
    recipes.append(Recipe(
        "DM12Cubic.otf", "DM12 Cubic", [("wght", "Weight", 400, 400, 700)],
        [("Regular", {"wght": 400}), ("Bold", {"wght": 700})], [], outline="cff", seed=8,
        stat=[stat_axis("wght", "Weight", 0, [("Regular", 400, ELIDABLE), ("Bold", 700, 0)])]))
    return recipes


# -- building ----------------------------------------------------------------------------------------

def glyph_order(recipe):
    order = [".notdef", "space"] + list(SHAPES)
    if recipe.ideographs:
        order += [name for _code, name in IDEOGRAPHS]
    return order


def shape_of(code):
    return SHAPES[(code * 7) % len(SHAPES)]


def master_geometry(recipe, location):
    """{glyph: (xMin, xMax, advance, top)} in whole font units, and (usWinAscent, usWinDescent)."""
    scale = recipe.em / 1000
    weight = location.get("wght", 400)
    width = location.get("wdth", 100)
    size = location.get("opsz", 12)
    geometry = {}
    for number, name in enumerate(glyph_order(recipe)):
        base = 420 + ((number * 37 + recipe.seed * 53) % 240)
        advance = round(scale * (base * width / 100 + (weight - 400) * 0.3 + (size - 12) * 2))
        left = round(scale * (25 + (number * 11 + recipe.seed) % 40 - (size - 12)))
        right = advance - round(scale * (30 + (number * 13) % 50 - (weight - 400) / 10))
        top = round(scale * (700 if number % 2 else 500))
        geometry[name] = (left, right, advance, top)
    geometry["space"] = (None, None, round(scale * (250 + (weight - 400) / 10)), 0)
    ascent = round(scale * (900 + ((weight - 400) / 10 if recipe.mvar else 0)))
    descent = round(scale * (250 + ((100 - width) * 2 + (size - 12) if recipe.mvar else 0)))
    return geometry, (ascent, descent)


def draw(pen, recipe, left, right, top):
    slant = round(recipe.em * 0.1) if recipe.italic else 0
    pen.moveTo((left, 0))
    pen.lineTo((left + slant, top))
    pen.lineTo((right, top))
    pen.lineTo((right - slant, 0))
    pen.closePath()


def build_master(recipe, location):
    geometry, (ascent, descent) = master_geometry(recipe, location)
    is_ttf = recipe.outline == "glyf"
    fb = FontBuilder(recipe.em, isTTF=is_ttf)
    fb.font.recalcTimestamp = False
    fb.updateHead(created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP, fontRevision=1.0,
                  macStyle=2 if recipe.italic else 0)
    order = glyph_order(recipe)
    fb.setupGlyphOrder(order)
    cmap = {code: shape_of(code) for code in range(FIRST_CODE + 1, LAST_CODE + 1)}
    cmap[32] = "space"
    if recipe.ideographs:
        cmap.update(dict(IDEOGRAPHS))
    fb.setupCharacterMap(cmap)
    metrics = {}
    outlines = {}
    for name in order:
        left, right, advance, top = geometry[name]
        pen = TTGlyphPen(None) if is_ttf else T2CharStringPen(advance, None)
        if left is not None:
            draw(pen, recipe, left, right, top)
        outlines[name] = pen.glyph() if is_ttf else pen.getCharString()
        metrics[name] = (advance, left if left is not None else 0)
    if is_ttf:
        fb.setupGlyf(outlines)
    else:
        fb.setupCFF(recipe.family.replace(" ", ""), {"FullName": recipe.family}, outlines, {})
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ascent, descent=-descent, lineGap=0)
    if is_ttf:
        # A control value that varies (so cvar), a control-value program that reads it, and
        # instructions in the box glyphs that touch a point vertically only, so that the
        # interpreter runs without moving an edge across.
        weight = location.get("wght", 400)
        cvt = fb.font["cvt "] = newTable("cvt ")
        # Several entries, so that the variation data outweighs the tuple headers: FreeType
        # 2.12 rejects a cvar table whose data is shorter than four bytes per tuple.
        cvt.values = array.array("h", [round(recipe.em * 0.07) + number
                                       + (round((weight - 400) / 10) if recipe.hinted else 0)
                                       for number in range(6)])
        prep = fb.font["prep"] = newTable("prep")
        prep.program = ttProgram.Program()
        prep.program.fromAssembly(["SVTCA[0]"] + (["PUSHB[ ] 0", "RCVT[ ]", "POP[ ]"]
                                                  if recipe.hinted else []))
        if recipe.hinted:
            for name in SHAPES:
                program = ttProgram.Program()
                program.fromAssembly(["SVTCA[0]", "PUSHB[ ] 0", "MDAP[1]"])
                fb.font["glyf"][name].program = program
    names = fb.font["name"] = newTable("name")
    names.names = []
    style = recipe.typographic[1] if recipe.typographic else ("Italic" if recipe.italic else "Regular")
    ps_name = recipe.family.replace(" ", "") + "-" + style
    strings = {0: "Made by tests/variable_fonts/make_fonts.py of dump_metrics12; free to use.",
               1: recipe.family, 2: "Italic" if recipe.italic else "Regular",
               3: "DM12:" + ps_name + ":2025", 4: recipe.family + " " + style,
               5: "Version 1.000", 6: ps_name, 25: recipe.family.replace(" ", "")}
    if recipe.typographic:
        strings[16], strings[17] = recipe.typographic
    for name_id, string in sorted(strings.items()):
        names.setName(string, name_id, 3, 1, 0x409)
    code_page_bits = 0
    for bit in recipe.code_pages:
        code_page_bits |= 1 << bit
    fs_selection = 0x01 if recipe.italic else 0x40
    fb.setupOS2(version=4, usWeightClass=round(location.get("wght", 400)), usWidthClass=5,
                fsType=0, sFamilyClass=0, panose=SANS_PANOSE, achVendID="DM12",
                fsSelection=fs_selection, sTypoAscender=ascent, sTypoDescender=-descent,
                sTypoLineGap=0, usWinAscent=ascent, usWinDescent=descent,
                ulCodePageRange1=code_page_bits, ulCodePageRange2=0,
                sxHeight=round(recipe.em * 0.5), sCapHeight=round(recipe.em * 0.7), usDefaultChar=0,
                usBreakChar=32, usMaxContext=0)
    fb.font["OS/2"].recalcAvgCharWidth(fb.font)
    fb.setupPost(keepGlyphNames=False, italicAngle=-12 if recipe.italic else 0)
    return fb.font


def build_variable(recipe):
    """The variable font as bytes: varLib over one master at each named instance and the default."""
    document = DesignSpaceDocument()
    for tag, name, minimum, default, maximum in recipe.axes:
        axis = AxisDescriptor()
        axis.tag, axis.name = tag, name
        axis.minimum, axis.default, axis.maximum = minimum, default, maximum
        document.addAxis(axis)
    tag_names = {tag: name for tag, name, *_ in recipe.axes}
    locations = [recipe.default()]
    for _name, location in recipe.instances:
        full = dict(recipe.default(), **location)
        if full not in locations:
            locations.append(full)
    for number, location in enumerate(locations):
        source = SourceDescriptor()
        source.font = build_master(recipe, location)
        source.name = "master%d" % number
        source.location = {tag_names[tag]: value for tag, value in location.items()}
        document.addSource(source)
    for name, location in recipe.instances:
        instance = InstanceDescriptor()
        instance.styleName = name
        instance.familyName = recipe.family
        instance.location = {tag_names[tag]: value for tag, value in location.items()}
        document.addInstance(instance)
    font, _model, _masters = build_variable_font(document, exclude=["STAT"])
    font.recalcTimestamp = False
    if recipe.stat:
        buildStatTable(font, recipe.stat, elidedFallbackName=2, macNames=False)
    data = io.BytesIO()
    font.save(data)
    return data.getvalue()


def make_twin(variable_data, location, family, italic):
    """The static instance the instancer makes, as a family of its own with one regular face."""
    font = instantiateVariableFont(TTFont(io.BytesIO(variable_data), recalcTimestamp=False),
                                   dict(location))
    font.recalcTimestamp = False
    # As the average width of an instance is defined: the mean of its nonzero advances.
    font["OS/2"].recalcAvgCharWidth(font)
    for tag in ("STAT",):
        if tag in font:
            del font[tag]
    style = "Italic" if italic else "Regular"
    names = font["name"]
    names.names = [record for record in names.names if record.nameID not in (16, 17, 25)]
    ps_name = family.replace(" ", "") + "-" + style
    for name_id, string in ((1, family), (2, style), (3, "DM12:" + ps_name + ":2025"),
                            (4, family + " " + style), (6, ps_name)):
        names.setName(string, name_id, 3, 1, 0x409)
    font["OS/2"].fsSelection = (font["OS/2"].fsSelection & ~0x61) | (0x01 if italic else 0x40)
    font["head"].macStyle = 2 if italic else 0
    data = io.BytesIO()
    font.save(data)
    return data.getvalue(), font


# -- what our GDI reports for a variable font -----------------------------------------------------

def windows_name(font, name_id):
    """A name table string, Windows English first, then any Windows record; None where missing."""
    records = [r for r in font["name"].names if r.nameID == name_id and r.platformID == 3]
    records.sort(key=lambda r: (r.langID != 0x409, r.langID))
    return records[0].toUnicode() if records else None


def gdi_bytes(name):
    """A family name as lfFaceName holds it: Windows-1252, '?' for what it lacks, cut to 31 bytes."""
    return name.encode("cp1252", "replace")[:31]


def stated_faces(recipe, font):
    """Each face of a variable font as its recipe states it: (family, base, instance number,
    coordinates, italic, bold), the coordinates and the base (the typographic family, which orders
    the families) read from the built file."""
    if not recipe.faces:
        return []
    instances = font["fvar"].instances
    if not instances:
        (family, style), = recipe.faces
        return [(family, None, None, {}, "Italic" in style, "Bold" in style)]
    assert len(instances) == len(recipe.faces), recipe.file
    base = windows_name(font, 16) or windows_name(font, 1)
    return [(family, base, number, dict(instance.coordinates), "Italic" in style, "Bold" in style)
            for number, (instance, (family, style)) in enumerate(zip(instances, recipe.faces))]


def faces_of_file(path):
    """stated_faces for the committed variable font at `path`; None for a file no recipe makes."""
    recipe = next((r for r in the_recipes() if r.file == os.path.basename(path)), None)
    return None if recipe is None else stated_faces(recipe, TTFont(path))


def mul_div(a, b, c):
    """MulDiv: a * b / c rounded to the nearest integer, halves away from zero."""
    q, r = divmod(abs(a * b), abs(c))
    if 2 * r >= abs(c):
        q += 1
    return -q if (a < 0) != (b < 0) != (c < 0) else q


def logfont_numbers(static_font):
    """(lfHeight, lfWidth) of a static font, or of an instance from its instancer twin."""
    os2 = static_font["OS/2"]
    cell = os2.usWinAscent + os2.usWinDescent
    height = mul_div(32, cell, static_font["head"].unitsPerEm)
    return height, mul_div(height, os2.xAvgCharWidth, cell)


def instance_logfont_numbers(font, coordinates):
    """(lfHeight, lfWidth) of a named instance read from the variable font itself: the cell after
    MVAR's 'hcla' and 'hcld', the mean of the nonzero advances at the instance (HVAR, gvar)."""
    glyphs = font.getGlyphSet(location=coordinates)
    advances = [glyphs[name].width for name in font.getGlyphOrder() if glyphs[name].width > 0]
    average = otRound(sum(advances) / len(advances))
    os2 = font["OS/2"]
    cell = {"hcla": os2.usWinAscent, "hcld": os2.usWinDescent}
    if "MVAR" in font:
        axes = {a.axisTag: (a.minValue, a.defaultValue, a.maxValue) for a in font["fvar"].axes}
        deltas = VarStoreInstancer(font["MVAR"].table.VarStore, font["fvar"].axes,
                                   normalizeLocation(coordinates, axes))
        for record in font["MVAR"].table.ValueRecord:
            if record.ValueTag in cell:
                cell[record.ValueTag] += otRound(deltas[record.VarIdx])
    cell = cell["hcla"] + cell["hcld"]
    height = mul_div(32, cell, font["head"].unitsPerEm)
    return height, mul_div(height, average, cell)


def charset(font):
    bits = [b for b in range(32) if font["OS/2"].ulCodePageRange1 >> b & 1]
    return ANSI_CHARSET if 0 in bits else JIS_CHARSET if bits == [17] else None


# -- writing -----------------------------------------------------------------------------------------

# The families of the Bahnschrift-shaped font, in order: Windows' list for Bahnschrift with the
# word replaced (both names are 11 bytes, so the 31-byte cuts fall in the same places).
BAHNSCHRIFT_ORDER = [
    "Bahnschrift Light", "Bahnschrift SemiLight", "Bahnschrift", "Bahnschrift SemiBold",
    "Bahnschrift Light SemiCondensed", "Bahnschrift SemiLight SemiConde",
    "Bahnschrift SemiCondensed", "Bahnschrift SemiBold SemiConden", "Bahnschrift Light Condensed",
    "Bahnschrift SemiLight Condensed", "Bahnschrift Condensed", "Bahnschrift SemiBold Condensed"]


# The families of every other font, in enumeration order.
OTHER_FAMILIES = {
    "DM12Optik.ttf": ["DM12 Optik Small", "DM12 Optik Small Semibold", "DM12 Optik Text",
                      "DM12 Optik Text Semibold", "DM12 Optik Banner",
                      "DM12 Optik Banner Semibold"],
    "DM12Plain.ttf": ["DM12 Plain Thin", "DM12 Plain", "DM12 Plain Extra Bold", "DM12 Plain Black"],
    "DM12Offset.ttf": ["DM12 Offset Light", "DM12 Offset"],
    "DM12Lone.ttf": ["DM12 Lone"],
    "DM12Duo-Roman.ttf": ["DM12 Duo Light", "DM12 Duo"],
    "DM12Duo-Italic.ttf": ["DM12 Duo Light", "DM12 Duo"],
    "DM12Kanji.ttf": ["DM12 Kanji Light", "@DM12 Kanji Light", "DM12 Kanji", "@DM12 Kanji"],
    "DM12Cubic.otf": [],
}


def escape(name_bytes):
    return "".join(chr(b) if 0x20 <= b < 0x7F and b not in b"\\,\"" else "\\x%02x" % b
                   for b in name_bytes)


def rank(face):
    """Representative order: regular, bold, italic, bold italic, then weight nearest 400."""
    return ((2 if face["italic"] else 0) + (1 if face["bold"] else 0), abs(face["weight"] - 400))


def enumeration_order(faces):
    """Families in enumeration order: [(name bytes, [faces])], each "@" family right after its
    horizontal one."""
    groups = {}
    for face in faces:
        groups.setdefault(face["family"].lower(), []).append(face)
    families = []
    for members in groups.values():
        instance_only = all(m["instance"] is not None for m in members)
        key = min(((m["base"].lower(), m["instance"], m["file"]) if instance_only
                   else (m["family"].lower(), -1, "")) for m in members)
        members.sort(key=rank)
        families.append((key, members[0]["family"], members))
    families.sort(key=lambda f: f[0])
    order = []
    for _key, name, members in families:
        order.append((name, members))
        if any(m["cjk"] for m in members):
            order.append(((b"@" + name)[:31], members))
    return order


def make_all(out):
    os.makedirs(os.path.join(out, "twins"), exist_ok=True)
    faces = []
    twin_number = 0
    for recipe in the_recipes():
        data = build_variable(recipe)
        with open(os.path.join(out, recipe.file), "wb") as f:
            f.write(data)
        font = TTFont(io.BytesIO(data))
        cjk = any(font["OS/2"].ulCodePageRange1 >> b & 1 for b in CJK_CODE_PAGE_BITS)
        for family, base, number, coordinates, italic, bold in stated_faces(recipe, font):
            face = dict(file=recipe.file, family=gdi_bytes(family), base=gdi_bytes(base or family),
                        instance=number, italic=italic, bold=bold, cjk=cjk,
                        charset=charset(font), twin=b"")
            if number is None:
                face["weight"] = font["OS/2"].usWeightClass
                face["height"], face["width"] = logfont_numbers(font)
            else:
                twin_number += 1
                twin_family = "DM12 Twin %02d" % twin_number
                twin_data, twin = make_twin(data, coordinates, twin_family, italic)
                with open(os.path.join(out, "twins", "DM12Twin%02d.ttf" % twin_number), "wb") as f:
                    f.write(twin_data)
                face["weight"] = round(coordinates.get("wght", font["OS/2"].usWeightClass))
                assert twin["OS/2"].usWeightClass == face["weight"], recipe.file
                face["height"], face["width"] = logfont_numbers(twin)
                # The twin's numbers are the instance's as the variable font itself gives them.
                assert (face["height"], face["width"]) == instance_logfont_numbers(
                    font, coordinates), (recipe.file, number)
                face["twin"] = gdi_bytes(twin_family)
                faces.append(dict(face, file="twins/DM12Twin%02d.ttf" % twin_number,
                                  family=face["twin"], base=face["twin"], instance=None, bold=False,
                                  twin=b""))
            faces.append(face)
    order = enumeration_order(faces)
    schrift = [name.decode() for name, _ in order if name.startswith(b"DM12Schrift")]
    assert schrift == [n.replace("Bahnschrift", "DM12Schrift") for n in BAHNSCHRIFT_ORDER], schrift
    for file, expected in OTHER_FAMILIES.items():
        got = [name.decode() for name, members in order if any(m["file"] == file for m in members)]
        assert got == expected, (file, got)

    lines = ["# Every face our GDI must enumerate in tests/variable_fonts, family by family in the",
             "# order EnumFontFamiliesA(dc, NULL) reports the families. Made by make_fonts.py: do",
             "# not edit. representative: 1 for the face the family's own LOGFONTA realizes; twin:",
             "# the family of the instance's static twin (the instancer's), empty for static faces.",
             "# Every LOGFONTA also has lfCharSet as given and lfPitchAndFamily 0x22, TRUETYPE.",
             "family,representative,lfWeight,lfItalic,lfHeight,lfWidth,lfCharSet,file,instance,"
             "twin"]
    for name, members in order:
        for position, face in enumerate(members):
            # An "@" family's twin is the twin's "@" family.
            twin = face["twin"]
            if name[:1] == b"@" and twin:
                twin = (b"@" + twin)[:31]
            lines.append(",".join([escape(name), str(int(position == 0)), str(face["weight"]),
                                   str(255 if face["italic"] else 0), str(face["height"]),
                                   str(face["width"]), str(face["charset"]), face["file"],
                                   "" if face["instance"] is None else str(face["instance"] + 1),
                                   escape(twin)]))
    with open(os.path.join(out, "expected_faces.csv"), "w", encoding="utf-8", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
    with open(os.path.join(out, "MADE_WITH"), "w", encoding="utf-8", newline="\n") as f:
        f.write("Made with fontTools %s.\n" % fontTools.version)
    return sorted(os.path.relpath(os.path.join(d, n), out)
                  for d, _dirs, files in os.walk(out) for n in files)


def table_dump(font, tag):
    dump = io.StringIO()
    font.saveXML(dump, tables=[tag])
    # The checksum is of the bytes, the version of the fontTools that reads.
    return [line for line in dump.getvalue().splitlines()
            if "checkSumAdjustment" not in line and "ttLibVersion" not in line]


def font_facts(path):
    """What a font says, whatever fontTools compiled it: its Windows names
    below 256; its axes, named instances and STAT values with their names as
    strings (not name IDs); its tables that do not vary; and at the default
    and each named instance, the outlines and metrics the instancer gives, as a
    font file would hold them (whole units), not how the variations encode
    them."""
    font = TTFont(path)
    names = {record.nameID: record.toUnicode() for record in font["name"].names
             if record.platformID == 3}
    facts = {"names": sorted((i, text) for i, text in names.items() if i < 256)}
    if "fvar" in font:
        axes = font["fvar"].axes
        facts["axes"] = [(a.axisTag, a.minValue, a.defaultValue, a.maxValue, a.flags,
                          names.get(a.axisNameID)) for a in axes]
        facts["instances"] = [(sorted(i.coordinates.items()), names.get(i.subfamilyNameID),
                               names.get(i.postscriptNameID), i.flags)
                              for i in font["fvar"].instances]
    if "STAT" in font:
        stat = font["STAT"].table
        facts["STAT axes"] = [(a.AxisTag, names.get(a.AxisNameID), a.AxisOrdering)
                              for a in stat.DesignAxisRecord.Axis]
        facts["STAT values"] = [
            (sorted((key, value) for key, value in vars(v).items() if key != "ValueNameID"
                    and key != "AxisValueRecord"),
             [(r.AxisIndex, r.Value) for r in getattr(v, "AxisValueRecord", [])],
             names.get(v.ValueNameID))
            for v in (stat.AxisValueArray.AxisValue if stat.AxisValueArray else [])]
        facts["STAT elided"] = names.get(getattr(stat, "ElidedFallbackNameID", None))
    varying = {"fvar", "gvar", "HVAR", "MVAR", "STAT", "avar", "cvar", "name", "GlyphOrder"}
    for tag in font.keys():
        if tag not in varying:
            facts["table " + tag] = table_dump(font, tag)
    if "fvar" in font:
        locations = [{}] + [dict(i.coordinates) for i in font["fvar"].instances]
        for n, location in enumerate(locations):
            at = {a.axisTag: location.get(a.axisTag, a.defaultValue) for a in font["fvar"].axes}
            data = io.BytesIO()
            instantiateVariableFont(TTFont(path), at).save(data)
            data.seek(0)
            static = TTFont(data)
            for tag in ("glyf", "CFF ", "hmtx", "hhea", "OS/2", "post"):
                if tag in static:
                    facts["at instance %d: %s" % (n, tag)] = table_dump(static, tag)
    return facts


def twin_facts(path):
    """A twin's facts but for hhea's ascent, descent and line gap: fontTools
    4.38's instancer left them at the default's where 4.57's applies MVAR's
    hasc, hdsc and hlgp. GDI reads the OS/2 table's, which every twin has."""
    facts = font_facts(path)
    facts["table hhea"] = [line for line in facts["table hhea"]
                           if not re.match(r"\s*<(ascent|descent|lineGap) ", line)]
    return facts


def same_file(made, committed, same_fonttools):
    if same_fonttools:
        return filecmp.cmp(made, committed, shallow=False)
    if made.endswith((".ttf", ".otf")):
        facts = twin_facts if os.path.basename(os.path.dirname(made)) == "twins" else font_facts
        return facts(made) == facts(committed)
    # MADE_WITH names the version; the tables are the script's own text.
    return made.endswith("MADE_WITH") or filecmp.cmp(made, committed, shallow=False)


def check(here):
    with open(os.path.join(here, "MADE_WITH"), encoding="utf-8") as f:
        found = re.search(r"^Made with fontTools (\S+)\.$", f.read(), re.M)
    same_fonttools = bool(found) and found.group(1) == fontTools.version
    if not same_fonttools:
        print("the committed fonts were made with fontTools %s, this is %s: comparing what they say"
              % (found.group(1) if found else "?", fontTools.version))
    with tempfile.TemporaryDirectory(prefix="dm12-variable-fonts-") as fresh:
        made = make_all(fresh)
        committed = sorted(os.path.relpath(os.path.join(d, n), here)
                           for d, _dirs, files in os.walk(here) for n in files
                           if n.endswith((".ttf", ".otf", ".csv")) or n == "MADE_WITH")
        problems = ["%s: made by the script, not committed" % n for n in made if n not in committed]
        problems += ["%s: committed, but the script does not make it" % n
                     for n in committed if n not in made]
        problems += ["%s: differs from what the script makes" % n for n in made if n in committed
                     and not same_file(os.path.join(fresh, n), os.path.join(here, n),
                                       same_fonttools)]
    if problems:
        print("tests/variable_fonts is not what make_fonts.py makes (run /usr/bin/python3 "
              "tests/variable_fonts/make_fonts.py):\n  " + "\n  ".join(problems))
        return 1
    print("make_fonts.py made the %d committed files again, %s"
          % (len(made), "byte for byte" if same_fonttools else "each font by what it says"))
    return 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default=here, help="folder to write into (default: the script's)")
    parser.add_argument("--check", action="store_true",
                        help="make everything in a temporary folder and compare with the script's")
    args = parser.parse_args()
    if args.check:
        return check(here)
    make_all(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
