#!/usr/bin/python3
"""Sweeps Debian's font packages for fonts that carry device metrics: VDMX, hdmx, gasp and LTSH.

Run it with Debian's Python, which has fontTools (package python3-fonttools), as root or as a user
who may write CACHE:

    /usr/bin/python3 tools/sweep_device_metrics.py [--cache DIR] [--max-mb N] [--links DIR]

It lists the packages whose names match --pattern (by default '^fonts-' and '^ttf-') with
`apt-cache search --names-only`, skips those whose download is over --max-mb (60 MB), fetches the
others with `apt-get download` into CACHE/debs (once: a .deb already there is kept), unpacks each
with `dpkg -x` into CACHE/root/PACKAGE and reads every .ttf, .otf, .ttc and .otc in it with
fontTools, each face of a collection apart. Nothing is installed.

On standard output: a header of what was swept, then every package with a TrueType face (glyf
outlines) that carries VDMX or hdmx, each such face under it with the tables it has, and the
counts. Those packages are the comparison set of docs/agreement.md. With --links DIR it also makes
DIR/fonts, a folder of links to those faces' files as installed (but those of Wine's own folder,
compared on their own), and DIR/fonts.conf, which lists it, for both builds to read once the
packages are installed (`apt-get install --no-install-recommends` the packages printed).
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys
from xml.sax.saxutils import escape

from fontTools.ttLib import TTLibError
from fontTools.ttLib.sfnt import SFNTReader

# The tables of device metrics, in the order they are printed.
DEVICE_TABLES = ("VDMX", "hdmx", "gasp", "LTSH")
# The tables that make a face one the comparison set needs: GDI's size and advances come from them.
DECIDING_TABLES = ("VDMX", "hdmx")
FONT_SUFFIXES = (".ttf", ".otf", ".ttc", ".otc")
WINE_FONTS = "/usr/share/wine/fonts"


def parse_sizes(show_output):
    """{package: download size in bytes} from `apt-cache show --no-all-versions` output."""
    sizes = {}
    package = None
    for line in show_output.splitlines():
        if line.startswith("Package:"):
            package = line.split(":", 1)[1].strip()
        elif line.startswith("Size:") and package is not None:
            sizes[package] = int(line.split(":", 1)[1])
            package = None
    return sizes


def outline_of(tags):
    """'glyf' (TrueType), 'CFF' (PostScript) or '-' (neither: bitmap-only or not an outline font)."""
    if "glyf" in tags:
        return "glyf"
    if "CFF " in tags or "CFF2" in tags:
        return "CFF"
    return "-"


def read_faces(path):
    """[(face index, outline, device tables present)] for a font file; [] where it is no sfnt.

    Only the table directory is read, so a table that does not parse still counts as present, as it
    does for a renderer that must decide to ignore it."""
    faces = []
    with open(path, "rb") as stream:
        head = stream.read(4)
        count = 1
        if head == b"ttcf":
            stream.seek(8)
            count = int.from_bytes(stream.read(4), "big")
        for index in range(count):
            stream.seek(0)
            try:
                reader = SFNTReader(stream, fontNumber=index if head == b"ttcf" else -1)
            except (TTLibError, struct.error, AssertionError, ValueError, EOFError, OSError, IndexError):
                return faces
            tags = set(reader.keys())
            faces.append((index, outline_of(tags), tuple(t for t in DEVICE_TABLES if t in tags)))
    return faces


def carries_device_metrics(face):
    """Whether a face read by read_faces is one the comparison set needs: TrueType with VDMX or hdmx."""
    _, outline, tables = face
    return outline == "glyf" and any(t in tables for t in DECIDING_TABLES)


def font_files(root):
    """The font files under root (by suffix, ignoring case), as paths relative to root, sorted."""
    found = []
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if name.lower().endswith(FONT_SUFFIXES) and os.path.isfile(path) and not os.path.islink(path):
                found.append(os.path.relpath(path, root))
    return sorted(found)


def sweep_package(root):
    """[(relative path, faces)] of every font file under an unpacked package."""
    return [(rel, read_faces(os.path.join(root, rel))) for rel in font_files(root)]


def report(packages, skipped, failed):
    """The sweep's printed report.

    packages: [(package, version, [(relative path, faces)])] of the packages swept;
    skipped: [(package, size in bytes)] left out for their size; failed: packages not fetched."""
    lines = []
    chosen = []
    files_total = faces_total = 0
    tally = {tag: 0 for tag in DEVICE_TABLES}
    for package, version, files in packages:
        kept = []
        for rel, faces in files:
            collection = len(faces) > 1
            for face in faces:
                files_total += face[0] == 0
                faces_total += 1
                for tag in face[2]:
                    tally[tag] += 1
                if carries_device_metrics(face):
                    kept.append((f"/{rel}" + (f"#{face[0]}" if collection else ""), face))
        if kept:
            chosen.append(package)
            lines.append(f"{package} {version}")
            for where, (_, _, tables) in kept:
                lines.append(f"    {where}  {' '.join(tables)}")
    summary = [
        f"# packages swept: {len(packages)}; font files: {files_total}; faces: {faces_total}",
        "# faces with " + ", ".join(f"{tag} {tally[tag]}" for tag in DEVICE_TABLES),
        f"# packages with a TrueType face carrying VDMX or hdmx: {len(chosen)}",
    ]
    if skipped:
        summary.append("# left out for their size: " +
                       ", ".join(f"{p} ({s / 1e6:.1f} MB)" for p, s in sorted(skipped)))
    if failed:
        summary.append("# not fetched: " + ", ".join(sorted(failed)))
    return "\n".join(summary + lines + ["# the set: " + " ".join(chosen)]) + "\n", chosen


def link_set(files, folder):
    """Makes folder/fonts/PACKAGE/NAME a link to each (package, installed path) of files, and
    folder/fonts.conf a fontconfig file that lists folder/fonts alone; returns that file's path.

    Links, since both builds read whole folders, recursively (Wine does not honour fontconfig's
    rejectfont), and a set's fonts share folders with other fonts: another package's, or the whole of
    /usr/share/fonts/truetype where a package puts its files there."""
    fonts = os.path.join(folder, "fonts")
    if os.path.isdir(fonts):
        shutil.rmtree(fonts)
    for package, path in files:
        os.makedirs(os.path.join(fonts, package), exist_ok=True)
        os.symlink(path, os.path.join(fonts, package, os.path.basename(path)))
    conf = os.path.join(folder, "fonts.conf")
    with open(conf, "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n'
                  f"<fontconfig>\n  <dir>{escape(os.path.abspath(fonts))}</dir>\n"
                  f"  <cachedir>{escape(os.path.abspath(os.path.join(folder, 'cache')))}</cachedir>\n"
                  "</fontconfig>\n")
    return conf


def run(command, **kwargs):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True, **kwargs).stdout


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--cache", default="/var/cache/dm12-sweep")
    parser.add_argument("--max-mb", type=float, default=60)
    parser.add_argument("--pattern", action="append", help="apt-cache search --names-only pattern")
    parser.add_argument("--links", metavar="DIR",
                        help="also make DIR/fonts, links to the set's installed files, and DIR/fonts.conf")
    args = parser.parse_args()
    patterns = args.pattern or ["^fonts-", "^ttf-"]

    candidates = set()
    for pattern in patterns:
        for line in run(["apt-cache", "search", "--names-only", pattern]).splitlines():
            candidates.add(line.split(" ", 1)[0])
    sizes = parse_sizes(run(["apt-cache", "show", "--no-all-versions", *sorted(candidates)]))
    skipped = [(p, s) for p, s in sizes.items() if s > args.max_mb * 1e6]
    wanted = sorted(p for p in candidates if p in sizes and sizes[p] <= args.max_mb * 1e6)

    debs_dir = os.path.join(args.cache, "debs")
    os.makedirs(debs_dir, exist_ok=True)

    def deb_of(package):
        for name in os.listdir(debs_dir):
            if name.startswith(package + "_") and name.endswith(".deb"):
                return os.path.join(debs_dir, name)
        return None

    missing = [p for p in wanted if deb_of(p) is None]
    for package in missing:
        subprocess.run(["apt-get", "download", package], cwd=debs_dir, check=False,
                       stdout=subprocess.DEVNULL)
    packages, failed = [], []
    for package in wanted:
        deb = deb_of(package)
        if deb is None:
            failed.append(package)
            continue
        root = os.path.join(args.cache, "root", package)
        if not os.path.isdir(root):
            os.makedirs(root + ".new", exist_ok=True)
            subprocess.run(["dpkg", "-x", deb, root + ".new"], check=True)
            os.rename(root + ".new", root)
        version = run(["dpkg-deb", "-f", deb, "Version"]).strip()
        packages.append((package, version, sweep_package(root)))

    text, chosen = report(packages, skipped, failed)
    print(f"# {'; '.join(f'apt-cache search --names-only {p!r}' for p in patterns)}: "
          f"{len(candidates)} packages, {len(wanted)} of them at most {args.max_mb:g} MB")
    sys.stdout.write(text)
    if args.links:
        # Wine's own fonts (fonts-wine's Tahoma has VDMX) are a comparison of their own, which
        # allows for the fonts Wine 8 does not load there.
        files = [(package, "/" + rel) for package, _, found in packages for rel, faces in found
                 if package in chosen and not ("/" + rel).startswith(WINE_FONTS + "/")
                 and any(carries_device_metrics(f) for f in faces)]
        link_set(files, args.links)
    return 0


if __name__ == "__main__":
    sys.exit(main())
