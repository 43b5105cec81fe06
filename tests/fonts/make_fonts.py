#!/usr/bin/python3
"""Makes the project's private test font set and the table of what our GDI must report for it.

Run it with Debian's Python, which has fontTools (package python3-fonttools):

    /usr/bin/python3 tests/fonts/make_fonts.py [--out DIR]
    /usr/bin/python3 tests/fonts/make_fonts.py --check

It writes the fonts, expected_faces.csv, expected_families.csv, expected_widths.csv and EXPECTED.md
into DIR (by default the folder this script lies in). Every run writes the same bytes: timestamps are
fixed, nothing is random, nothing depends on the clock, the locale or the order of a hash. With
--check it writes them into a temporary folder instead and compares them with the files in the
script's folder: exit status 0 when all are the same, 1 when not. Byte for byte with the fontTools
that made the committed files; with another (Debian 13's 4.57 against Debian 12's 4.38), which may
compile the same tables to other bytes, each font table for table as fontTools reads it back.

The fonts are tiny and made for measuring, not for reading: every glyph of codes 33..127 is one
rectangle (a parallelogram in italic faces) drawn from the widths it must have, A, B and the
advance in whole pixels at the size the enumeration's LOGFONTA realizes: its edges half-way across
the end pixels of its black box, its advance on a whole pixel. At that size the expected widths
are simply the design. The glyphs have no TrueType instructions and no CFF hints, and the TrueType
fonts a one-instruction control-value program, so that no renderer auto-hints them: the outlines
are simply scaled.

Each face's enumerated lfHeight, lfWidth and pixels per em, and each other request's pixels per
em and stretch, are written out by hand beside it, not computed by a copy of MulDiv. The few
requests at another size or with a stretch take their widths from small tables worked out by
hand (OtherSize), not from a copy of the rules GDI measures by, so that the tests in
tests/freetype_gdi are an independent check of our GDI.

The fonts with device metrics (DeviceFace: VDMX, hdmx, glyph instructions, gasp) are the
exception to both paragraphs: a few glyphs drawn in font units, and widths written out by
hand, not computed, so that no copy of the rules they test stands in for them.
"""

import argparse
import filecmp
import io
from fractions import Fraction
import os
import re
import sys
import tempfile

import fontTools

from fontTools.fontBuilder import FontBuilder
from fontTools.ttLib.tables import ttProgram
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection, TTFont, newTable
from fontTools.ttLib.tables._c_m_a_p import cmap_classes

# 2025-01-01 00:00:00 UTC in seconds since 1904-01-01, the epoch of head.created and head.modified.
FIXED_TIMESTAMP = 2082844800 + 1735689600

# Font types (as GDI reports it).
TRUETYPE_FONTTYPE = 0x4
DEVICE_FONTTYPE = 0x2

# The least distance, in pixels, between an edge and a pixel boundary, or between an advance and a
# rounding midpoint, that the expected table relies on.
MARGIN = 0.1

FIRST_CODE, LAST_CODE = 32, 127

# OS/2 ulCodePageRange1 bits and the character set each stands for (GDI: lfCharSet is the
# character set of the face's first code-page bit).
CODE_PAGE_CHARSET = {
    0: 0,     # Latin 1: ANSI_CHARSET
    1: 238,   # Latin 2: EASTEUROPE_CHARSET
    2: 204,   # Cyrillic: RUSSIAN_CHARSET
    3: 161,   # Greek
    4: 162,   # Turkish
    5: 177,   # Hebrew
    6: 178,   # Arabic
    7: 186,   # Baltic
    8: 163,   # Vietnamese
    16: 222,  # Thai
    17: 128,  # JIS: SHIFTJIS_CHARSET
    18: 134,  # GB2312
    19: 129,  # Hangeul (Wansung)
    20: 136,  # Big5
    21: 130,  # Johab
    31: 2,    # Symbol: SYMBOL_CHARSET
}
CJK_CODE_PAGE_BITS = (17, 18, 19, 20, 21)

# PANOSE (10 bytes) and IBM class (sFamilyClass) of each design kind, and the lfPitchAndFamily family
# bits they give. The two always agree, so that any reading of "from the PANOSE and IBM class" gives
# the same family. Sans and Mono copy DejaVu Sans and DejaVu Sans Mono, GDI's documented examples.
KINDS = {
    # kind: (panose, sFamilyClass, family bits)
    "sans": ((2, 11, 6, 3, 3, 8, 4, 2, 2, 4), 0x0000, 0x20),      # FF_SWISS
    "serif": ((2, 2, 6, 3, 5, 4, 5, 2, 3, 4), 0x0105, 0x10),      # FF_ROMAN
    "mono": ((2, 11, 6, 9, 3, 8, 4, 2, 2, 4), 0x0000, 0x30),      # FF_MODERN
    "script": ((3, 1, 1, 1, 1, 1, 1, 1, 1, 1), 0x0A00, 0x40),     # FF_SCRIPT
    "decorative": ((4, 2, 6, 3, 2, 2, 2, 2, 2, 2), 0x0900, 0x50),  # FF_DECORATIVE
    "dontcare": ((0,) * 10, 0x0000, 0x00),                        # FF_DONTCARE
}

PANOSE_FIELDS = ("bFamilyType", "bSerifStyle", "bWeight", "bProportion", "bContrast",
                 "bStrokeVariation", "bArmStyle", "bLetterForm", "bMidline", "bXHeight")

LANG_EN_US, LANG_DE_DE, LANG_JA_JP, LANG_ZH_CN = 0x409, 0x407, 0x411, 0x804


class Face:
    """One face: what goes into its font and what the rules make of it."""

    def __init__(self, file, family, style, *, index=0, em=1024, win=(896, 256), hhea=None,
                 weight=400, italic=False, kind="sans", code_pages=(0,), outline="glyf",
                 symbol=False, fixed_pitch=False, missing=(), seed=0, base_advance=10,
                 avg_px=14, extra_names=(), windows_family_langs=(LANG_EN_US,),
                 typographic=None, copied_glyphs=(), lf_height=None, ppem=32):
        self.file = file
        self.index = index              # face index inside a collection
        self.family = family            # name ID 1 (str; may hold non-ASCII characters)
        self.style = style              # name ID 2
        self.em = em
        self.win = win                  # (usWinAscent, usWinDescent)
        self.hhea = hhea or (win[0], -win[1])  # (ascender, descender)
        self.weight = weight
        self.italic = italic
        self.bold = weight >= 600 and style in ("Bold", "Bold Italic")
        self.kind = kind
        self.code_pages = tuple(code_pages)
        self.outline = outline
        self.symbol = symbol
        self.fixed_pitch = fixed_pitch
        self.missing = frozenset(missing)
        self.seed = seed
        self.base_advance = base_advance
        self.avg_px = avg_px
        # The enumerated lfHeight, the cell at 32 pixels per em, and the pixels per em it
        # realizes, worked out by hand beside each face below (not by a copy of MulDiv).
        self.lf_height = lf_height
        self.enum_ppem = ppem
        self.extra_names = tuple(extra_names)  # (platformID, platEncID, langID, nameID, string)
        self.windows_family_langs = tuple(windows_family_langs)
        self.typographic = typographic    # (name ID 16, name ID 17) or None
        # (character above 127, code 33..126 whose glyph it copies): characters that only
        # double-byte codes reach.
        self.copied_glyphs = tuple(copied_glyphs)
        self.glyphs = {}                  # code -> (xMin, xMax, advance) in font units, or None
        self.programs = {}                # glyph name -> TrueType instructions (assembly)

    # -- the numbers GDI derives from the font --

    @property
    def cell(self):
        if self.win[0] == 0 and self.win[1] == 0:
            return self.hhea[0] - self.hhea[1]
        return self.win[0] + self.win[1]

    @property
    def ppem(self):
        """The pixels per em the enumerated LOGFONTA realizes: the size the glyphs are designed for."""
        return self.enum_ppem

    @property
    def lf_width(self):
        """The enumerated lfWidth: the average width in whole pixels at the design size (the
        advance, at fixed pitch), which xAvgCharWidth is made from."""
        return self.base_advance if self.fixed_pitch else self.avg_px

    @property
    def ps_name(self):
        ascii_family = self.family.encode("ascii", "replace").decode().replace("?", "")
        return (ascii_family.replace(" ", "") + "-" + self.style.replace(" ", ""))[:63]


