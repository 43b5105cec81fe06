// What the program should write, spelled out independently of its sources,
// so that the tests check the one against the other.
#ifndef DUMP_METRICS12_TESTS_PROGRAM_EXPECTED_H
#define DUMP_METRICS12_TESTS_PROGRAM_EXPECTED_H

#include <cstdio>
#include <string>

#include "fake_gdi.h"
#include "width_table.h"

namespace expected {

inline constexpr char kTableName[] = "dump_metrics12.csv";
inline constexpr char kHeader[] = "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n";
inline constexpr std::size_t kLabelLimit = 39;  // bytes, terminator not counted
inline constexpr unsigned kFirstCode = 32;
inline constexpr unsigned kLastCode = 127;

// The tag of a font type: the table format's own (face_label_test checks it
// against the tags written out).
inline std::string tag(DWORD font_type) { return font_type_tag(font_type); }

// The face label: the name, cut so that name and tag fit in 39 bytes, then the tag.
inline std::string label(const std::string &name, DWORD font_type) {
    const std::string t = tag(font_type);
    return name.substr(0, kLabelLimit - t.size()) + t;
}

inline std::string two_decimals(double value) {
    char text[512];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// The advance: A + B, then + C, in double, rounded once to float.
inline float advance(const ABCFLOAT &w) {
    return static_cast<float>((static_cast<double>(w.abcfA) + static_cast<double>(w.abcfB)) +
                              static_cast<double>(w.abcfC));
}

inline std::string key(const std::string &label_text, unsigned code) {
    static const char digits[] = "0123456789abcdef";
    std::string k = "\"" + label_text + "-'";
    k += static_cast<char>(code);
    k += "'-0x";
    k += digits[(code >> 4) & 0xF];
    k += digits[code & 0xF];
    return k + "\"";
}

inline std::string row(const std::string &label_text, unsigned code, const ABCFLOAT &w) {
    return key(label_text, code) + "," + two_decimals(static_cast<double>(w.abcfA)) + "," +
           two_decimals(static_cast<double>(w.abcfB)) + "," +
           two_decimals(static_cast<double>(w.abcfC)) + "," +
           two_decimals(static_cast<double>(advance(w))) + "\r\n";
}

inline std::string progress_line(const std::string &enumerated_name) {
    return "Processing font '" + enumerated_name + "'\n";
}

inline std::string failure_line(const std::string &label_text) {
    return "Failed to get character widths for face '" + label_text + "'.\n";
}

// The label the program should form for family `index` of `script` measured
// as `font_type`: the realized name as GetTextFaceA gives it into a buffer of
// 40 bytes, or the enumerated name where GetTextFaceA fails.
inline std::string label_of(const fake_gdi::Script &script, std::size_t index, DWORD font_type) {
    const fake_gdi::Family &family = script.families.at(index);
    const std::string name = family.text_face_fails ? family.enumerated_name()
                                                    : family.realized().substr(0, kLabelLimit);
    return label(name, font_type);
}

// What measuring family `index` should add to the table and to standard output
// (its progress line not included).
struct FontOutput {
    std::string rows;
    std::string failures;
};

inline FontOutput font_output(const fake_gdi::Script &script, std::size_t index, DWORD font_type) {
    const std::string label_text = label_of(script, index, font_type);
    FontOutput out;
    for (unsigned code = kFirstCode; code <= kLastCode; ++code) {
        const auto widths = fake_gdi::scripted_widths(script, index, code);
        if (widths)
            out.rows += row(label_text, code, *widths);
        else
            out.failures += failure_line(label_text);
    }
    return out;
}

}  // namespace expected

#endif  // DUMP_METRICS12_TESTS_PROGRAM_EXPECTED_H
