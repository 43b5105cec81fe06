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
    same:F      enumerated, and its 96 rows have the numbers of family F's
    differs:F   enumerated, and some of its rows differ from family F's

Device metrics (VDMX, hdmx, gasp) that do not parse read as absent: a twin
of one font without them (DM12 Dev Bare, in OUT_DIR/good) and with each
intact (DM12 Dev VDMX, hdmx, gasp, also good: VDMX and hdmx change its
widths, gasp does not) stand beside copies whose table is cut short, counts
more than it holds, has records out of order or outside their group's
sizes, or has a version GDI does not know; each must measure as the bare
twin.

usage: make_damaged_fonts.py --device-seeds OUT_DIR writes those damaged
copies alone, as seeds of the fuzzer (fuzz/seeds).

The same arguments give the same files.
"""
import gzip
import io
import os
import random
import shutil
import struct
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables import ttProgram
from fontTools.ttLib.tables.DefaultTable import DefaultTable

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


# -- device metrics that do not parse --------------------------------------------------------------

# Every glyph with an outline moves its advance one pixel right (the advance point, 5, of a
# one-contour glyph), so that hinting shows in the widths; a gasp that turned hinting off would too.
SHIFT_RIGHT_1 = ["SVTCA[1]", "PUSHB[ ]", "5 64", "SHPIX[ ]"]
# 1000 units an em, cell 1000: the enumerated height is 32. The VDMX group's yMax - yMin is
# ppem + ppem // 4 + 1, so 32 is ppem 25's height; hdmx adds two pixels to every advance at 16,
# 32 and 48 ppem; gasp asks for no grid-fitting above 8 ppem.
DEVICE_VDMX_GROUP = {p: (p, -(p // 4 + 1)) for p in range(20, 41)}


def device_font(family, tables=(), raw=None):
    """The bytes of a TrueType font with hinted glyphs and the device `tables` named, intact, or
    with `raw` = (tag, bytes) as one table's bytes."""
    fb = FontBuilder(1000, isTTF=True)
    fb.updateHead(created=0, modified=0)
    fb.font.recalcTimestamp = False
    fb.setupGlyphOrder([g[0] for g in GLYPHS])
    fb.setupCharacterMap({g[1]: g[0] for g in GLYPHS if g[1]})
    glyphs = {}
    for name, _code, left, right, _width in GLYPHS:
        pen = TTGlyphPen(None)
        draw_box(pen, left, right)
        glyphs[name] = pen.glyph()
        if right > left:
            glyphs[name].program = ttProgram.Program()
            glyphs[name].program.fromAssembly(SHIFT_RIGHT_1)
    fb.setupGlyf(glyphs)
    fb.setupHorizontalMetrics({g[0]: (g[4], g[2]) for g in GLYPHS})
    fb.setupHorizontalHeader(ascent=800, descent=-200)
    fb.setupNameTable({"familyName": family, "styleName": "Regular"})
    fb.setupOS2(sTypoAscender=800, sTypoDescender=-200, usWinAscent=800, usWinDescent=200,
                ulCodePageRange1=1, achVendID="DM12", xAvgCharWidth=500)
    fb.setupPost()
    font = fb.font
    font["prep"] = newTable("prep")
    font["prep"].program = ttProgram.Program()
    font["prep"].program.fromAssembly(["SVTCA[0]"])
    font["maxp"].maxStackElements = 2
    font["maxp"].maxSizeOfInstructions = len(glyphs["A"].program.getBytecode())
    if "VDMX" in tables:
        vdmx = font["VDMX"] = newTable("VDMX")
        vdmx.version, vdmx.numRecs, vdmx.numRatios = 1, 1, 1
        vdmx.ratRanges = [dict(bCharSet=1, xRatio=1, yStartRatio=1, yEndRatio=1, groupIndex=0)]
        vdmx.groups = [DEVICE_VDMX_GROUP]
    if "hdmx" in tables:
        hdmx = font["hdmx"] = newTable("hdmx")
        hdmx.hdmx = {ppem: {g[0]: round(g[4] * ppem / 1000) + 2 for g in GLYPHS}
                     for ppem in (16, 32, 48)}
    if "gasp" in tables:
        font["gasp"] = newTable("gasp")
        font["gasp"].gaspRange = {8: 0x0003, 0xFFFF: 0x0002}
    if raw:
        font[raw[0]] = DefaultTable(raw[0])
        font[raw[0]].data = raw[1]
    data = io.BytesIO()
    font.save(data)
    return data.getvalue()


def table_bytes(data, tag):
    offset, length = table_directory(data)[tag]
    return data[offset:offset + length]