# -- glyph design ------------------------------------------------------------------------------------
#
# Each glyph is stated as the widths GDI must report for it at the size it is designed for (face.ppem),
# in whole pixels: A, B and the advance. Its outline is drawn from them: the left edge half-way across
# the first pixel of the black box (A + 0.5), the right edge half-way across the last (A + B - 0.5),
# the advance on a whole pixel. So at that size the expected widths are the design itself, as far as
# can be from any place where floor, ceil or rounding could go either way.

def design_px(face, key):
    """(A, B, advance) in pixels at face.ppem of the glyph of code `key`, or of glyph 0 ('.notdef').

    The numbers vary with the code and the face's seed so that a wrong code, face or font shows in
    the widths; some glyphs start left of the origin (negative A) and some end past the advance
    (negative C). The space has no outline: GDI gives a glyph without one A 0 and B 1.
    """
    if key == ".notdef":
        n = face.base_advance + 2
        return 1, n - 2, n
    if key == 32:
        return 0, 1, face.base_advance if face.fixed_pitch else 6 + face.seed % 3
    s = face.seed
    if face.fixed_pitch:
        n = face.base_advance
    else:
        n = face.base_advance + (key * 7 + s) % 6
    a = (key * 3 + s) % 5 - 1                  # -1 .. 3
    w = 2 + (key * 5 + s) % (n - 1)            # 2 .. n
    if face.bold:
        w += 2
        if not face.fixed_pitch:
            n += 1
    slant = 2 if face.italic else 0
    return a, w + slant + 1, n


def to_units(face, px):
    units = round(px * face.em / face.ppem)
    # Rounding to font units must leave each edge well inside its pixel.
    assert abs(units * face.ppem / face.em - px) < MARGIN, (face.file, px)
    return units


def make_glyph_units(face):
    """Fills face.glyphs: code -> (xMin, xMax, advance) in font units, None for the space; and key
    '.notdef' for glyph 0. A DeviceFace brings its own."""
    if isinstance(face, DeviceFace):
        return
    glyphs = {}
    for key in [".notdef"] + [c for c in range(FIRST_CODE, LAST_CODE + 1) if c not in face.missing]:
        a, b, advance = design_px(face, key)
        if key == 32:
            glyphs[key] = (None, None, to_units(face, advance))
        else:
            glyphs[key] = (to_units(face, a + 0.5), to_units(face, a + b - 0.5),
                           to_units(face, advance))
    for character, code in face.copied_glyphs:
        glyphs[character] = glyphs[code]
    face.glyphs = glyphs


def glyph_name(code):
    return "space" if code == 32 else "g%04X" % code


def draw(pen, face, x_min, x_max, code):
    """A rectangle from x_min to x_max (a parallelogram with the same extremes in italic faces)."""
    cap = round(face.em * 0.7)
    bottom = -round(face.em * 0.2) if code is not None and chr(code) in "gjpqy" else 0
    top = cap if code is None or code % 2 else round(face.em * 0.5)
    slant = to_units(face, 2) if face.italic else 0
    # Clockwise (TrueType's outer contour direction); CFF takes it either way.
    pen.moveTo((x_min, bottom))
    pen.lineTo((x_min + slant, top))
    pen.lineTo((x_max, top))
    pen.lineTo((x_max - slant, bottom))
    pen.closePath()


# -- building a font ---------------------------------------------------------------------------------

def glyph_key(face, name):
    """The key of glyph `name` in face.glyphs."""
    if isinstance(face, DeviceFace) or name == ".notdef":
        return name
    return 32 if name == "space" else int(name[1:], 16)


def build_font(face):
    make_glyph_units(face)
    is_ttf = face.outline == "glyf"
    fb = FontBuilder(face.em, isTTF=is_ttf)
    fb.font.recalcTimestamp = False
    # Head flags bit 4 (instructions may alter advance widths) where the advances are not linear.
    fb.updateHead(created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP,
                  macStyle=(1 if face.bold else 0) | (2 if face.italic else 0),
                  fontRevision=1.0,
                  flags=0x0003 | (0x0010 if isinstance(face, DeviceFace) and face.nonlinear else 0))

    if isinstance(face, DeviceFace):
        order = list(face.glyphs)
    else:
        order = [".notdef"] + [glyph_name(c) for c in range(FIRST_CODE, LAST_CODE + 1)
                               if c not in face.missing]
        order += [glyph_name(character) for character, _ in face.copied_glyphs]
    fb.setupGlyphOrder(order)

    # cmap: Unicode (3,1) and (0,3) at the codes, or Windows symbol (3,0) at 0xF000 + code.
    cmapping = {}
    for c in range(FIRST_CODE, LAST_CODE + 1):
        if isinstance(face, DeviceFace):
            cmapping[c] = face.glyph_of(c)
        elif c not in face.missing:
            cmapping[(0xF000 + c) if face.symbol else c] = glyph_name(c)
    for character, _ in face.copied_glyphs:
        cmapping[character] = glyph_name(character)
    if face.symbol:
        sub = cmap_classes[4](4)
        sub.platformID, sub.platEncID, sub.language = 3, 0, 0
        sub.cmap = cmapping
        fb.font["cmap"] = newTable("cmap")
        fb.font["cmap"].tableVersion = 0
        fb.font["cmap"].tables = [sub]
    else:
        fb.setupCharacterMap(cmapping)

    metrics = {}
    if is_ttf:
        glyf = {}
        for name in order:
            key = glyph_key(face, name)
            x_min, x_max, adv = face.glyphs[key]
            pen = TTGlyphPen(None)
            if x_min is not None:
                draw(pen, face, x_min, x_max, key if isinstance(key, int) else None)
            glyf[name] = pen.glyph()
            if name in face.programs:
                glyf[name].program = ttProgram.Program()
                glyf[name].program.fromAssembly(face.programs[name])
            metrics[name] = (adv, x_min if x_min is not None else 0)
        fb.setupGlyf(glyf)
    else:
        charstrings = {}
        for name in order:
            key = glyph_key(face, name)
            x_min, x_max, adv = face.glyphs[key]
            pen = T2CharStringPen(adv, None)
            if x_min is not None:
                draw(pen, face, x_min, x_max, None if key == ".notdef" else key)
            charstrings[name] = pen.getCharString()
            metrics[name] = (adv, x_min if x_min is not None else 0)
        fb.setupCFF(face.ps_name, {"FullName": full_name(face), "FamilyName": face.family,
                                   "Weight": face.style, "isFixedPitch": int(face.fixed_pitch),
                                   "ItalicAngle": -12 if face.italic else 0},
                    charstrings, {})
    fb.setupHorizontalMetrics(metrics)
    if is_ttf:
        # A one-instruction control-value program: with it the fonts count as hinted, so no
        # renderer reaches for an auto-hinter, and glyphs without instructions of their own keep
        # their outlines exactly as drawn at every size.
        prep = fb.font["prep"] = newTable("prep")
        prep.program = ttProgram.Program()
        prep.program.fromAssembly(["SVTCA[0]"])

    fb.setupHorizontalHeader(ascent=face.hhea[0], descent=face.hhea[1], lineGap=0,
                             caretSlopeRise=1 if not face.italic else 1000,
                             caretSlopeRun=0 if not face.italic else 213)

    names = fb.font["name"] = newTable("name")
    names.names = []
    for lang in face.windows_family_langs:
        set_windows_names(names, face, lang)
    for platform_id, enc_id, lang_id, name_id, string in face.extra_names:
        names.setName(string, name_id, platform_id, enc_id, lang_id)

    panose, family_class, _ = KINDS[face.kind]
    fs_selection = 0
    if face.italic:
        fs_selection |= 0x01
    if face.bold:
        fs_selection |= 0x20
    if not face.italic and not face.bold:
        fs_selection |= 0x40
    cp1 = 0
    for bit in face.code_pages:
        cp1 |= 1 << bit
    # The average width: whole pixels at the design size, so that lfWidth and the realized average
    # agree and the enumerated LOGFONTA stretches nothing; a fixed-pitch font's is its advance.
    if isinstance(face, DeviceFace):
        x_avg = face.x_avg
    else:
        x_avg = face.glyphs[65][2] if face.fixed_pitch else to_units(face, face.avg_px)
    fb.setupOS2(version=4, xAvgCharWidth=x_avg, usWeightClass=face.weight, usWidthClass=5, fsType=0,
                sFamilyClass=family_class,
                panose=dict(zip(PANOSE_FIELDS, panose)),
                achVendID="DM12", fsSelection=fs_selection,
                sTypoAscender=face.hhea[0], sTypoDescender=face.hhea[1], sTypoLineGap=0,
                usWinAscent=face.win[0], usWinDescent=face.win[1],
                ulCodePageRange1=cp1, ulCodePageRange2=0,
                sxHeight=round(face.em * 0.5), sCapHeight=round(face.em * 0.7),
                usDefaultChar=0, usBreakChar=32, usMaxContext=0,
                yStrikeoutSize=round(face.em * 0.05), yStrikeoutPosition=round(face.em * 0.25))
    face.x_avg = x_avg
    fb.setupPost(keepGlyphNames=False, isFixedPitch=int(face.fixed_pitch),
                 italicAngle=-12 if face.italic else 0,
                 underlinePosition=-round(face.em * 0.1), underlineThickness=round(face.em * 0.05))
    if isinstance(face, DeviceFace):
        add_device_tables(fb.font, face)

    data = io.BytesIO()
    fb.font.save(data)
    return data.getvalue()


