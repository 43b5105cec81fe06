#!/usr/bin/python3
"""Makes the benchmark's variable set and its static counterpart.

    bench/variable_fonts.py OUT_DIR

The variable set: Debian's fonts-inter-variable (the roman and italic files of Inter and Inter
Display: two files on Debian 13, four on Debian 12) and the variable test fonts
(tests/variable_fonts, not their twins). The static set: every
face of those files made static with fontTools' instancer, each named as our GDI names the instance
(its legacy family, Regular, Bold, Italic or Bold Italic, its weight class the instance's weight),
so that both sets enumerate the same families and faces. A font with no named instance is made
static at its default; a CFF2 font, which our GDI does not offer, is left out of both.

Where DUMP_METRICS12_BENCH_VARIABLE_FONTS names a folder, its variable TrueType fonts (.ttf, and
.woff2 decompressed here at bench time) join the set: the real files the variable work was measured
on, which are not committed (docs/performance.md says where each comes from and how to fetch it).
A .woff2 that this fontTools cannot decompress is decompressed with woff2_decompress (package
woff2) where it is on PATH, else left out with a line on standard error.

Prints the two fontconfig configurations' paths, variable first, one a line. The static fonts are
made again only when the fonts or fontTools change. Exits 1, naming the package, where
fonts-inter-variable is not installed.
"""

import glob
import multiprocessing
import os
import shutil
import subprocess
import sys

import fontTools
from fontTools.ttLib import TTFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "variable_fonts"))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from dm12_run import write_fonts_conf  # noqa: E402
from static_instances import make_static, stand_in_jobs  # noqa: E402
from instance_names import instance_faces  # noqa: E402

# Debian 13's Inter 4.1 holds Inter and Inter Display in two files (an opsz
# axis); Debian 12's 4.0 beta in four.
INTER_DIR = "/usr/share/fonts/truetype/inter-vf"
INTER_FILES = (("InterVariable.ttf", "InterVariable-Italic.ttf"),
               ("Inter-roman.var.ttf", "Inter-italic.var.ttf", "InterDisplay-roman.var.ttf",
                "InterDisplay-italic.var.ttf"))
INTER = next(([os.path.join(INTER_DIR, name) for name in names] for names in INTER_FILES
              if os.path.exists(os.path.join(INTER_DIR, names[0]))),
             [os.path.join(INTER_DIR, name) for name in INTER_FILES[-1]])


def real_fonts(out):
    """The real variable fonts of DUMP_METRICS12_BENCH_VARIABLE_FONTS, as TrueType files (woff2
    decompressed into OUT/real)."""
    folder = os.environ.get("DUMP_METRICS12_BENCH_VARIABLE_FONTS")
    if not folder:
        return []
    fonts = sorted(glob.glob(os.path.join(folder, "*.ttf")))
    real = os.path.join(out, "real")
    for path in sorted(glob.glob(os.path.join(folder, "*.woff2"))):
        os.makedirs(real, exist_ok=True)
        target = os.path.join(real, os.path.basename(path)[:-len(".woff2")] + ".ttf")
        if not os.path.exists(target):
            try:
                font = TTFont(path)
                font.flavor = None
                font.save(target)
            except Exception as error:  # fontTools 4.38 refuses newer glyf transforms
                if os.path.exists(target):
                    os.unlink(target)
                if not shutil.which("woff2_decompress"):
                    print("variable set: %s left out: %s (woff2_decompress, package woff2, "
                          "would read it)" % (path, error), file=sys.stderr)
                    continue
                copy = target[:-len(".ttf")] + ".woff2"
                shutil.copyfile(path, copy)
                subprocess.run(["woff2_decompress", copy], check=True, capture_output=True)
                os.unlink(copy)
        fonts.append(target)
    return [p for p in fonts if "fvar" in TTFont(p, lazy=True) and "glyf" in TTFont(p, lazy=True)]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.split("\n\n")[1])
    out = os.path.abspath(sys.argv[1])
    missing = [path for path in INTER if not os.path.exists(path)]
    if missing:
        sys.exit("variable set: no %s: apt-get install --no-install-recommends fonts-inter-variable"
                 % missing[0])
    os.makedirs(out, exist_ok=True)
    fonts = INTER + sorted(glob.glob(os.path.join(ROOT, "tests", "variable_fonts", "*.ttf")))
    # A real font of the same name as one above is that one.
    fonts += [p for p in real_fonts(out) if os.path.basename(p) not in map(os.path.basename, fonts)]
    stamp_text = "fontTools %s\n" % fontTools.version + "".join(
        "%s %d %d\n" % (p, os.stat(p).st_size, os.stat(p).st_mtime_ns) for p in fonts)
    stamp = os.path.join(out, "stamp")
    variable_dir, static_dir = os.path.join(out, "variable"), os.path.join(out, "static")
    if not (os.path.exists(stamp) and open(stamp).read() == stamp_text):
        shutil.rmtree(variable_dir, ignore_errors=True)
        shutil.rmtree(static_dir, ignore_errors=True)
        os.makedirs(variable_dir)
        os.makedirs(static_dir)
        jobs = []
        for path in fonts:
            os.symlink(path, os.path.join(variable_dir, os.path.basename(path)))
            jobs += stand_in_jobs(path, static_dir, instance_faces(TTFont(path)))
        with multiprocessing.Pool(min(2, os.cpu_count() or 1)) as pool:
            pool.map(make_static, jobs)
        with open(stamp, "w") as f:
            f.write(stamp_text)
    print(write_fonts_conf(os.path.join(out, "variable.conf"), variable_dir,
                       os.path.join(out, "fc-cache-variable")))
    print(write_fonts_conf(os.path.join(out, "static.conf"), static_dir,
                       os.path.join(out, "fc-cache-static")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