def damaged_device_tables():
    """[(file stem, tag, damaged bytes)]: each device table, compiled intact, then damaged."""
    intact = device_font("DM12 Dev Full", ("VDMX", "hdmx", "gasp"))
    vdmx, hdmx, gasp = (table_bytes(intact, tag) for tag in ("VDMX", "hdmx", "gasp"))

    def put(data, fmt, offset, value):
        out = bytearray(data)
        struct.pack_into(fmt, out, offset, value)
        return bytes(out)

    # VDMX: version, numRecs, numRatios; one ratio record (6); its group's offset (10); the
    # group (12): recs, startsz, endsz, then 6 bytes a size from 16.
    group, entries = 12, 16
    out_of_order = bytearray(vdmx)
    third, fourth = entries + 3 * 6, entries + 4 * 6
    out_of_order[third:third + 6], out_of_order[fourth:fourth + 6] = \
        vdmx[fourth:fourth + 6], vdmx[third:third + 6]
    cases = [
        ("vdmx-cut", "VDMX", vdmx[:entries + 5 * 6 + 3]),
        ("vdmx-ratios-over", "VDMX", put(vdmx, ">H", 4, 40)),
        ("vdmx-sizes-over", "VDMX", put(vdmx, ">H", group, 60)),
        ("vdmx-group-over", "VDMX", put(vdmx, ">H", 10, len(vdmx) + 8)),
        ("vdmx-unordered", "VDMX", bytes(out_of_order)),
        ("vdmx-past-endsz", "VDMX", put(vdmx, ">B", group + 3, 30)),
        ("vdmx-before-startsz", "VDMX", put(vdmx, ">B", group + 2, 24)),
        ("vdmx-version-2", "VDMX", put(vdmx, ">H", 0, 2)),
    ]
    # hdmx: version, numRecords, sizeDeviceRecord; records from 8: ppem, maxWidth, widths.
    size = struct.unpack_from(">i", hdmx, 4)[0]
    swapped = bytearray(hdmx)
    swapped[8:8 + size], swapped[8 + size:8 + 2 * size] = \
        hdmx[8 + size:8 + 2 * size], hdmx[8:8 + size]
    cases += [
        ("hdmx-cut", "hdmx", hdmx[:8 + size + 3]),
        ("hdmx-records-over", "hdmx", put(hdmx, ">H", 2, 9)),
        ("hdmx-unordered", "hdmx", bytes(swapped)),
        ("hdmx-record-small", "hdmx", put(hdmx, ">i", 4, len(GLYPHS) + 1)),
        ("hdmx-record-huge", "hdmx", put(hdmx, ">i", 4, 0x7FFFFFF0)),
        ("hdmx-version-1", "hdmx", put(hdmx, ">H", 0, 1)),
    ]
    # gasp: version, numRanges, then rangeMaxPPEM and flags, 4 bytes a range.
    cases += [
        ("gasp-cut", "gasp", gasp[:6]),
        ("gasp-ranges-over", "gasp", put(gasp, ">H", 2, 50)),
        ("gasp-unordered", "gasp", gasp[:4] + gasp[8:12] + gasp[4:8]),
        ("gasp-version-2", "gasp", put(gasp, ">H", 0, 2)),
    ]
    return cases


def device_family(stem):
    family = "DM12 Dev " + stem.replace("-", " ")
    assert len(family) <= 31, family  # GDI's limit: each must stay a family of its own
    return family


def write_device_seeds(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    for stem, tag, data in damaged_device_tables():
        with open(os.path.join(out_dir, stem + ".ttf"), "wb") as f:
            f.write(device_font(device_family(stem), raw=(tag, data)))


def main():
    if sys.argv[1] == "--device-seeds":
        write_device_seeds(sys.argv[2])
        return
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

    # Device metrics: the bare twin, one twin per intact table, and each damaged table.
    bare = "DM12 Dev Bare"
    with open(os.path.join(good, "DM12DevBare.ttf"), "wb") as f:
        f.write(device_font(bare))
    manifest.append(("DM12DevBare.ttf", bare, "any"))
    for tag, expect in (("VDMX", "differs"), ("hdmx", "differs"), ("gasp", "same")):
        family = "DM12 Dev " + tag
        with open(os.path.join(good, "DM12Dev%s.ttf" % tag), "wb") as f:
            f.write(device_font(family, (tag,)))
        manifest.append(("DM12Dev%s.ttf" % tag, family, "%s:%s" % (expect, bare)))
    for stem, tag, data in damaged_device_tables():
        family = device_family(stem)
        write(stem + ".ttf", device_font(family, raw=(tag, data)), family, "same:" + bare)

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
