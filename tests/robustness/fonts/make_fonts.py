#!/usr/bin/env python3
"""Writes the robustness tests' bitmap, Type 1 and bitmap-only TrueType fonts
into this folder.

Every font is drawn here from numbers, so the same script gives the same
bytes: BDF written as text, PCF made from a BDF by bdftopcf (xfonts-utils)
and gzipped without a time stamp, Windows FNT 2.0 and a FON holding two FNT
3.0 resources assembled from their documented layout (FNT files of one
family in several character sets among them), Type 1 fonts as PFA, PFB and a
raw binary .t1, eexec-encrypted with fontTools' helpers, and a bitmap-only
TrueType font as font editors make them for Windows: a glyf table of empty
glyphs (only .notdef has an outline) beside an EBLC/EBDT strike.

Glyphs are filled boxes; a glyph's advance is the only thing the tests
measure, so each code gets its own advance:
    bitmap: advance(code, height) = height // 3 for the space, else
            2 + code % 5 + height // 4
"""
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from fontTools.fontBuilder import FontBuilder
from fontTools.misc import eexec
from fontTools.misc.psCharStrings import T1CharString
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import newTable
from fontTools.ttLib.tables import ttProgram

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = HERE  # where the fonts go; --check writes them elsewhere and compares
FIRST, LAST = 32, 126  # the codes every bitmap font holds; 127 is missing


def advance(code, height):
    return height // 3 if code == 32 else 2 + code % 5 + height // 4


def ascent_of(height):
    return height - height // 4


def glyph_rows(code, height):
    """Rows of a glyph as lists of 0/1, top row first, width = advance."""
    width = advance(code, height)
    ink = 0 if code == 32 else max(width - 1, 1)
    return [[1 if x < ink else 0 for x in range(width)] for _ in range(height)]


# --- BDF and PCF --------------------------------------------------------------

