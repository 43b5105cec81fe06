// What GDI makes of a variable font's named instances: each a face of its
// own, in a legacy family of at most four styles (regular, bold, italic, bold
// italic) named from the instance, as Windows 10 (1709) and later list them.
// Pure functions over the font's fvar, STAT and name data, read elsewhere.
#ifndef DUMP_METRICS12_VARIABLE_FACES_H
#define DUMP_METRICS12_VARIABLE_FACES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// An fvar axis, its range in user units.
struct VariationAxis {
    std::uint32_t tag = 0;
    double minimum = 0, default_value = 0, maximum = 0;
};

// An fvar named instance: its coordinates, one per axis, and its subfamily
// name in Windows-1252 (empty where its name ID has no Windows record).
struct NamedInstance {
    std::vector<double> coordinates;
    std::string subfamily;
};

// A STAT design axis: its tag and where its values' names go in a name.
struct StatAxis {
    std::uint32_t tag = 0;
    unsigned ordering = 0;
};

// A STAT axis value table of any format: formats 1 to 3 name one value of one
// axis (format 2 a range around it), format 4 a combination of axes' values.
struct StatValue {
    unsigned format = 1;
    unsigned flags = 0;  // 0x2: the name is elided
    std::string name;  // Windows-1252
    std::vector<std::pair<std::size_t, double>> axis_values;  // STAT axis index, value
    double range_minimum = 0, range_maximum = 0;  // format 2
};

struct StatTable {
    bool present = false;  // found and parsed
    std::vector<StatAxis> axes;
    std::vector<StatValue> values;
};

// What naming a variable font's instances needs of it.
struct VariableFont {
    std::string typographic_family;  // name ID 16, else 1, in Windows-1252
    std::vector<VariationAxis> axes;
    std::vector<NamedInstance> instances;
    StatTable stat;
    bool italic_file = false;  // OS/2 fsSelection's italic bit
    long weight_class = 400;  // OS/2 usWeightClass
    bool cff2_outlines = false;  // CFF2, which GDI does not draw
};

// One named instance as GDI reports it.
struct InstanceStyle {
    std::string family;  // the legacy family name, not yet cut to 31 bytes
    long weight = 400;  // the instance's wght coordinate, else usWeightClass
    bool bold = false;  // the bold face of its family
    bool italic = false;  // the italic face of its family
};

// The legacy family and style of instance `instance` (0-based) of `font`.
// With a STAT table, the family is the typographic family followed by the
// names of the STAT values the instance's coordinates match, in the axes'
// order, less elided values, wght 400 and 700 (700 makes the face bold) and
// ital 0 and 1 (1 makes it italic). Without one, it is followed by the
// instance's subfamily name less the words Regular, Bold, Italic and Oblique.
InstanceStyle instance_style(const VariableFont &font, std::size_t instance);

#endif  // DUMP_METRICS12_VARIABLE_FACES_H
