#!/usr/bin/python3
"""Tests tools/sweep_device_metrics.py's reading of fonts and its report, on fonts made here.

    /usr/bin/python3 tests/windows/sweep_device_metrics_test.py
"""

import os
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

from fontTools.fontBuilder import FontBuilder
from fontTools.ttLib import TTCollection, newTable
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.ttGlyphPen import TTGlyphPen

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import sweep_device_metrics as sweep  # noqa: E402


def make_font(path, tables=(), cff=False):
    """A one-glyph font at path, with the named device tables (minimal but valid) added."""
    builder = FontBuilder(1000, isTTF=not cff)
    builder.setupGlyphOrder([".notdef"])
    builder.setupCharacterMap({})
    if cff:
        pen = T2CharStringPen(500, None)
        builder.setupCFF("Sweep", {}, {".notdef": pen.getCharString()}, {})
    else:
        builder.setupGlyf({".notdef": TTGlyphPen(None).glyph()})
    builder.setupHorizontalMetrics({".notdef": (500, 0)})
    builder.setupHorizontalHeader(ascent=800, descent=-200)
    builder.setupNameTable({"familyName": "Sweep", "styleName": "Regular"})
    builder.setupOS2()
    builder.setupPost()
    font = builder.font
    if "gasp" in tables:
        font["gasp"] = newTable("gasp")
        font["gasp"].version = 1
        font["gasp"].gaspRange = {0xFFFF: 15}
    if "hdmx" in tables:
        font["hdmx"] = newTable("hdmx")
        font["hdmx"].hdmx = {32: {".notdef": 16}}
    if "LTSH" in tables:
        font["LTSH"] = newTable("LTSH")
        font["LTSH"].yPels = {".notdef": 1}
    if "VDMX" in tables:
        font["VDMX"] = newTable("VDMX")
        vdmx = font["VDMX"]
        vdmx.version = 1
        vdmx.numRecs = vdmx.numRatios = 1
        vdmx.ratRanges = [{"bCharSet": 1, "xRatio": 1, "yStartRatio": 1, "yEndRatio": 1, "groupIndex": 0}]
        vdmx.groups = [{32: (26, -6)}]
    font.save(path)
    return font


