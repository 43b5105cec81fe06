#!/usr/bin/python3
"""The faces of any variable font, named as our GDI names them (docs/variable-fonts.md), for the
benchmark's static counterparts of real fonts such as Inter: they only need to enumerate the same
families as the variable set. No test takes expected values from here; the variable test fonts'
faces are written out by hand in tests/variable_fonts/make_fonts.py.
"""

ELIDABLE = 0x0002


def windows_name(font, name_id):
    """A name table string, Windows English first, then any Windows record; None where missing."""
    records = [r for r in font["name"].names if r.nameID == name_id and r.platformID == 3]
    records.sort(key=lambda r: (r.langID != 0x409, r.langID))
    return records[0].toUnicode() if records else None


def stat_names(font, coordinates):
    """The instance's names from STAT and whether wght 700 / ital 1 styled it: (words, bold,
    italic)."""
    stat = font["STAT"].table
    axes = stat.DesignAxisRecord.Axis
    values = stat.AxisValueArray.AxisValue if stat.AxisValueArray else []
    location = {}
    for index, axis in enumerate(axes):
        if axis.AxisTag in coordinates:
            location[index] = coordinates[axis.AxisTag]
        else:
            first = next((v for v in values if v.Format != 4 and v.AxisIndex == index), None)
            if first is not None:
                location[index] = first.Value if first.Format != 2 else first.NominalValue
    chosen = {}
    for value in values:
        if value.Format == 4 and all(location.get(r.AxisIndex) == r.Value
                                     for r in value.AxisValueRecord):
            for record in value.AxisValueRecord:
                chosen.setdefault(record.AxisIndex, (value, record.Value))
    for index, coordinate in location.items():
        if index in chosen:
            continue
        exact = [v for v in values if v.Format in (1, 3) and v.AxisIndex == index
                 and v.Value == coordinate]
        ranged = [v for v in values if v.Format == 2 and v.AxisIndex == index
                  and v.RangeMinValue <= coordinate <= v.RangeMaxValue]
        if exact or ranged:
            chosen[index] = ((exact or ranged)[0], coordinate)
    words, bold, italic, seen = [], False, False, set()
    for index in sorted(chosen, key=lambda i: axes[i].AxisOrdering):
        value, coordinate = chosen[index]
        tag = axes[index].AxisTag
        if tag == "wght" and coordinate in (400, 700):
            bold = bold or coordinate == 700
            continue
        if tag in ("ital", "slnt"):
            # Oblique is italic to GDI.
            italic = italic or coordinate != 0
            continue
        if value.Flags & ELIDABLE or id(value) in seen:
            continue
        seen.add(id(value))
        name, _ = without_slope(font["name"].getDebugName(value.ValueNameID))
        if name:
            words.append(name)
    return words, bold, italic


def without_slope(name):
    """A name less the words Italic and Oblique, and whether it had them."""
    words = (name or "").split()
    kept = [w for w in words if w not in ("Italic", "Oblique")]
    return " ".join(kept), len(kept) != len(words)


def subfamily_words(subfamily):
    """Without STAT: Regular, Bold and their italics are styles of the typographic family; any
    other subfamily name ("Extra Bold", "Light Italic") less its slope names the family."""
    rest, italic = without_slope(subfamily)
    bold = rest == "Bold"
    return ([] if rest in ("", "Regular", "Bold") else [rest]), bold, italic


def instance_faces(font):
    """Each face of a variable font as our GDI names it: (family, base, instance number,
    coordinates, italic, bold); none for CFF2, one default face where fvar names no instance."""
    if "CFF2" in font or "glyf" not in font:
        return []
    base = windows_name(font, 16) or windows_name(font, 1)
    file_italic = bool(font["OS/2"].fsSelection & 0x01)
    instances = font["fvar"].instances
    if not instances:
        return [(windows_name(font, 1), None, None, {}, file_italic, False)]
    faces = []
    for number, instance in enumerate(instances):
        coordinates = dict(instance.coordinates)
        if "STAT" in font:
            words, bold, italic = stat_names(font, coordinates)
        else:
            words, bold, italic = subfamily_words(font["name"].getDebugName(
                instance.subfamilyNameID))
        faces.append((" ".join([base] + words), base, number, coordinates, italic or file_italic,
                      bold))
    return faces
