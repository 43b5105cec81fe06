#!/usr/bin/env python3
"""Writes a font folder of good and damaged fonts for the damaged-font run.

usage: make_damaged_fonts.py GOOD_FONT_DIR OUT_DIR

OUT_DIR/good holds copies of the good fonts plus a TrueType and a CFF font
made here; OUT_DIR/damaged holds files made from them: cut short, bytes
flipped in each table or in the glyph data, empty, not a font, a dangling
symlink, unreadable (only where permissions bind: not as root). Every
damaged TrueType or CFF file gets a family name of its own before it is
damaged, so that it cannot stand in for a good family. OUT_DIR/manifest.tsv
lists file, family and what the run must show for it:
    absent      the family is not enumerated (the file cannot be opened)
    glyph:C     enumerated; code C alone fails ("Failed to get ..."), no row
    any         enumerated or not; if enumerated, each code a row or a failure
The same arguments give the same files.
"""
import gzip
import os
import random
import shutil
import struct
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont

# name, code, left, right, advance (font units of a 1000-unit em)
GLYPHS = [(".notdef", None, 50, 450, 500), ("space", 32, 0, 0, 250),
          ("A", 65, 20, 580, 600), ("B", 66, 60, 540, 600), ("i", 105, 80, 200, 280)]


def draw_box(pen, left, right):
    if right > left:
        pen.moveTo((left, 0))
        pen.lineTo((left, 700))
        pen.lineTo((right, 700))
        pen.lineTo((right, 0))
        pen.closePath()


def build_font(path, family, cff):
    fb = FontBuilder(1000, isTTF=not cff)
    fb.setupGlyphOrder([g[0] for g in GLYPHS])
    fb.setupCharacterMap({g[1]: g[0] for g in GLYPHS if g[1]})
    if cff:
        charstrings = {}
        for name, _code, left, right, width in GLYPHS:
            pen = T2CharStringPen(width, None)
            draw_box(pen, left, right)
            charstrings[name] = pen.getCharString()
        fb.setupCFF(family.replace(" ", ""), {"FullName": family}, charstrings, {})
    else:
        glyphs = {}
        for name, _code, left, right, _width in GLYPHS:
            pen = TTGlyphPen(None)
            draw_box(pen, left, right)
            glyphs[name] = pen.glyph()
        fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics({g[0]: (g[4], g[2]) for g in GLYPHS})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular"})
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200,
                ulCodePageRange1=1, achVendID="DM12")
    fb.setupPost()
    fb.save(path)


def table_directory(data):
    """{tag: (offset, length)} of an sfnt's table directory."""
    count = struct.unpack_from(">H", data, 4)[0]
    tables = {}
    for i in range(count):
        tag, _checksum, offset, length = struct.unpack_from(">4sIII", data, 12 + 16 * i)
        tables[tag.decode("latin-1")] = (offset, length)
    return tables


def glyph_span(path, data, glyph_name):
    """Where a TrueType glyph's data lies in the file."""
    font = TTFont(path)
    index = font.getGlyphID(glyph_name)
    loca = font["loca"]
    start, end = loca[index], loca[index + 1]
    glyf_offset = table_directory(data)["glyf"][0]
    return glyf_offset + start, glyf_offset + end


def flip(data, positions):
    out = bytearray(data)
    for p in positions:
        out[p] ^= 0xFF
    return bytes(out)