class ReadingFonts(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def test_each_device_table_is_seen_and_only_truetype_with_vdmx_or_hdmx_counts(self):
        cases = [
            # tables, CFF, read tables, carries
            (("VDMX", "hdmx", "gasp", "LTSH"), False, ("VDMX", "hdmx", "gasp", "LTSH"), True),
            (("VDMX",), False, ("VDMX",), True),
            (("hdmx", "gasp"), False, ("hdmx", "gasp"), True),
            (("gasp", "LTSH"), False, ("gasp", "LTSH"), False),
            ((), False, (), False),
            (("hdmx",), True, ("hdmx",), False),
        ]
        for number, (tables, cff, read, carries) in enumerate(cases):
            with self.subTest(tables=tables, cff=cff):
                path = self.path(f"case{number}.otf" if cff else f"case{number}.ttf")
                make_font(path, tables, cff)
                faces = sweep.read_faces(path)
                self.assertEqual(faces, [(0, "CFF" if cff else "glyf", read)])
                self.assertEqual(sweep.carries_device_metrics(faces[0]), carries)

    def test_a_collection_is_read_face_by_face(self):
        plain = make_font(self.path("plain.ttf"))
        metrics = make_font(self.path("metrics.ttf"), ("VDMX", "gasp"))
        collection = TTCollection()
        collection.fonts = [plain, metrics]
        collection.save(self.path("both.ttc"))
        faces = sweep.read_faces(self.path("both.ttc"))
        self.assertEqual(faces, [(0, "glyf", ()), (1, "glyf", ("VDMX", "gasp"))])

    def test_files_that_are_no_fonts_give_no_faces(self):
        with open(self.path("text.ttf"), "wb") as out:
            out.write(b"not a font at all, but long enough to hold a header")
        make_font(self.path("whole.ttf"), ("hdmx",))
        with open(self.path("whole.ttf"), "rb") as whole, open(self.path("cut.ttf"), "wb") as cut:
            cut.write(whole.read()[:20])
        with open(self.path("empty.ttf"), "wb"):
            pass
        for name in ("text.ttf", "cut.ttf", "empty.ttf"):
            with self.subTest(name=name):
                self.assertEqual(sweep.read_faces(self.path(name)), [])

    def test_font_files_are_found_by_suffix_ignoring_case_links_left_out(self):
        os.makedirs(self.path("usr/share/fonts/a"))
        for name in ("usr/share/fonts/a/B.TTF", "usr/share/fonts/a/a.otf", "usr/share/fonts/c.ttc",
                     "usr/share/fonts/d.OTC", "usr/share/fonts/a/readme.txt", "usr/share/fonts/e.pfb"):
            with open(self.path(name), "wb"):
                pass
        os.symlink("a/a.otf", self.path("usr/share/fonts/link.otf"))
        self.assertEqual(sweep.font_files(self.dir.name),
                         ["usr/share/fonts/a/B.TTF", "usr/share/fonts/a/a.otf",
                          "usr/share/fonts/c.ttc", "usr/share/fonts/d.OTC"])


class Reporting(unittest.TestCase):
    def test_download_sizes_are_read_per_package(self):
        shown = ("Package: fonts-a\nVersion: 1\nSize: 1234\n\n"
                 "Package: fonts-b\nVersion: 2\nDescription: no size\n\n"
                 "Package: fonts-c\nSize: 60000001\n")
        self.assertEqual(sweep.parse_sizes(shown), {"fonts-a": 1234, "fonts-c": 60000001})

    def test_report_lists_only_packages_with_truetype_vdmx_or_hdmx(self):
        packages = [
            ("fonts-a", "1.0", [("usr/share/fonts/a/A.ttf", [(0, "glyf", ("VDMX", "gasp"))]),
                                ("usr/share/fonts/a/B.ttf", [(0, "glyf", ("gasp",))])]),
            ("fonts-b", "2.0", [("usr/share/fonts/b/B.otf", [(0, "CFF", ("hdmx",))])]),
            ("fonts-c", "3.0", [("usr/share/fonts/c/C.ttc",
                                 [(0, "glyf", ()), (1, "glyf", ("hdmx", "LTSH"))])]),
            ("fonts-d", "4.0", []),
        ]
        text, chosen = sweep.report(packages, [("fonts-big", 70_000_000)], ["fonts-gone"])
        self.assertEqual(chosen, ["fonts-a", "fonts-c"])
        self.assertEqual(text.splitlines(), [
            "# packages swept: 4; font files: 4; faces: 5",
            "# faces with VDMX 1, hdmx 2, gasp 2, LTSH 1",
            "# packages with a TrueType face carrying VDMX or hdmx: 2",
            "# left out for their size: fonts-big (70.0 MB)",
            "# not fetched: fonts-gone",
            "fonts-a 1.0",
            "    /usr/share/fonts/a/A.ttf  VDMX gasp",
            "fonts-c 3.0",
            "    /usr/share/fonts/c/C.ttc#1  hdmx LTSH",
            "# the set: fonts-a fonts-c",
        ])

    def test_the_set_is_a_folder_of_links_that_fontconfig_file_lists(self):
        with tempfile.TemporaryDirectory() as folder:
            targets = [os.path.join(folder, name) for name in ("x.ttf", "y & z.ttf")]
            for target in targets:
                with open(target, "wb"):
                    pass
            set_dir = os.path.join(folder, "set")
            os.makedirs(os.path.join(set_dir, "fonts", "stale"))
            conf = sweep.link_set([("fonts-x", targets[0]), ("fonts-y", targets[1])], set_dir)
            self.assertEqual(sorted(os.listdir(os.path.join(set_dir, "fonts"))), ["fonts-x", "fonts-y"])
            self.assertEqual(os.readlink(os.path.join(set_dir, "fonts", "fonts-y", "y & z.ttf")),
                             targets[1])
            root = ElementTree.parse(conf).getroot()
            self.assertEqual([d.text for d in root.findall("dir")], [os.path.join(set_dir, "fonts")])
            self.assertEqual([d.text for d in root.findall("cachedir")], [os.path.join(set_dir, "cache")])


if __name__ == "__main__":
    unittest.main()