def full_name(face):
    return face.family if face.style == "Regular" else face.family + " " + face.style


def set_windows_names(names, face, lang):
    def put(name_id, string):
        names.setName(string, name_id, 3, 1, lang)
    put(0, "Made by tests/fonts/make_fonts.py of the dump_metrics12 project; free to use.")
    put(1, face.family)
    put(2, face.style)
    put(3, "DM12:" + face.ps_name + ":2025")
    put(4, full_name(face))
    put(5, "Version 1.000")
    put(6, face.ps_name)
    if face.typographic:
        put(16, face.typographic[0])
        put(17, face.typographic[1])


# -- the set -----------------------------------------------------------------------------------------

def the_faces():
    faces = []

    # A TrueType family with its four RIBBI faces.
    for style, weight, italic, seed in (("Regular", 400, False, 0), ("Bold", 700, False, 0),
                                        ("Italic", 400, True, 0), ("Bold Italic", 700, True, 0)):
        # cell 1152, em 1024: lfHeight 32 * 1152 / 1024 = 36; 36 * 1024 / 1152 = 32 ppem.
        faces.append(Face("DM12Sans-%s.ttf" % style.replace(" ", ""), "DM12 Sans", style,
                          weight=weight, italic=italic, seed=seed, kind="sans", lf_height=36))

    # An OpenType font with CFF outlines (DEVICE_FONTTYPE).
    faces.append(Face("DM12SerifCFF-Regular.otf", "DM12 Serif CFF", "Regular", outline="cff",
                      em=1000, win=(900, 300), kind="serif", seed=1, base_advance=11, avg_px=16,
                      lf_height=38))  # 32 * 1.2 = 38.4

    # A TrueType collection of two families. The second face has usWinAscent = usWinDescent = 0,
    # so its cell comes from hhea, and its first code page is Cyrillic (bits 2 and 4).
    faces.append(Face("DM12Collection.ttc", "DM12 Collect One", "Regular", index=0, em=2048,
                      win=(1900, 480), kind="sans", seed=2, base_advance=9, avg_px=12,
                      lf_height=37))  # 32 * 2380 / 2048 = 37.19
    faces.append(Face("DM12Collection.ttc", "DM12 Collect Two", "Regular", index=1, em=2048,
                      win=(0, 0), hhea=(1700, -500), kind="serif", code_pages=(2, 4), seed=3,
                      base_advance=12, avg_px=15, lf_height=34))  # 32 * 2200 / 2048 = 34.38

    # A symbol-encoded font: cmap (3,0) at 0xF020..0xF07F, code page bit 31 alone.
    faces.append(Face("DM12Symbol.ttf", "DM12 Symbol", "Regular", em=1000, win=(1000, 250),
                      kind="dontcare", code_pages=(31,), symbol=True, seed=4, base_advance=13,
                      avg_px=17, lf_height=40))  # 32 * 1.25

    # A fixed-pitch font whose cell is smaller than its em, so the enumerated lfHeight realizes 31
    # pixels per em, not 32: lfHeight 32 * 0.7 = 22.4 -> 22; 22 / 0.7 = 31.43 -> 31, whose cell
    # 31 * 0.7 = 21.7 -> 22 is not taller than asked.
    faces.append(Face("DM12Mono.ttf", "DM12 Mono", "Regular", em=1000, win=(560, 140), kind="mono",
                      fixed_pitch=True, seed=5, base_advance=18, lf_height=22, ppem=31))

    # A font that lacks 'Q', '~' and DEL (they measure glyph 0), with no code-page bit (OEM_CHARSET),
    # and a tall cell (1.6 em).
    faces.append(Face("DM12Gappy.ttf", "DM12 Gappy", "Regular", em=1000, win=(1200, 400),
                      kind="script", code_pages=(), missing=(0x51, 0x7E, 0x7F), seed=6,
                      base_advance=10, avg_px=13, lf_height=51))  # 32 * 1.6 = 51.2

    # Legacy family (name ID 1) and typographic family (ID 16) differ: GDI's families are "DM12 Typo"
    # and "DM12 Typo Semibold", where fontconfig sees one family "DM12 Typo". The Semibold face also
    # has a German Windows record (sorted before the English one, which must win) and a Macintosh
    # record (which must be ignored) for name ID 1.
    faces.append(Face("DM12Typo-Regular.ttf", "DM12 Typo", "Regular", em=1000, win=(900, 250),
                      kind="decorative", seed=7, base_advance=10, avg_px=14,
                      lf_height=37))  # 32 * 1.15 = 36.8
    faces.append(Face("DM12Typo-Semibold.ttf", "DM12 Typo Semibold", "Regular", em=1000,
                      win=(900, 250), kind="decorative", weight=600, seed=8, base_advance=11,
                      avg_px=15, typographic=("DM12 Typo", "Semibold"), lf_height=37,
                      extra_names=((3, 1, LANG_DE_DE, 1, "DM12 Typo Halbfett"),
                                   (1, 0, 0, 1, "DM12 Typo Mac Name"))))

    # A JIS face (code page bit 17 alone: SHIFTJIS_CHARSET, and an "@" family). Its Windows names are
    # Japanese (0x411) and Chinese (0x804) records only, so the first Windows record names the family;
    # a Macintosh English record with another name must be ignored. The ideographic comma U+3001
    # (Shift-JIS 0x8141) has the glyph of 'W', so that a double-byte code measures a glyph of its own.
    faces.append(Face("DM12Nihon.ttf", "DM12 Nihon", "Regular", em=256, win=(220, 36), kind="sans",
                      code_pages=(17,), seed=9, base_advance=11, avg_px=14,
                      windows_family_langs=(LANG_JA_JP,), lf_height=32,  # cell = em
                      extra_names=((3, 1, LANG_ZH_CN, 1, "DM12 Zhongwen"),
                                   (1, 0, 0, 1, "DM12 Nihon Mac Name")),
                      copied_glyphs=((0x3001, 0x57),)))

    # Two faces whose family names are longer than 31 bytes and agree in the first 31: one family
    # "DM12 Extraordinarily Long Famil" with a regular (Alpha) and a bold (Beta) face. Code page GB2312
    # alone, so there is an "@" family too, cut to 31 bytes with its "@".
    faces.append(Face("DM12Long-Alpha.ttf", "DM12 Extraordinarily Long Family Alpha", "Regular",
                      em=1000, win=(800, 200), kind="serif", code_pages=(18,), seed=10,
                      base_advance=12, avg_px=15, lf_height=32))
    faces.append(Face("DM12Long-Beta.ttf", "DM12 Extraordinarily Long Family Beta", "Bold",
                      em=1000, win=(800, 200), kind="serif", code_pages=(18,), weight=700,
                      seed=11, base_advance=12, avg_px=15, lf_height=32))

    # Two families whose names differ only in case. Same em, cell, average width and weight, so both
    # LOGFONTAs realize the same size whichever face a name match finds; the glyphs differ.
    faces.append(Face("DM12Casey.ttf", "DM12 Casey", "Regular", em=1024, win=(896, 256),
                      kind="sans", seed=12, base_advance=10, avg_px=14, lf_height=36))
    faces.append(Face("DM12CASEY-Upper.ttf", "DM12 CASEY", "Regular", em=1024, win=(896, 256),
                      kind="sans", seed=13, base_advance=13, avg_px=14, lf_height=36))

    # A family name with characters outside ASCII: 'é' is 0xE9 in Windows-1252; 'Ж' is not in it and
    # has no best-fit look-alike there either, so it becomes '?' whether or not the conversion
    # best-fits (Windows turns 'Ω' into 'O', for one, where GDI says '?').
    faces.append(Face("DM12Cafe.ttf", "DM12 Caf\u00e9 \u0416", "Regular", em=1024, win=(1024, 256),
                      kind="sans", seed=14, base_advance=10, avg_px=13,
                      lf_height=40))  # 32 * 1280 / 1024

    # A family with no regular and no bold face: its representative is the italic one.
    faces.append(Face("DM12Slant-Italic.ttf", "DM12 Slant", "Italic", italic=True, em=1024,
                      win=(896, 256), kind="sans", seed=15, base_advance=11, avg_px=14,
                      lf_height=36))
    faces.append(Face("DM12Slant-BoldItalic.ttf", "DM12 Slant", "Bold Italic", italic=True,
                      weight=700, em=1024, win=(896, 256), kind="sans", seed=16, base_advance=11,
                      avg_px=14, lf_height=36))
    return faces + device_faces()