def main():
    good_dir, out_dir = sys.argv[1], sys.argv[2]
    shutil.rmtree(out_dir, ignore_errors=True)
    good = os.path.join(out_dir, "good")
    damaged = os.path.join(out_dir, "damaged")
    os.makedirs(good)
    os.makedirs(damaged)
    manifest = []
    rng = random.Random(12)

    for name in sorted(os.listdir(good_dir)):
        if not name.endswith(".py"):
            shutil.copyfile(os.path.join(good_dir, name), os.path.join(good, name))
    build_font(os.path.join(good, "DM12GoodTT.ttf"), "DM12 Good TT", cff=False)
    build_font(os.path.join(good, "DM12GoodCFF.otf"), "DM12 Good CFF", cff=True)

    def write(name, data, family="", expect="any"):
        with open(os.path.join(damaged, name), "wb") as f:
            f.write(data)
        manifest.append((name, family, expect))

    def base(family, cff):
        path = os.path.join(out_dir, "base.otf" if cff else "base.ttf")
        build_font(path, family, cff)
        with open(path, "rb") as f:
            data = f.read()
        return path, data

    # Cut short: nothing, the header alone, part of the table directory,
    # then at fractions of the file.
    for cff in (False, True):
        kind = "CFF" if cff else "TT"
        for label, fraction in (("header", None), ("half", 0.5), ("most", 0.9), ("last", None)):
            family = "DM12 Cut %s %s" % (kind, label)
            _path, data = base(family, cff)
            if label == "header":
                write("cut-%s-header.%s" % (kind, "otf" if cff else "ttf"), data[:12], family,
                      "absent")
                continue
            end = len(data) - 1 if label == "last" else int(len(data) * fraction)
            write("cut-%s-%s.%s" % (kind, label, "otf" if cff else "ttf"), data[:end], family)
        # Bytes flipped inside each table in turn, at a few places each.
        family = "DM12 Flip %s" % kind
        _path, data = base(family, cff)
        for tag, (offset, length) in sorted(table_directory(data).items()):
            for round_ in range(3):
                fam = "DM12 Flip %s %s %d" % (kind, tag.strip().replace("/", ""), round_)
                _path, data = base(fam, cff)
                offset, length = table_directory(data)[tag]
                if length == 0:
                    continue
                if tag == "name":
                    positions = [offset + rng.randrange(min(length, 6))]  # keep the strings
                else:
                    positions = [offset + rng.randrange(length) for _ in range(1 + round_ * 2)]
                write("flip-%s-%s-%d.%s" % (kind, tag.strip().replace("/", ""), round_,
                                            "otf" if cff else "ttf"),
                      flip(data, positions), fam)

    # A glyph that cannot be read: 'A' claims more contours than its data holds.
    family = "DM12 Bad Glyph"
    path, data = base(family, False)
    start, _end = glyph_span(path, data, "A")
    bad = bytearray(data)
    struct.pack_into(">h", bad, start, 0x7FF)
    write("bad-glyph-A.ttf", bytes(bad), family, "glyph:65")

    # Random bytes within each glyph's data.
    for round_ in range(4):
        fam = "DM12 Glyph Noise %d" % round_
        path, data = base(fam, False)
        spans = [glyph_span(path, data, g[0]) for g in GLYPHS]
        positions = [rng.randrange(s, e) for s, e in spans if e > s]
        write("glyph-noise-%d.ttf" % round_, flip(data, positions), fam)

    # The bitmap and Type 1 fonts, cut short and with flipped bytes.
    for name in sorted(os.listdir(good_dir)):
        if name.endswith(".py"):
            continue
        with open(os.path.join(good_dir, name), "rb") as f:
            data = f.read()
        # Renamed first (DM12 -> DX12, the same length, also as UTF-16 in a
        # name table) so that a damaged copy that still opens makes a family
        # of its own.
        def renamed(font):
            return font.replace(b"DM12", b"DX12").replace("DM12".encode("utf-16-be"),
                                                           "DX12".encode("utf-16-be"))

        if name.endswith(".gz"):
            data = gzip.compress(renamed(gzip.decompress(data)), mtime=0)
        else:
            data = renamed(data)
        stem, ext = name.split(".", 1)
        write("cut-%s.%s" % (stem, ext), data[:len(data) * 2 // 3])
        write("flip-%s.%s" % (stem, ext), flip(data, [rng.randrange(len(data)) for _ in range(8)]))

    # Not fonts at all.
    write("empty.ttf", b"", "", "absent")
    write("text.ttf", b"This is not a font.\n" * 20, "", "absent")
    write("noise.otf", bytes(rng.randrange(256) for _ in range(4096)), "", "absent")
    write("noise-sfnt.ttf", b"\0\1\0\0" + bytes(rng.randrange(256) for _ in range(4092)), "",
          "absent")
    write("noise.pcf.gz", b"\x1f\x8b\x08\0" + bytes(rng.randrange(256) for _ in range(1024)),
          "", "absent")
    os.symlink(os.path.join(damaged, "gone.ttf"), os.path.join(damaged, "dangling.ttf"))
    manifest.append(("dangling.ttf", "", "absent"))
    # Unreadable by permission: root reads it all the same, so only where that binds.
    family = "DM12 Unreadable"
    _path, data = base(family, False)
    write("unreadable.ttf", data, family, "absent" if os.geteuid() != 0 else "any")
    os.chmod(os.path.join(damaged, "unreadable.ttf"), 0)

    for leftover in ("base.ttf", "base.otf"):
        path = os.path.join(out_dir, leftover)
        if os.path.exists(path):
            os.remove(path)
    with open(os.path.join(out_dir, "manifest.tsv"), "w") as f:
        for row in manifest:
            f.write("\t".join(row) + "\n")
    print("%d damaged inputs in %s" % (len(manifest), damaged))


if __name__ == "__main__":
    main()
