#!/usr/bin/env python3
"""Writes the robustness tests' bitmap and Type 1 fonts into this folder.

Every font is drawn here from numbers, so the same script gives the same
bytes: BDF written as text, PCF made from a BDF by bdftopcf (xfonts-utils)
and gzipped without a time stamp, Windows FNT 2.0 and a FON holding two FNT
3.0 resources assembled from their documented layout, and Type 1 fonts as
PFA, PFB and a raw binary .t1, eexec-encrypted with fontTools' helpers.

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

from fontTools.misc import eexec
from fontTools.misc.psCharStrings import T1CharString

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

def fnt_bytes(face, height, version, weight, family_bits):
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
        0, 0, 0, weight, 0,  # ANSI_CHARSET
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
    write_pfa("DM12Type1-Regular.pfa", "DM12 Type1", "DM12Type1-Regular", "Regular", 4)
    write_pfb("DM12Type1-Bold.pfb", "DM12 Type1", "DM12Type1-Bold", "Bold", 5)
    write_t1("DM12Type1Raw.t1", "DM12 Type1 Raw", "DM12Type1Raw", "Regular", 4)



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
                if a.read() != b.read():
                    print("%s is not what make_fonts.py makes" % name)
                    return 1
    print("%d fonts as make_fonts.py makes them" % len(made))
    return 0


if __name__ == "__main__":
    sys.exit(main())