# -- fonts whose widths come from their device metrics -----------------------------------------------
#
# A VDMX table (the hinted height of each size), an hdmx table (the hinted advances of each size),
# glyph instructions that move an advance, and a gasp table. What these fonts must measure is not
# computed here: each is written out below, worked by hand from the font's own numbers (the
# arithmetic in the comments), so that a fault in our rules cannot hide in a copy of them.

# Glyph shapes in units of a 1000-unit em: (xMin, xMax, advance); no outline where xMin is None.
NOTDEF = (50, 450, 500)
SPACE = (None, None, 250)
TALL = (75, 575, 650)      # the letters and digits
LEAN = (-60, 300, 320)     # every other code but the space
SQUARE = (0, 1000, 1000)   # one em wide: its advance in pixels is the ppem (and its B)


class DeviceFace(Face):
    """A regular face of a 1000-unit em with a few glyphs, device tables, and the widths its
    enumerated LOGFONTA must measure, written out: `widths` maps a glyph to (A, B, C, advance) at
    `ppem` pixels per em stretched by `stretch`.

    vdmx: (version, [(bCharSet, xRatio, yStartRatio, yEndRatio, group)]), each group a dict
    {ppem: (yMax, yMin)}; hdmx: {ppem: {glyph: width}}; gasp: {rangeMaxPPEM: flags}; programs:
    {glyph: instructions}."""

    def __init__(self, file, family, *, shapes, ppem, stretch, widths, lf, win=(800, 200),
                 x_avg=500, vdmx=None, hdmx=None, gasp=None, programs=None, note=""):
        super().__init__(file, family, "Regular", em=1000, win=win, kind="sans", lf_height=lf[0])
        self.enum_lf_width = lf[1]
        self.glyphs = {".notdef": NOTDEF, **shapes}
        self.x_avg = x_avg
        self.enum_ppem = ppem
        self.enum_stretch = stretch
        self.widths = widths
        self.vdmx = vdmx
        self.hdmx = hdmx
        self.gasp = gasp
        self.programs = programs or {}
        self.note = note
        assert set(widths) == set(shapes), family

    @property
    def lf_width(self):
        return self.enum_lf_width

    @property
    def nonlinear(self):
        return bool(self.hdmx or self.programs)

    def glyph_of(self, code):
        if code == 32:
            return "space"
        if "square" in self.glyphs:
            return "square"
        return "tall" if chr(code).isalnum() else "lean"


def add_device_tables(font, face):
    if face.vdmx:
        version, ratios = face.vdmx
        vdmx = font["VDMX"] = newTable("VDMX")
        vdmx.version = version
        vdmx.groups, vdmx.ratRanges = [], []
        for charset, x_ratio, y_start, y_end, group in ratios:
            if group not in vdmx.groups:
                vdmx.groups.append(group)
            vdmx.ratRanges.append(dict(bCharSet=charset, xRatio=x_ratio, yStartRatio=y_start,
                                       yEndRatio=y_end, groupIndex=vdmx.groups.index(group)))
        vdmx.numRecs, vdmx.numRatios = len(vdmx.groups), len(vdmx.ratRanges)
    if face.hdmx:
        hdmx = font["hdmx"] = newTable("hdmx")
        hdmx.hdmx = {ppem: dict(widths) for ppem, widths in face.hdmx.items()}
    if face.gasp:
        gasp = font["gasp"] = newTable("gasp")
        gasp.gaspRange = dict(face.gasp)
    if face.programs:
        maxp = font["maxp"]
        maxp.maxStackElements = 2
        maxp.maxSizeOfInstructions = max(len(font["glyf"][name].program.getBytecode())
                                         for name in face.programs)


# The VDMX group of Wine's test_vdmx, {ppem: (yMax, yMin)}, whose Windows expectations
# tests/freetype_gdi/device_metrics_test.cpp holds. yMax - yMin, the height of each size:
# 10: 12, 11: 13, 12: 16, 13: 16, 14: 19, 15: 20, 16: 21, 17: 22, 18: 23, 19: 25, 20: 26, 21: 27,
# 22: 27, 23: 29, 24: 32, 25: 32, 26: 33, 27: 35, 28: 36, 29: 36, 30: 38, 31: 39, 32: 40.
TEST_VDMX = {10: (10, -2), 11: (11, -2), 12: (13, -3), 13: (13, -3), 14: (15, -4), 15: (16, -4),
             16: (17, -4), 17: (18, -4), 18: (19, -4), 19: (21, -4), 20: (22, -4), 21: (23, -4),
             22: (23, -4), 23: (24, -5), 24: (26, -6), 25: (26, -6), 26: (27, -6), 27: (29, -6),
             28: (30, -6), 29: (30, -6), 30: (32, -6), 31: (33, -6), 32: (33, -7)}
