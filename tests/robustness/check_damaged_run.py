#!/usr/bin/env python3
"""Runs dump_metrics12 over the good fonts alone (make_damaged_fonts.py's
good folder, and further font folders of intact fonts), then over the good
and the damaged fonts together, and checks that no damaged file breaks the
run and that every intact font measures:

- both runs exit 0 with nothing on standard error, within the time limit;
- every code of every enumerated face gives a row or a failure line, never
  both, never twice;
- no code of an intact font fails, and in neither run does a family fail at
  the space (so never at every code): a face that cannot be measured is not
  offered;
- every good family's rows are the same bytes in both runs;
- the manifest's expectations: 'absent' families are not enumerated,
  'glyph:C' families fail at code C alone, 'same:F' families measure as
  family F (the numbers of every row), 'differs:F' families not.

usage: check_damaged_run.py PROGRAM FONT_FOLDER [INTACT_FONT_FOLDER...]
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from dm12_run import run_program, write_fonts_conf  # noqa: E402

CODES = 96
FAILURE = re.compile(rb"^Failed to get character widths for face '(.*)'\.$")
PROCESSING = re.compile(rb"^Processing font '(.*)'$")
ROW = re.compile(rb'^"(.*)-\'.\'-0x([0-9a-f]{2})",(-?\d+\.\d\d,){3}-?\d+\.\d\d$', re.S)

problems = []


def problem(message):
    problems.append(message)
    print("FAIL: " + message)


# Bitmap fonts are listed too, whatever might reject them.
ACCEPT_BITMAPS = ("  <selectfont><acceptfont><pattern><patelt name=\"scalable\"><bool>false</bool>"
                  "</patelt></pattern></acceptfont></selectfont>\n")


def run(program, folder, name, font_folders):
    work = os.path.join(folder, "run-" + name)
    os.makedirs(work, exist_ok=True)
    config = os.path.join(work, "fonts.conf")
    write_fonts_conf(config, font_folders, os.path.join(work, "cache"), ACCEPT_BITMAPS)
    try:
        done = run_program([program], work, config, 240, capture_output=True)
    except subprocess.TimeoutExpired:
        problem("%s run: no end within 240 s" % name)
        return None
    if done.returncode != 0:
        problem("%s run: exit status %d" % (name, done.returncode))
    if done.stderr:
        problem("%s run: standard error not empty:\n%s" % (name, done.stderr.decode(errors="replace")[:4000]))
    with open(os.path.join(work, "dump_metrics12.csv"), "rb") as f:
        table = f.read()
    return parse(name, done.stdout, table)


def parse(name, stdout, table):
    """{label: {"rows": {code: line}, "failures": n}} and the families processed."""
    faces = {}
    families = []
    for line in stdout.split(b"\n"):
        if m := PROCESSING.match(line):
            families.append(m.group(1))
        elif m := FAILURE.match(line):
            faces.setdefault(m.group(1), {"rows": {}, "failures": 0})["failures"] += 1
        elif line:
            problem("%s run: unexpected output line %r" % (name, line))
    lines = table.split(b"\r\n")
    if lines[-1] != b"":
        problem("%s run: table does not end in CR LF" % name)
    for line in lines[1:-1]:
        m = ROW.match(line)
        if not m:
            problem("%s run: bad row %r" % (name, line))
            continue
        face = faces.setdefault(m.group(1), {"rows": {}, "failures": 0})
        code = int(m.group(2), 16)
        if code in face["rows"]:
            problem("%s run: %r has two rows for 0x%02x" % (name, m.group(1), code))
        face["rows"][code] = line
    for label, face in faces.items():
        if len(face["rows"]) + face["failures"] != CODES:
            problem("%s run: %r has %d rows and %d failures, not %d codes"
                    % (name, label, len(face["rows"]), face["failures"], CODES))
        if 0x20 not in face["rows"]:
            problem("%s run: %r is enumerated but cannot measure the space" % (name, label))
    return faces, families


def label_of(faces, family):
    for label in faces:
        if label.startswith(family + b" ("):
            return label
    return None


def numbers(face):
    """A face's rows without their key: {code: the four numbers}."""
    return {code: line[line.rindex(b'",') + 2:] for code, line in face["rows"].items()}


def main():
    program, folder = sys.argv[1], sys.argv[2]
    good_folders = [os.path.join(folder, "good")] + sys.argv[3:]
    damaged_folder = os.path.join(folder, "damaged")
    good = run(program, folder, "good", good_folders)
    both = run(program, folder, "damaged", good_folders + [damaged_folder])
    if good is None or both is None:
        return 1
    good_faces, good_families = good
    faces, families = both

    for label, face in good_faces.items():
        if face["failures"]:
            problem("good run: %r fails %d codes" % (label, face["failures"]))
        if faces.get(label, {}).get("rows") != face["rows"]:
            problem("damaged run: the rows of good face %r differ from the good run" % label)
    for family in good_families:
        if family not in families:
            problem("damaged run: good family %r not enumerated" % family)

    with open(os.path.join(folder, "manifest.tsv")) as f:
        manifest = [line.rstrip("\n").split("\t") for line in f]
    for file, family, expect in manifest:
        family = family.encode()
        if expect == "absent" and family and family in families:
            problem("%s: family %r enumerated, but its file cannot be opened" % (file, family))
        elif expect.startswith("glyph:"):
            code = int(expect.split(":")[1])
            label = label_of(faces, family)
            if label is None:
                problem("%s: family %r not enumerated" % (file, family))
                continue
            face = faces[label]
            if face["failures"] != 1 or code in face["rows"]:
                problem("%s: %d failures and a row for %d: %s, not code %d alone failing"
                        % (file, face["failures"], code, code in face["rows"], code))
        elif expect.startswith(("same:", "differs:")):
            twin = expect.split(":", 1)[1].encode()
            label, twin_label = label_of(faces, family), label_of(faces, twin)
            if label is None or twin_label is None:
                problem("%s: family %r or its twin %r not enumerated" % (file, family, twin))
                continue
            mine, theirs = numbers(faces[label]), numbers(faces[twin_label])
            if expect.startswith("same:") and mine != theirs:
                differing = sorted(c for c in theirs if mine.get(c) != theirs[c])
                problem("%s: %r measures otherwise than %r at %d codes (first 0x%02x: %r, not %r)"
                        % (file, family, twin, len(differing), differing[0],
                           mine.get(differing[0]), theirs[differing[0]]))
            elif expect.startswith("differs:") and mine == theirs:
                problem("%s: %r measures as %r: the table it has and %r lacks changes nothing"
                        % (file, family, twin, twin))

    damaged = set(families) - set(good_families)
    print("%d damaged inputs; %d of them enumerated as families of their own; %d faces with "
          "failure lines" % (len(manifest), len(damaged),
                             sum(1 for f in faces.values() if f["failures"])))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