def bdf_text(family, height, weight="Medium"):
    asc = ascent_of(height)
    desc = height - asc
    widths = [advance(c, height) for c in range(FIRST, LAST + 1)]
    average = round(10 * sum(widths) / len(widths))
    out = [
        "STARTFONT 2.1",
        "FONT -dm12-%s-%s-r-normal--%d-%d-75-75-p-%d-ISO10646-1"
        % (family, weight.lower(), height, height * 10, average),
        "SIZE %d 75 75" % height,
        "FONTBOUNDINGBOX %d %d 0 %d" % (max(widths), height, -desc),
        "STARTPROPERTIES 14",
        'FAMILY_NAME "%s"' % family,
        'WEIGHT_NAME "%s"' % weight,
        'SLANT "R"',
        'SETWIDTH_NAME "Normal"',
        "PIXEL_SIZE %d" % height,
        "POINT_SIZE %d" % (height * 10),
        "RESOLUTION_X 75",
        "RESOLUTION_Y 75",
        'SPACING "P"',
        "AVERAGE_WIDTH %d" % average,
        'CHARSET_REGISTRY "ISO10646"',
        'CHARSET_ENCODING "1"',
        "FONT_ASCENT %d" % asc,
        "FONT_DESCENT %d" % desc,
        "ENDPROPERTIES",
        "CHARS %d" % (LAST - FIRST + 1),
    ]
    for code in range(FIRST, LAST + 1):
        width = advance(code, height)
        out += [
            "STARTCHAR U+%04X" % code,
            "ENCODING %d" % code,
            "SWIDTH %d 0" % round(width * 72000 / (height * 10 * 75)),
            "DWIDTH %d 0" % width,
            "BBX %d %d 0 %d" % (width, height, -desc),
            "BITMAP",
        ]
        for row in glyph_rows(code, height):
            bits = row + [0] * (-len(row) % 8)
            value = int("".join(map(str, bits)), 2)
            out.append("%0*X" % (len(bits) // 4, value))
        out.append("ENDCHAR")
    out.append("ENDFONT")
    return "\n".join(out) + "\n"


def write_bdf(name, family, height, weight="Medium"):
    with open(os.path.join(OUT, name), "w", newline="\n") as f:
        f.write(bdf_text(family, height, weight))


def write_pcf_gz(name, family, height):
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "font.bdf")
        with open(source, "w", newline="\n") as f:
            f.write(bdf_text(family, height))
        pcf = subprocess.run(["bdftopcf", source], check=True, stdout=subprocess.PIPE).stdout
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(gzip.compress(pcf, mtime=0))


# --- Windows FNT and FON ------------------------------------------------------

def fnt_bytes(face, height, version, weight, family_bits, charset=0):
    """One FNT resource: header, character table, column-major bitmaps, name."""
    header_size = 118 if version == 0x200 else 148
    entry_size = 4 if version == 0x200 else 6
    codes = list(range(FIRST, LAST + 1))
    table_size = entry_size * (len(codes) + 1)  # and the sentinel entry
    bitmaps = b""
    entries = []
    offset = header_size + table_size
    for code in codes:
        rows = glyph_rows(code, height)
        width = len(rows[0])
        columns = (width + 7) // 8
        data = bytearray(columns * height)
        for y, row in enumerate(rows):
            for x, bit in enumerate(row):
                if bit:
                    data[(x // 8) * height + y] |= 0x80 >> (x % 8)
        entries.append((width, offset + len(bitmaps)))
        bitmaps += bytes(data)
    entries.append((advance(32, height), offset + len(bitmaps)))  # the sentinel
    face_offset = offset + len(bitmaps)
    file_size = face_offset + len(face) + 1
    widths = [e[0] for e in entries[:-1]]
    average = round(sum(widths) / len(widths))
    header = struct.pack(
        "<HI60sHHHHHHHBBBHBHHBHHBBBBHIIIIB",
        version, file_size, b"dump_metrics12 test font".ljust(60, b"\0"),
        0,  # raster
        height * 3 // 4, 96, 96, ascent_of(height), 0, 0,
        0, 0, 0, weight, charset,
        0, height,  # variable pitch
        family_bits | 1,  # bit 0 set: variable pitch
        average, max(widths),
        FIRST, LAST, 0x3F - FIRST, 0,  # default '?', break ' '
        max(widths) // 8 + 1, 0, face_offset, 0, header_size + table_size, 0,
    )
    if version == 0x300:
        header += struct.pack("<IHHHI16s", 0x1, 0, 0, 0, 0, b"")
    assert len(header) == header_size
    fmt = "<HH" if version == 0x200 else "<HI"
    table = b"".join(struct.pack(fmt, w, o) for w, o in entries)
    return header + table + bitmaps + face.encode("ascii") + b"\0"


def fon_bytes(fonts, module):
    """A 16-bit NE executable whose only resources are RT_FONT fonts."""
    shift = 4
    mz = bytearray(64)
    mz[0:2] = b"MZ"
    struct.pack_into("<I", mz, 0x3C, 64)
    # Resource table: shift, one RT_FONT type entry, its name entries, end.
    resource_table_size = 2 + 8 + 12 * len(fonts) + 2
    names = bytes([len(module)]) + module.encode("ascii") + b"\0"
    ne_size = 64
    data_start = 64 + ne_size + resource_table_size + len(names)
    data_start += -data_start % (1 << shift)
    table = struct.pack("<H", shift) + struct.pack("<HHI", 0x8008, len(fonts), 0)
    body = b""
    for index, font in enumerate(fonts):
        padded = font + b"\0" * (-len(font) % (1 << shift))
        where = data_start + len(body)
        table += struct.pack("<HHHHHH", where >> shift, len(padded) >> shift, 0x1C30,
                             0x8001 + index, 0, 0)
        body += padded
    table += struct.pack("<H", 0)
    ne = bytearray(ne_size)
    ne[0:2] = b"NE"
    struct.pack_into("<HH", ne, 0x24, ne_size, ne_size + len(table))  # resources, names
    head = bytes(mz) + bytes(ne) + table + names
    return head + b"\0" * (data_start - len(head)) + body


# --- Type 1 -------------------------------------------------------------------

# Glyphs: name, code, left side bearing, ink width, advance, in 1/1000 em.
# At 32 pixels per em the ink's edges fall mid-pixel, clear of the hinter's
# rounding, so floor and ceiling are stable.
TYPE1_GLYPHS = [
    ("space", 32, 0, 0, 250),
    ("period", 46, 140, 125, 375),
    ("A", 65, 140, 500, 750),
    ("B", 66, 0, 610, 625),
    ("W", 87, 140, 750, 1000),
    ("i", 105, 140, 125, 375),
]


def charstring_bytes(program):
    cs = T1CharString(program=program)
    cs.compile()
    return cs.bytecode


def type1_parts(family, font_name, weight, scale):
    """The clear text and the private part (before eexec) of a Type 1 font."""
    clear = (
        "%%!PS-AdobeFont-1.0: %s 001.000\n"
        "12 dict begin\n"
        "/FontInfo 9 dict dup begin\n"
        "/version (001.000) readonly def\n"
        "/Notice (dump_metrics12 test font) readonly def\n"
        "/FullName (%s %s) readonly def\n"
        "/FamilyName (%s) readonly def\n"
        "/Weight (%s) readonly def\n"
        "/ItalicAngle 0 def\n"
        "/isFixedPitch false def\n"
        "/UnderlinePosition -125 def\n"
        "/UnderlineThickness 50 def\n"
        "end readonly def\n"
        "/FontName /%s def\n"
        "/Encoding StandardEncoding def\n"
        "/PaintType 0 def\n"
        "/FontType 1 def\n"
        "/FontMatrix [0.001 0 0 0.001 0 0] readonly def\n"
        "/FontBBox {0 -250 1250 750} readonly def\n"
        "currentdict end\n"
        "currentfile eexec\n" % (font_name, family, weight, family, weight, font_name)
    ).encode("ascii")
    glyphs = [(".notdef", 0, 140, 375, 625)] + TYPE1_GLYPHS
    private = (
        "dup /Private 9 dict dup begin\n"
        "/RD {string currentfile exch readstring pop} executeonly def\n"
        "/ND {noaccess def} executeonly def\n"
        "/NP {noaccess put} executeonly def\n"
        "/MinFeature {16 16} def\n"
        "/password 5839 def\n"
        "/BlueValues [] def\n"
        "/lenIV 4 def\n"
        "2 index /CharStrings %d dict dup begin\n" % len(glyphs)
    ).encode("ascii")
    for name, _code, lsb, ink, width in glyphs:
        program = [lsb * scale // 4, width * scale // 4, "hsbw"]
        if ink:
            program += [0, "hmoveto", ink * scale // 4, "hlineto", 625, "vlineto",
                        -ink * scale // 4, "hlineto", "closepath"]
        program.append("endchar")
        encrypted, _ = eexec.encrypt(b"\0\0\0\0" + charstring_bytes(program), 4330)
        private += b"/%s %d RD " % (name.encode("ascii"), len(encrypted)) + encrypted + b" ND\n"
    private += (
        b"end\nend\nreadonly put\nnoaccess put\n"
        b"dup /FontName get exch definefont pop\nmark currentfile closefile\n"
    )
    encrypted, _ = eexec.encrypt(b"\0\0\0\0" + private, 55665)
    trailer = ("0" * 64 + "\n") * 8 + "cleartomark\n"
    return clear, encrypted, trailer.encode("ascii")


def write_pfa(name, family, font_name, weight, scale):
    clear, encrypted, trailer = type1_parts(family, font_name, weight, scale)
    hex_text = encrypted.hex()
    lines = "\n".join(hex_text[i:i + 64] for i in range(0, len(hex_text), 64))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(clear + lines.encode("ascii") + b"\n" + trailer)


def write_pfb(name, family, font_name, weight, scale):
    clear, encrypted, trailer = type1_parts(family, font_name, weight, scale)
    with open(os.path.join(OUT, name), "wb") as f:
        for kind, data in ((1, clear), (2, encrypted), (1, trailer)):
            f.write(struct.pack("<BBI", 0x80, kind, len(data)) + data)
        f.write(b"\x80\x03")


def write_t1(name, family, font_name, weight, scale):
    clear, encrypted, trailer = type1_parts(family, font_name, weight, scale)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(clear + encrypted + trailer)


# --- Bitmap-only TrueType -------------------------------------------------------

# The outlines are empty, with advances of their own in hmtx; the strike at
# SBIT_PPEM has other metrics, so a width tells which of the two was read.
SBIT_EM = 1000
SBIT_PPEM = 12


def sbit_hmtx_advance(code):
    """In font units: 250 for the space, else 500 .. 740."""
    return 250 if code == 32 else 500 + 40 * (code % 7)


def sbit_metrics(code):
    """(width, height, bearing x, bearing y, advance) of the strike's bitmap, in pixels."""
    if code == 32:
        return 0, 0, 0, 0, 4
    width = 2 + code % 4
    bearing = code % 3 - 1  # -1 .. 1
    return width, 8, bearing, 8, width + 2


def sbit_line_metrics(direction, ascender, descender, width_max):
    fields = [("ascender", ascender), ("descender", descender), ("widthMax", width_max),
              ("caretSlopeNumerator", 1), ("caretSlopeDenominator", 0), ("caretOffset", 0),
              ("minOriginSB", 0), ("minAdvanceSB", 0), ("maxBeforeBL", ascender),
              ("minAfterBL", descender), ("pad1", 0), ("pad2", 0)]
    return '<sbitLineMetrics direction="%s">%s</sbitLineMetrics>' % (
        direction, "".join('<%s value="%d"/>' % field for field in fields))


def sbit_tables_xml(names):
    """EBDT and EBLC in fontTools' XML: one strike of byte-aligned bitmaps
    with their small metrics (image format 1) for every glyph but .notdef."""
    bitmaps, locations = [], []
    for glyph_id, (name, code) in enumerate(names):
        if code is None:
            continue
        width, height, bearing_x, bearing_y, advance = sbit_metrics(code)
        image = "ff" * ((width + 7) // 8 * height)
        bitmaps.append(
            '<ebdt_bitmap_format_1 name="%s"><SmallGlyphMetrics><height value="%d"/>'
            '<width value="%d"/><BearingX value="%d"/><BearingY value="%d"/>'
            '<Advance value="%d"/></SmallGlyphMetrics><rawimagedata>%s</rawimagedata>'
            "</ebdt_bitmap_format_1>" % (name, height, width, bearing_x, bearing_y, advance, image))
        locations.append('<glyphLoc id="%d" name="%s"/>' % (glyph_id, name))
    last = len(names) - 1
    return (
        '<ttFont><EBDT><header version="2.0"/><strikedata index="0">%s</strikedata></EBDT>'
        '<EBLC><header version="2.0"/><strike index="0"><bitmapSizeTable>%s%s'
        '<colorRef value="0"/><startGlyphIndex value="1"/><endGlyphIndex value="%d"/>'
        '<ppemX value="%d"/><ppemY value="%d"/><bitDepth value="1"/><flags value="1"/>'
        '</bitmapSizeTable><eblc_index_sub_table_1 imageFormat="1" firstGlyphIndex="1" '
        'lastGlyphIndex="%d">%s</eblc_index_sub_table_1></strike></EBLC></ttFont>'
        % ("".join(bitmaps), sbit_line_metrics("hori", 10, -2, 8),
           sbit_line_metrics("vert", 6, -6, 8), last, SBIT_PPEM, SBIT_PPEM, last,
           "".join(locations)))


def finish_sfnt(builder, family, average_width):
    """The tables the small TrueType fonts share: a regular face of `family`
    with an 800/200 cell on an em of 1000, in Windows-1252 (code page bit 0)."""
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    builder.setupNameTable({"familyName": family, "styleName": "Regular",
                            "uniqueFontIdentifier": family + " Regular",
                            "fullName": family + " Regular", "psName": family.replace(" ", "")})
    builder.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200,
                     xAvgCharWidth=average_width, ulCodePageRange1=1, achVendID="DM12")
    builder.setupPost()


def write_bitmap_only_ttf(name, family):
    names = [(".notdef", None)] + [("g%02X" % code, code) for code in range(FIRST, LAST + 1)]
    builder = FontBuilder(SBIT_EM, isTTF=True)
    builder.font.recalcTimestamp = False
    builder.updateHead(created=0, modified=0, fontRevision=1.0)
    builder.setupGlyphOrder([n for n, _ in names])
    builder.setupCharacterMap({code: n for n, code in names if code is not None})
    notdef = TTGlyphPen(None)
    for point in [(50, 0), (50, 700), (450, 700), (450, 0)]:
        (notdef.lineTo if point != (50, 0) else notdef.moveTo)(point)
    notdef.closePath()
    glyphs = {n: TTGlyphPen(None).glyph() for n, _ in names}
    glyphs[".notdef"] = notdef.glyph()
    builder.setupGlyf(glyphs)
    builder.setupHorizontalMetrics(
        {n: (500 if code is None else sbit_hmtx_advance(code), 0) for n, code in names})
    finish_sfnt(builder, family, 600)
    with tempfile.TemporaryDirectory() as tmp:
        xml = os.path.join(tmp, "sbit.ttx")
        with open(xml, "w") as f:
            f.write(sbit_tables_xml(names))
        builder.font.importXML(xml)
    builder.save(os.path.join(OUT, name))


# --- A curve past its points ----------------------------------------------------

def write_curve_ttf(name, family):
    """'O' is one quadratic arc from (100, 0) to (100, 700) whose control
    point lies at x = 800, while the arc itself reaches only x = 450: the
    black box follows the points, as a TrueType glyph's box is defined. A
    one-instruction control-value program marks the font as hinted, so no
    renderer auto-hints it and the outline is only scaled."""
    builder = FontBuilder(1000, isTTF=True)
    builder.font.recalcTimestamp = False
    builder.updateHead(created=0, modified=0, fontRevision=1.0)
    builder.setupGlyphOrder([".notdef", "space", "O"])
    builder.setupCharacterMap({32: "space", ord("O"): "O"})
    arc = TTGlyphPen(None)
    arc.moveTo((100, 0))
    arc.qCurveTo((800, 350), (100, 700))
    arc.closePath()
    builder.setupGlyf({".notdef": TTGlyphPen(None).glyph(), "space": TTGlyphPen(None).glyph(),
                       "O": arc.glyph()})
    builder.setupHorizontalMetrics({".notdef": (500, 0), "space": (250, 0), "O": (900, 100)})
    finish_sfnt(builder, family, 550)
    prep = builder.font["prep"] = newTable("prep")
    prep.program = ttProgram.Program()
    prep.program.fromAssembly(["SVTCA[0]"])
    builder.save(os.path.join(OUT, name))


def make_all():
    write_bdf("DM12Bdf-13.bdf", "DM12 Bdf", 13)
    write_bdf("DM12Bdf-19.bdf", "DM12 Bdf", 19)
    write_bdf("DM12Bdf-Bold-16.bdf", "DM12 Bdf", 16, "Bold")
    write_pcf_gz("DM12Pcf-12.pcf.gz", "DM12 Pcf", 12)
    write_pcf_gz("DM12Pcf-16.pcf.gz", "DM12 Pcf", 16)
    with open(os.path.join(OUT, "DM12Fnt-14.fnt"), "wb") as f:
        f.write(fnt_bytes("DM12 Fnt", 14, 0x200, 700, 0x20))
    with open(os.path.join(OUT, "DM12Fon.fon"), "wb") as f:
        f.write(fon_bytes([fnt_bytes("DM12 Fon", 10, 0x300, 400, 0x10),
                           fnt_bytes("DM12 Fon", 20, 0x300, 400, 0x10)], "DM12FON"))
    # One family in two character sets, and one in two without Windows-1252.
    for file, family, height, charset in [
            ("DM12Codepage-1252.fnt", "DM12 Codepage", 13, 0),
            ("DM12Codepage-1251.fnt", "DM12 Codepage", 16, 204),
            ("DM12CodepageRest-1253.fnt", "DM12 Codepage Rest", 13, 161),
            ("DM12CodepageRest-1255.fnt", "DM12 Codepage Rest", 16, 177)]:
        with open(os.path.join(OUT, file), "wb") as f:
            f.write(fnt_bytes(family, height, 0x200, 400, 0x20, charset))
    write_bitmap_only_ttf("DM12Sbit.ttf", "DM12 Sbit")
    write_curve_ttf("DM12Curve.ttf", "DM12 Curve")
    write_pfa("DM12Type1-Regular.pfa", "DM12 Type1", "DM12Type1-Regular", "Regular", 4)
    write_pfb("DM12Type1-Bold.pfb", "DM12 Type1", "DM12Type1-Bold", "Bold", 5)
    write_t1("DM12Type1Raw.t1", "DM12 Type1 Raw", "DM12Type1Raw", "Regular", 4)



def content(name, data):
    """What a file holds: a gzipped one's unpacked bytes, since the gzip
    header's OS byte and the deflate stream differ between Python and zlib
    releases (Python 3.13 writes 0xff where 3.11 writes 0x03)."""
    return gzip.decompress(data) if name.endswith(".gz") else data


def main():
    global OUT
    if sys.argv[1:] != ["--check"]:
        make_all()
        return 0
    if not shutil.which("bdftopcf"):
        print("bdftopcf (xfonts-utils) is not installed: cannot remake the PCF fonts")
        return 77
    with tempfile.TemporaryDirectory() as tmp:
        OUT = tmp
        make_all()
        made = sorted(os.listdir(tmp))
        committed = sorted(n for n in os.listdir(HERE) if not n.endswith(".py"))
        if made != committed:
            print("files differ: made %s, committed %s" % (made, committed))
            return 1
        for name in made:
            with open(os.path.join(tmp, name), "rb") as a, open(os.path.join(HERE, name), "rb") as b:
                if content(name, a.read()) != content(name, b.read()):
                    print("%s is not what make_fonts.py makes" % name)
                    return 1
    print("%d fonts as make_fonts.py makes them" % len(made))
    return 0


if __name__ == "__main__":
    sys.exit(main())