# Groups that must not be read, with heights 2 * ppem and ppem + 2: a height of 20 or more would
# realize about half its ppem, or two less.
DECOY_HALF = {p: (p, -p) for p in range(10, 33)}
DECOY_TWO_MORE = {p: (p + 1, -1) for p in range(10, 33)}
# Tall hinted extents: yMax - yMin = ppem + ppem // 4 + 1, so 27: 34, 28: 36, 29: 37.
TALL_VDMX = {p: (p, -(p // 4 + 1)) for p in range(20, 41)}

# The programs of DM12 Hinted and DM12 Gasp: on the x axis, the advance point of a one-contour
# glyph (points 0 to 3, then the phantom points 4, the origin, and 5, the advance) shifted by
# whole pixels (SHPIX, 64 units a pixel) at every size: two to the right, one to the left.
SHIFT_RIGHT_2 = ["SVTCA[1]", "PUSHB[ ]", "5 128", "SHPIX[ ]"]
SHIFT_LEFT_1 = ["SVTCA[1]", "PUSHW[ ]", "5 -64", "SHPIX[ ]"]

# The six fonts carrying the test_vdmx group (cell = em = 1000, so lfHeight 32; xAvgCharWidth 300,
# so lfWidth = MulDiv(32, 300, 1000) = 10). Where VDMX applies, lfHeight 32 is the yMax - yMin
# of ppem 24: the realized average is MulDiv(300, 24, 1000) = 7, the stretch 10 / 7; the square's
# 24 px become ceil(24 * 10 / 7) = ceil(34.29) = 35, the space's 250 * 24 / 1000 = 6 become
# ceil(60 / 7) = 9. Where it does not, ppem 32: the average is 10 = lfWidth, no stretch.
VDMX_SQUARE_24 = dict(ppem=24, stretch=Fraction(10, 7),
                      widths={"space": (0, 1, 8, 9), "square": (0, 35, 0, 35)})
VDMX_SQUARE_32 = dict(ppem=32, stretch=Fraction(1),
                      widths={"space": (0, 1, 7, 8), "square": (0, 32, 0, 32)})
VDMX_RULE_FONTS = (
    # (file, family, VDMX version, ratio records, widths of the enumerated LOGFONTA)
    ("DM12VdmxV0Ansi.ttf", "DM12 Vdmx V0 Ansi", 0, [(1, 1, 1, 1, TEST_VDMX)], VDMX_SQUARE_24),
    ("DM12VdmxV1Ansi.ttf", "DM12 Vdmx V1 Ansi", 1, [(1, 1, 1, 1, TEST_VDMX)], VDMX_SQUARE_24),
    ("DM12VdmxV0All.ttf", "DM12 Vdmx V0 All", 0, [(0, 1, 1, 1, TEST_VDMX)], VDMX_SQUARE_32),
    ("DM12VdmxV1All.ttf", "DM12 Vdmx V1 All", 1, [(0, 1, 1, 1, TEST_VDMX)], VDMX_SQUARE_32),
    # A 2:1 record first (it matches no square screen), then a 1:1 record over all glyphs
    # (character set 0), then the 1:1 record of the ANSI set.
    ("DM12VdmxRatios.ttf", "DM12 Vdmx Ratios", 1,
     [(1, 2, 1, 1, DECOY_TWO_MORE), (0, 1, 1, 1, DECOY_HALF), (1, 1, 1, 1, TEST_VDMX)],
     VDMX_SQUARE_24),
    # A record for every ratio (0:0:0) first, then a 1:1 record: the first that matches counts.
    ("DM12VdmxDefault.ttf", "DM12 Vdmx Default", 1,
     [(1, 0, 0, 0, TEST_VDMX), (1, 1, 1, 1, DECOY_HALF)], VDMX_SQUARE_24),
)


def device_faces():
    faces = []
    for file, family, version, ratios, enumerated in VDMX_RULE_FONTS:
        faces.append(DeviceFace(file, family, shapes={"space": SPACE, "square": SQUARE},
                                x_avg=300, lf=(32, 10), vdmx=(version, ratios), **enumerated,
                                note="VDMX version %d, ratio records (bCharSet, x, y start, y end)"
                                     " %s" % (version, " ".join("(%d, %d, %d, %d)" % r[:4]
                                                                for r in ratios))))

    text_shapes = {"space": SPACE, "tall": TALL, "lean": LEAN}
    # cell 1125, em 1000: lfHeight = MulDiv(32, 1125, 1000) = 36, which the cell alone would
    # realize at MulDiv(1000, 36, 1125) = 32 ppem; TALL_VDMX's ppem 28 is 36 tall. lfWidth =
    # MulDiv(36, 500, 1125) = 16, the average at 28 ppem 14: a stretch of 16 / 14 = 8 / 7. At 28 ppem
    # (0.028 px a unit), then stretched (left edge down, right edge and advance up):
    #   space: 250 -> 7 -> 8: 0, 1, 7
    #   tall: 75 -> 2.1 -> 2 -> 2.29 -> 2; 575 -> 16.1 -> 17 -> 19.43 -> 20; 650 -> 18.2 -> 18 ->
    #         20.57 -> 21: A 2, B 18, C 1 (at 32 ppem it would be 2, 17, 2)
    #   lean: -60 -> -1.68 -> -2 -> -2.29 -> -3; 300 -> 8.4 -> 9 -> 10.29 -> 11; 320 -> 8.96 -> 9 ->
    #         10.29 -> 11: A -3, B 14, C 0 (at 32 ppem -2, 12, 0)
    faces.append(DeviceFace(
        "DM12VdmxTall.ttf", "DM12 Vdmx Tall", shapes=text_shapes, win=(900, 225), lf=(36, 16),
        vdmx=(1, [(1, 1, 1, 1, TALL_VDMX)]), ppem=28, stretch=Fraction(8, 7),
        widths={"space": (0, 1, 7, 8), "tall": (2, 18, 1, 21), "lean": (-3, 14, 0, 11)},
        note="VDMX version 1, one 1:1 ANSI record: ppem 28 is 36 tall"))

    # cell = em: lfHeight 32, 32 ppem, lfWidth 16 = the average: no stretch. At 32 ppem (0.032 px a
    # unit) the outlines give tall 75 -> 2.4, 575 -> 18.4: A 2, B 17; lean -60 -> -1.92, 300 -> 9.6:
    # A -2, B 12. The linear advances: space 8, tall 20.8 -> 21, lean 10.24 -> 10, .notdef 16.
    # hdmx holds other advances for 16, 32 and 40 ppem (linear: 4, 10, 5, 8 and 10, 26, 13, 20).
    faces.append(DeviceFace(
        "DM12Hdmx.ttf", "DM12 Hdmx", shapes=text_shapes, lf=(32, 16),
        hdmx={16: {".notdef": 9, "space": 5, "tall": 12, "lean": 7},
              32: {".notdef": 17, "space": 9, "tall": 23, "lean": 11},
              40: {".notdef": 21, "space": 11, "tall": 28, "lean": 14}},
        ppem=32, stretch=Fraction(1),
        widths={"space": (0, 1, 8, 9), "tall": (2, 17, 4, 23), "lean": (-2, 12, 1, 11)},
        note="hdmx at 16, 32, 40 ppem: advances other than the linear ones"))
    # The same outlines and sizes; the instructions move the advances: tall 21 + 2 = 23, lean
    # 10 - 1 = 9, the space (no outline, no program) keeps 8.
    hinted = dict(shapes=text_shapes, lf=(32, 16), programs={"tall": SHIFT_RIGHT_2, "lean": SHIFT_LEFT_1},
                  ppem=32, stretch=Fraction(1),
                  widths={"space": (0, 1, 7, 8), "tall": (2, 17, 4, 23), "lean": (-2, 12, -1, 9)})
    faces.append(DeviceFace("DM12Hinted.ttf", "DM12 Hinted",
                            note="instructions move the advances: tall +2 px, lean -1 px",
                            **hinted))
    # gasp asks for no grid-fitting at any size (flags 0x000A: grayscale and symmetric smoothing
    # only); the widths are the hinted ones all the same.
    faces.append(DeviceFace("DM12Gasp.ttf", "DM12 Gasp", gasp={0xFFFF: 0x000A},
                            note="the instructions of DM12 Hinted; gasp clears grid-fitting at "
                                 "every size", **hinted))
    return faces


# -- what GDI says our GDI reports -----------------------------------------------------------

def gdi_name(family):
    """Name ID 1 as lfFaceName holds it: Windows-1252, '?' for what it lacks, cut to 31 bytes."""
    return family.encode("cp1252", "replace")[:31]


def lf_charset(face):
    bits = sorted(face.code_pages)
    if 0 in bits:
        return 0
    if bits == [31]:
        return 2
    if not bits:
        return 255
    return CODE_PAGE_CHARSET[bits[0]]


def lf_pitch_and_family(face):
    return KINDS[face.kind][2] | (1 if face.fixed_pitch else 2)


def font_type(face):
    return TRUETYPE_FONTTYPE if face.outline == "glyf" else DEVICE_FONTTYPE


def logfont(face, name):
    return dict(name=name, lfHeight=face.lf_height, lfWidth=face.lf_width,
                lfEscapement=0, lfOrientation=0, lfWeight=face.weight,
                lfItalic=255 if face.italic else 0, lfUnderline=0, lfStrikeOut=0,
                lfCharSet=lf_charset(face), lfOutPrecision=3, lfClipPrecision=2, lfQuality=1,
                lfPitchAndFamily=lf_pitch_and_family(face))


def face_rank(face):
    """Representative order within a family: regular, bold, italic, bold italic."""
    return (1 if face.italic else 0) * 2 + (1 if face.weight >= 600 else 0)


def families(faces):
    """[(name bytes, representative face, [faces])] in enumeration order, each "@" family right
    after its horizontal family, as Windows lists them."""
    groups = {}
    for face in faces:
        groups.setdefault(gdi_name(face.family).lower(), []).append(face)
    plain = []
    for members in groups.values():
        # Names that agree but for case are one family, named by its representative face.
        members.sort(key=lambda m: (face_rank(m), m.file))
        plain.append((gdi_name(members[0].family), members[0], members))
    plain.sort(key=lambda f: f[0].lower())
    ordered = []
    for name, rep, members in plain:
        ordered.append((name, rep, members))
        if any(bit in CJK_CODE_PAGE_BITS for m in members for bit in m.code_pages):
            ordered.append((("@".encode() + name)[:31], rep, members))
    return ordered


# -- widths at other sizes and stretches, stated by hand -------------------------------------------
#
# A few requests realize a face at a size other than its design size, or stretch it. Where each
# design edge and advance lands there is worked out by hand below (the pixels in the comments), not
# by a copy of the rules, so that a misreading in our GDI cannot hide in the same misreading here.


class OtherSize:
    """Where the design's pixels land at another size or stretch. `left` maps a design A to A
    there, `right` a design A + B (the right end of the black box) to its end there, and `advance`
    a design advance to the advance there. None: that edge or advance lands within MARGIN of a
    place where it could go either way, and the codes that meet it are not listed. A key missing
    is a gap in the table, and stops the script."""

    def __init__(self, left, right, advance):
        self.left, self.right, self.advance = left, right, advance

    def widths(self, a, b, advance, blank):
        """(A, B, advance) there of a glyph designed as (a, b, advance), or None if ambiguous.
        A glyph with no outline keeps A 0 and B 1 at every size."""
        advance = self.advance[advance]
        if blank:
            return None if advance is None else (0, 1, advance)
        left, right = self.left[a], self.right[a + b]
        if None in (left, right, advance):
            return None
        return left, right - left, advance


# DM12 Sans at 16 ppem, half its design size: each design edge x lands at x / 2. The left edge
# A + 0.5 is taken down to its pixel, the right edge A + B - 0.5 up, the advance to the nearest.
HALF_SIZE = OtherSize(
    left={-1: -1, 0: 0, 1: 0, 2: 1, 3: 1},                   # -0.25, 0.25, 0.75, 1.25, 1.75
    right={2: 1, 3: 2, 4: 2, 5: 3, 6: 3, 7: 4,               # 0.75, 1.25, 1.75, 2.25, 2.75, 3.25
           8: 4, 9: 5, 10: 5, 11: 6, 12: 6, 13: 7,           # 3.75, 4.25, 4.75, 5.25, 5.75, 6.25
           14: 7, 15: 8, 16: 8, 17: 9, 18: 9, 19: 10},       # 6.75, 7.25, 7.75, 8.25, 8.75, 9.25
    advance={6: 3, 10: 5, 11: None, 12: 6,                   # 3, 5, 5.5 (half-way), 6
             13: None, 14: 7, 15: None})                     # 6.5 (half-way), 7, 7.5 (half-way)

# DM12 Gappy at 15 ppem, against its design size of 32: each design edge x lands at x * 15 / 32.
GAPPY_15 = OtherSize(
    left={-1: -1, 0: 0, 1: 0, 2: 1, 3: 1},                   # -0.23, 0.23, 0.70, 1.17, 1.64
    right={2: 1, 3: 2, 4: 2, 5: 3, 6: 3,                     # 0.70, 1.17, 1.64, 2.11, 2.58
           7: None, 8: 4, 9: None, 10: 5, 11: None,          # 3.05, 3.52, 3.98, 4.45, 4.92
           12: 6, 13: 6, 14: 7, 15: 7,                       # 5.39, 5.86, 6.33, 6.80
           16: 8, 17: 8, 18: 9},                             # 7.27, 7.73, 8.20
    advance={6: 3, 10: 5, 11: 5, 12: 6,                      # 2.81, 4.69, 5.16, 5.63
             13: 6, 14: None, 15: 7})                        # 6.09, 6.56 (near half-way), 7.03

# lfWidth 21 against DM12 Sans' average of 14 pixels (24 against 16 for DM12 Serif CFF): the glyph
# in whole pixels at its design size, times 1.5; the left edge taken down, the right edge and the
# advance up.
TIMES_1_5_UP = {2: 3, 3: 5, 4: 6, 5: 8, 6: 9, 7: 11,         # 3, 4.5, 6, 7.5, 9, 10.5
                8: 12, 9: 14, 10: 15, 11: 17, 12: 18,        # 12, 13.5, 15, 16.5, 18
                13: 20, 14: 21, 15: 23, 16: 24, 17: 26,      # 19.5, 21, 22.5, 24, 25.5
                18: 27, 19: 29, 20: 30, 21: 32}              # 27, 28.5, 30, 31.5
STRETCHED_1_5 = OtherSize(
    left={-1: -2, 0: 0, 1: 1, 2: 3, 3: 4},                   # -1.5, 0, 1.5, 3, 4.5
    right=TIMES_1_5_UP, advance=TIMES_1_5_UP)


def escape(name_bytes):
    """A name for the CSV files: printable ASCII as is, other bytes, '\\' and ',' as \\xHH."""
    out = []
    for byte in name_bytes:
        if 0x20 <= byte < 0x7F and byte not in (0x5C, 0x2C, 0x22):
            out.append(chr(byte))
        else:
            out.append("\\x%02x" % byte)
    return "".join(out)


def extra_requests(faces, fams):
    """CreateFontIndirectA requests other than the enumerated LOGFONTAs: (label, LOGFONTA fields,
    realized face, realized name, ppem, stretch, OtherSize or None at the face's design size)."""
    by_name = {name: (rep, members) for name, rep, members in fams}

    def member(family, weight, italic):
        _, members = by_name[gdi_name(family)]
        return next(m for m in members if m.weight == weight and m.italic == italic)

    sans = member("DM12 Sans", 400, False)
    requests = []

    def request(label, face, name, realized_name, lf_height=None, lf_width=None, weight=None,
                italic=None, charset=None, ppem=32, stretch=Fraction(1), other_size=None):
        lf = logfont(face, name)
        if lf_height is not None:
            lf["lfHeight"] = lf_height
        if lf_width is not None:
            lf["lfWidth"] = lf_width
        if weight is not None:
            lf["lfWeight"] = weight
        if italic is not None:
            lf["lfItalic"] = italic
        if charset is not None:
            lf["lfCharSet"] = charset
        requests.append((label, lf, face, realized_name, ppem, stretch, other_size))

    sans_name = gdi_name("DM12 Sans")
    request("bold", member("DM12 Sans", 700, False), sans_name, sans_name, lf_height=36, weight=700)
    request("italic", member("DM12 Sans", 400, True), sans_name, sans_name, lf_height=36, italic=255)
    request("bold-italic", member("DM12 Sans", 700, True), sans_name, sans_name, lf_height=36,
            weight=700, italic=255)
    request("name-in-lower-case", sans, b"dm12 sans", sans_name)
    request("em-height-16", sans, sans_name, sans_name, lf_height=-16, lf_width=0, ppem=16,
            other_size=HALF_SIZE)
    # 18 * 1024 / 1152 = 16 ppem, whose cell is 18.
    request("cell-height-18", sans, sans_name, sans_name, lf_height=18, lf_width=0, ppem=16,
            other_size=HALF_SIZE)
    # lfWidth 21 against the average of 14 pixels at 32 ppem (24 against 16 for the CFF face).
    request("stretched-1.5", sans, sans_name, sans_name, lf_width=21, stretch=Fraction(3, 2),
            other_size=STRETCHED_1_5)
    request("stretched-1.5-italic", member("DM12 Sans", 400, True), sans_name, sans_name,
            lf_height=36, italic=255, lf_width=21, stretch=Fraction(3, 2),
            other_size=STRETCHED_1_5)
    cff = member("DM12 Serif CFF", 400, False)
    request("stretched-1.5-cff", cff, gdi_name(cff.family), gdi_name(cff.family), lf_width=24,
            stretch=Fraction(3, 2), other_size=STRETCHED_1_5)

    # A cell height whose first guess of ppem is one too many. That takes a cell well above the em
    # (else the second guess lands on a half): Gappy's 1600 / 1000. 25 / 1.6 = 15.63 -> 16, whose
    # cell 16 * 1.6 = 25.6 -> 26 is taller than 25: 15 ppem.
    gappy = member("DM12 Gappy", 400, False)
    request("cell-height-25-one-less", gappy, gdi_name(gappy.family), gdi_name(gappy.family),
            lf_height=25, lf_width=0, ppem=15, other_size=GAPPY_15)

    typo = member("DM12 Typo", 400, False)
    request("typographic-family-name-is-not-a-family", typo, gdi_name("DM12 Typo"),
            gdi_name("DM12 Typo"), weight=600)
    nihon = member("DM12 Nihon", 400, False)
    request("vertical", nihon, b"@" + gdi_name("DM12 Nihon"), b"@" + gdi_name("DM12 Nihon"))
    long_name = gdi_name("DM12 Extraordinarily Long Family Alpha")
    beta = member("DM12 Extraordinarily Long Family Beta", 700, False)
    request("long-name-bold", beta, long_name, long_name, lf_height=32, weight=700)
    slant = member("DM12 Slant", 700, True)
    request("slant-bold-italic", slant, gdi_name("DM12 Slant"), gdi_name("DM12 Slant"), weight=700)
    return requests


LOGFONT_FIELDS = ("lfHeight", "lfWidth", "lfEscapement", "lfOrientation", "lfWeight", "lfItalic",
                  "lfUnderline", "lfStrikeOut", "lfCharSet", "lfOutPrecision", "lfClipPrecision",
                  "lfQuality", "lfPitchAndFamily")

REQUEST_FIELDS = ("lfHeight", "lfWidth", "lfWeight", "lfItalic", "lfCharSet", "lfPitchAndFamily")


def write_tables(out, faces):
    fams = families(faces)

    fam_lines = ["# What EnumFontFamiliesA must report for tests/fonts, in order (as GDI reports it).",
                 "# Made by make_fonts.py: do not edit. Names: Windows-1252 bytes, other than printable",
                 "# ASCII written \\xHH. Families whose names differ only in case may come in either",
                 "# order.",
                 "order,lfFaceName,font_type," + ",".join(LOGFONT_FIELDS) + ",file,face_index"]
    width_lines = [
        "# What GetCharABCWidthsFloatA must report for tests/fonts (as GDI reports it). Made by",
        "# make_fonts.py: do not edit. request 'enum' is the LOGFONTA the enumeration reports for",
        "# the family, all 96 codes; other requests change the fields given and list only the",
        "# codes whose edges and advance lie at least 0.1 px from an ambiguous place. Precisions",
        "# and quality are 3, 2, 1 in every request. realized_face is what GetTextFaceA reports;",
        "# stretch the horizontal stretch the request's lfWidth gives; file, face_index and symbol",
        "# (codes read at 0xF000 + code) tell which font file holds the realized face.",
        "request,lfFaceName," + ",".join(REQUEST_FIELDS)
        + ",realized_face,font_type,ppem,stretch,code,A,B,C,advance,file,face_index,symbol"]

    def width_rows(label, lf, face, realized, ppem, stretch, other_size=None):
        """At the face's design size the widths are its design; elsewhere other_size says."""
        for code in range(FIRST_CODE, LAST_CODE + 1):
            key = ".notdef" if code in face.missing else code
            a, b, advance = design_px(face, key)
            if other_size is not None:
                widths = other_size.widths(a, b, advance, blank=key == 32)
                if widths is None:
                    continue
                a, b, advance = widths
            width_lines.append(",".join(
                [label, escape(lf["name"])] + [str(lf[f]) for f in REQUEST_FIELDS]
                + [escape(realized), str(font_type(face)), str(ppem), repr(float(stretch)), str(code),
                   str(a), str(b), str(advance - a - b), str(advance), face.file, str(face.index),
                   str(int(face.symbol))]))

    def device_width_rows(lf, face, realized):
        for code in range(FIRST_CODE, LAST_CODE + 1):
            a, b, c, advance = face.widths[face.glyph_of(code)]
            assert a + b + c == advance, (face.file, code)
            width_lines.append(",".join(
                ["enum", escape(lf["name"])] + [str(lf[f]) for f in REQUEST_FIELDS]
                + [escape(realized), str(font_type(face)), str(face.enum_ppem),
                   repr(float(face.enum_stretch)), str(code), str(a), str(b), str(c), str(advance),
                   face.file, str(face.index), "0"]))

    for order, (name, rep, members) in enumerate(fams):
        lf = logfont(rep, name)
        if isinstance(rep, DeviceFace):
            fam_lines.append(",".join([str(order), escape(name), str(font_type(rep))]
                                      + [str(lf[f]) for f in LOGFONT_FIELDS]
                                      + [rep.file, str(rep.index)]))
            device_width_rows(lf, rep, name)
            continue
        # The enumerated LOGFONTA realizes the same size and width, with no stretch.
        ppem = rep.ppem
        exact_width = lf["lfHeight"] * rep.x_avg / rep.cell
        assert abs(exact_width % 1 - 0.5) > MARGIN, (rep.file, exact_width)
        assert abs((rep.x_avg * ppem / rep.em) % 1 - 0.5) > MARGIN, rep.file
        assert abs((32 * rep.cell / rep.em) % 1 - 0.5) > MARGIN, rep.file
        fam_lines.append(",".join([str(order), escape(name), str(font_type(rep))]
                                  + [str(lf[f]) for f in LOGFONT_FIELDS]
                                  + [rep.file, str(rep.index)]))
        width_rows("enum", lf, rep, name, ppem, 1.0)

    for label, lf, face, realized, ppem, stretch, other_size in extra_requests(faces, fams):
        # Every face is designed for the size its own LOGFONTA realizes.
        assert (other_size is None) == (stretch == 1 and ppem == face.ppem), label
        width_rows(label, lf, face, realized, ppem, stretch, other_size)

    face_lines = ["# Every face of tests/fonts, as fontconfig must list it with tests/fonts/fonts.conf.",
                  "# Made by make_fonts.py: do not edit. lfFaceName: the GDI family the face belongs to.",
                  "# instructions: 1 where glyphs carry TrueType instructions; device_tables: the",
                  "# VDMX, hdmx and gasp tables the face has, separated by '+'.",
                  "file,face_index,lfFaceName,style,weight,italic,outlines,instructions,device_tables"]
    for face in faces:
        tables = [tag for tag, present in (("VDMX", getattr(face, "vdmx", None)),
                                           ("hdmx", getattr(face, "hdmx", None)),
                                           ("gasp", getattr(face, "gasp", None))) if present]
        face_lines.append(",".join([face.file, str(face.index), escape(gdi_name(face.family)),
                                    face.style, str(face.weight), str(int(face.italic)),
                                    face.outline, str(int(bool(face.programs))),
                                    "+".join(tables) or "none"]))
    write_text(os.path.join(out, "expected_faces.csv"), "\n".join(face_lines) + "\n")
    write_text(os.path.join(out, "expected_families.csv"), "\n".join(fam_lines) + "\n")
    write_text(os.path.join(out, "expected_widths.csv"), "\n".join(width_lines) + "\n")
    write_text(os.path.join(out, "EXPECTED.md"), expected_md(faces, fams))


def expected_md(faces, fams):
    lines = [
        "# The private test font set and what our GDI must report for it",
        "",
        "Made by `make_fonts.py` (run `/usr/bin/python3 tests/fonts/make_fonts.py`); do not edit the",
        "fonts, this file or the tables by hand. The same run always writes the same bytes; the test",
        "`fonts.made_by_make_fonts_py` (`make_fonts.py --check`) makes sure of it.",
        "",
        "Made with fontTools %s." % fontTools.version,
        "",
        "The values follow these readings of GDI's rules, but none is computed by a copy of them",
        "or taken from any implementation: make_fonts.py writes out each face's sizes by hand,",
        "draws each glyph from the widths it must have at its enumerated size, and states by hand",
        "the widths of the requests at another size or with a stretch:",
        "",
        "- cell = usWinAscent + usWinDescent (hhea ascender - descender where both are 0), em =",
        "  unitsPerEm, MulDiv(a, b, c) = a * b / c rounded to nearest;",
        "- lfHeight = MulDiv(32, cell, em); lfWidth = MulDiv(lfHeight, xAvgCharWidth, cell);",
        "  lfWeight = usWeightClass; lfItalic = 255 for an italic face; lfCharSet: 0 with code page",
        "  bit 0, 2 for bit 31 alone, else the character set of the first bit, 255 with none;",
        "  precisions 3, 2, 1; lfPitchAndFamily = family bits (PANOSE and IBM class agree in every",
        "  font) + 1 fixed / 2 variable pitch;",
        "- ppem from lfHeight > 0: MulDiv(em, lfHeight, cell), less 1 where MulDiv(cell, ppem, em) >",
        "  lfHeight; from lfHeight < 0: -lfHeight;",
        "- an lfWidth other than 0 and the realized average width (xAvgCharWidth at ppem, rounded)",
        "  stretches x by f = lfWidth / average;",
        "- A = floor(floor(xMin * scale) * f), B = max(1, ceil(ceil(xMax * scale) * f) - A),",
        "  C = advance - A - B with the advance ceil(round(advance * scale) * f); a glyph with no",
        "  outline: A = 0, B = 1, C = advance - 1; a",
        "  code the font lacks measures glyph 0; the symbol font is read at 0xF000 + code.",
        "",
        "At the enumerated sizes every glyph edge lies half-way across a pixel and every advance",
        "on a whole pixel, to within 0.1 px (the script asserts it), and no font but DM12 Hinted and",
        "DM12 Gasp has TrueType instructions or CFF hints, so hinting has nothing to move: the",
        "outlines are simply scaled.",
        "",
        "The fonts with device metrics (below) are the exception: their glyphs are drawn in font",
        "units, and their widths written out in make_fonts.py, worked by hand from each font's own",
        "tables.",
        "",
        "## Fonts",
        "",
        "| File | Index | Name ID 1 | Style | Outlines | em | cell | weight | code pages | notes |",
        "|---|---|---|---|---|---|---|---|---|---|",
    ]
    for f in faces:
        notes = []
        if f.symbol:
            notes.append("symbol cmap (3,0) at 0xF020..0xF07F")
        if f.fixed_pitch:
            notes.append("fixed pitch")
        if f.missing:
            notes.append("lacks " + ", ".join("0x%02x" % c for c in sorted(f.missing)))
        if f.typographic:
            notes.append("name ID 16 '%s', ID 17 '%s'" % f.typographic)
        for character, code in f.copied_glyphs:
            notes.append("U+%04X has the glyph of '%s'" % (character, chr(code)))
        if f.win == (0, 0):
            notes.append("usWinAscent = usWinDescent = 0: cell from hhea")
        for p, e, l, n, s in f.extra_names:
            notes.append("name ID %d '%s' on (%d, %d, 0x%x)" % (n, s, p, e, l))
        if f.windows_family_langs != (LANG_EN_US,):
            notes.append("Windows names in language(s) "
                         + ", ".join("0x%x" % l for l in f.windows_family_langs))
        lines.append("| %s | %d | %s | %s | %s | %d | %d | %d | %s | %s |" % (
            f.file, f.index, f.family, f.style, f.outline, f.em, f.cell, f.weight,
            " ".join(str(b) for b in f.code_pages) or "none", "; ".join(notes)))
    lines += [
        "",
        "## Fonts with device metrics",
        "",
        "Each has a 1000-unit em and the glyphs .notdef, space and either one square glyph (one",
        "em wide, for every other code) or 'tall' (the letters and digits) and 'lean' (the",
        "rest). The enumerated LOGFONTA realizes them at the ppem and stretch given, not at the",
        "ppem the cell alone gives; tests/freetype_gdi/device_metrics_test.cpp realizes them at",
        "other heights too (the VDMX cases of Wine's test_vdmx, whose group the first six carry).",
        "",
        "| File | Tables | enumerated ppem | stretch | what it tests |",
        "|---|---|---|---|---|",
    ]
    for f in faces:
        if isinstance(f, DeviceFace):
            tables = [t for t, v in (("VDMX", f.vdmx), ("hdmx", f.hdmx), ("gasp", f.gasp),
                                     ("glyph instructions", f.programs)) if v]
            lines.append("| %s | %s | %d | %s | %s |" % (f.file, ", ".join(tables), f.enum_ppem,
                                                        f.enum_stretch, f.note))
    lines += [
        "",
        "## Families, in the order EnumFontFamiliesA reports them",
        "",
        "lfEscapement, lfOrientation, lfUnderline and lfStrikeOut are 0,",
        "lfOutPrecision 3, lfClipPrecision 2, lfQuality 1 in every one.",
        "",
        "| # | lfFaceName | type | lfHeight | lfWidth | lfWeight | lfItalic | lfCharSet | "
        "lfPitchAndFamily | ppem | representative |",
        "|---|---|---|---|---|---|---|---|---|---|---|",
    ]
    for order, (name, rep, members) in enumerate(fams):
        lf = logfont(rep, name)
        lines.append("| %d | `%s` | %s | %d | %d | %d | %d | %d | 0x%02x | %d | %s (%s) |" % (
            order, escape(name), "TT" if font_type(rep) == TRUETYPE_FONTTYPE else "DEV",
            lf["lfHeight"], lf["lfWidth"], lf["lfWeight"], lf["lfItalic"], lf["lfCharSet"],
            lf["lfPitchAndFamily"], rep.ppem, rep.file, rep.style))
    lines += [
        "",
        "## Widths",
        "",
        "`expected_widths.csv` holds A, B, C and the advance of all 96 codes of every family at the",
        "size its enumerated LOGFONTA realizes (request `enum`), and of the codes that are unambiguous",
        "for a few other requests (bold and italic faces, other heights, a stretch, a name in another",
        "case, the typographic family name, the \"@\" family, the long family's bold face).",
        "",
        "## Readings this table takes",
        "",
        "- Hinting. The fonts carry a one-instruction control-value program and (but for DM12",
        "  Hinted and DM12 Gasp) no glyph instructions, so they count as hinted (no renderer",
        "  auto-hints them) and every glyph is measured as its scaled outline. `font_set_test`",
        "  checks the widths FreeType's interpreter 35 gives against this table.",
        "- Names that differ only in case ('DM12 Casey', 'DM12 CASEY') are one family, as in GDI and",
        "  under Wine; the representative face (here the one in the first file) names it.",
        "- A character Windows-1252 lacks becomes '?'. 'Ж' has no best-fit look-alike in",
        "  Windows-1252, so a conversion that best-fits (as Windows' does: 'Ω' to 'O') gives '?' too.",
        "- A horizontal stretch by lfWidth / average (the average of the em at that size) applies to",
        "  the glyph measured in whole pixels: the left edge is stretched and taken down to a whole",
        "  pixel, the right edge and the advance stretched and taken up, as the reference GDI does.",
        "",
    ]
    return "\n".join(lines)


def write_text(path, text):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def make_all(out):
    """Writes every font and table into `out`; returns the names written."""
    os.makedirs(out, exist_ok=True)
    faces = the_faces()
    files = {}
    for face in faces:
        files.setdefault(face.file, []).append((face.index, build_font(face)))
    for file, built in files.items():
        built.sort()
        if len(built) == 1 and not file.endswith(".ttc"):
            write_bytes(os.path.join(out, file), built[0][1])
            continue
        collection = TTCollection()
        collection.fonts = [TTFont(io.BytesIO(data), recalcTimestamp=False) for _, data in built]
        data = io.BytesIO()
        collection.save(data, shareTables=True)
        write_bytes(os.path.join(out, file), data.getvalue())
    write_tables(out, faces)
    return sorted(os.listdir(out))


def font_content(path):
    """What a font file says, table by table, as fontTools reads it back: the
    same for two files where only the compiling differs (another fontTools
    packs a CFF table otherwise), not where a value does."""
    fonts = TTCollection(path).fonts if path.endswith(".ttc") else [TTFont(path)]
    content = []
    for font in fonts:
        tables = {}
        for tag in font.keys():
            if tag == "GlyphOrder":
                continue
            dump = io.StringIO()
            font.saveXML(dump, tables=[tag])
            # The checksum is of the bytes, the version of the fontTools that reads.
            tables[tag] = [line for line in dump.getvalue().splitlines()
                           if "checkSumAdjustment" not in line and "ttLibVersion" not in line]
        content.append(tables)
    return content


def same_file(made, committed, same_fonttools):
    """Byte for byte with the fontTools that made the committed files; with
    another, fonts by what they say and the rest (EXPECTED.md but for the line
    naming the version, the tables) byte for byte."""
    if same_fonttools:
        return filecmp.cmp(made, committed, shallow=False)
    if made.endswith((".ttf", ".otf", ".ttc")):
        return font_content(made) == font_content(committed)
    with open(made, "rb") as a, open(committed, "rb") as b:
        version = re.compile(rb"^Made with fontTools \S+\.$", re.M)
        return version.sub(b"", a.read()) == version.sub(b"", b.read())


def check(committed_dir):
    """Makes everything afresh and compares it with the committed files. 0 or 1."""
    with open(os.path.join(committed_dir, "EXPECTED.md"), encoding="utf-8") as f:
        found = re.search(r"^Made with fontTools (\S+)\.$", f.read(), re.M)
    same_fonttools = bool(found) and found.group(1) == fontTools.version
    if not same_fonttools:
        print("the committed fonts were made with fontTools %s, this is %s: comparing what they say"
              % (found.group(1) if found else "?", fontTools.version))
    with tempfile.TemporaryDirectory(prefix="dm12-fonts-") as fresh:
        made = make_all(fresh)
        committed = sorted(f for f in os.listdir(committed_dir)
                           if f.endswith((".ttf", ".otf", ".ttc")) or f == "EXPECTED.md"
                           or (f.startswith("expected_") and f.endswith(".csv")))
        problems = []
        for name in made:
            path = os.path.join(committed_dir, name)
            if not os.path.exists(path):
                problems.append("%s: made by the script, not committed" % name)
            elif not same_file(os.path.join(fresh, name), path, same_fonttools):
                problems.append("%s: differs from what the script makes" % name)
        problems += ["%s: committed, but the script does not make it" % name
                     for name in committed if name not in made]
    if problems:
        print("tests/fonts is not what make_fonts.py makes (run /usr/bin/python3 "
              "tests/fonts/make_fonts.py):\n  " + "\n  ".join(problems))
        return 1
    print("make_fonts.py made the %d committed files again, %s"
          % (len(made), "byte for byte" if same_fonttools else "the fonts table for table"))
    return 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", default=here, help="folder to write into (default: the script's own)")
    parser.add_argument("--check", action="store_true",
                        help="make everything in a temporary folder and compare it with the "
                             "script's folder")
    args = parser.parse_args()
    if args.check:
        return check(here)
    make_all(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
