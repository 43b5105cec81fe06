#!/usr/bin/python3
"""The real program over the variable test fonts, against the same faces made static.

usage: program_run.py PROGRAM WORK_DIR

Runs dump_metrics12 over the committed variable fonts (not their twins) pinned to one CPU, where no
worker thread measures ahead, and on every CPU, and over their static stand-ins
(static_instances.py: each face make_fonts.py states the font offers, made static with the
instancer and named so). Checks that every run exits 0 with nothing on standard error; that the two runs
over the variable fonts give the same bytes; that they process the families of expected_faces.csv in
its order; and that their table holds exactly the rows of the stand-ins' table (the order of
families aside, which for instances follows their file).
"""

import glob
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.dirname(HERE))
from dm12_run import run_program, write_fonts_conf  # noqa: E402
from make_fonts import escape  # noqa: E402
from static_instances import make_static, stand_in_jobs  # noqa: E402

problems = []


def problem(message):
    problems.append(message)
    print("FAIL: " + message)


def run(program, work, name, font_dir, pinned=False):
    folder = os.path.join(work, "run-" + name)
    os.makedirs(folder)
    config = os.path.join(folder, "fonts.conf")
    write_fonts_conf(config, font_dir, os.path.join(folder, "cache"))
    argv = (["taskset", "-c", "0"] if pinned else []) + [program]
    done = run_program(argv, folder, config, 240, capture_output=True)
    if done.returncode != 0:
        problem("%s run: exit status %d" % (name, done.returncode))
    if done.stderr:
        problem("%s run: standard error says %r" % (name, done.stderr[:2000]))
    with open(os.path.join(folder, "dump_metrics12.csv"), "rb") as f:
        return done.stdout, f.read()


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.split("\n\n")[1])
    program, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    variable_dir, static_dir = os.path.join(work, "variable"), os.path.join(work, "static")
    os.makedirs(variable_dir)
    os.makedirs(static_dir)
    fonts = glob.glob(os.path.join(HERE, "*.ttf")) + glob.glob(os.path.join(HERE, "*.otf"))
    for path in sorted(fonts):
        os.symlink(path, os.path.join(variable_dir, os.path.basename(path)))
        for job in stand_in_jobs(path, static_dir):
            make_static(job)

    one = run(program, work, "variable-one-cpu", variable_dir, pinned=shutil.which("taskset"))
    every = run(program, work, "variable", variable_dir)
    static = run(program, work, "static", static_dir)
    if one != every:
        problem("the variable fonts' output or table differs between one CPU and every CPU")

    expected = []
    with open(os.path.join(HERE, "expected_faces.csv"), encoding="utf-8") as f:
        for line in f:
            fields = line.split(",")
            if line.startswith("#") or fields[0] == "family" or fields[7].startswith("twins/"):
                continue
            if fields[0] not in expected:
                expected.append(fields[0])
    processed = [escape(line[len(b"Processing font '"):-1])
                 for line in every[0].split(b"\n") if line.startswith(b"Processing font '")]
    if processed != expected:
        problem("families processed:\n  %s\nexpected:\n  %s"
                % ("\n  ".join(processed), "\n  ".join(expected)))

    rows, static_rows = set(every[1].split(b"\r\n")), set(static[1].split(b"\r\n"))
    for row in sorted(rows - static_rows)[:20]:
        problem("variable fonts' row not in the stand-ins' table: %r" % row)
    for row in sorted(static_rows - rows)[:20]:
        problem("stand-ins' row not in the variable fonts' table: %r" % row)
    print("%d families, %d rows: %d problems" % (len(processed), len(rows), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
