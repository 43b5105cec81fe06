#include "variable_faces.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>

namespace {

constexpr std::uint32_t tag(const char (&name)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[3]));
}

constexpr std::uint32_t kWeight = tag("wght");
constexpr std::uint32_t kItalic = tag("ital");
constexpr std::uint32_t kSlant = tag("slnt");
constexpr unsigned kElidable = 0x2;
constexpr double kRegularWeight = 400, kBoldWeight = 700;

// Coordinates are 16.16 fixed-point numbers: equal within a unit of that.
bool same_value(double a, double b) { return std::fabs(a - b) < 0.5 / 65536; }

std::optional<double> fvar_coordinate(const VariableFont &font, std::size_t instance,
                                      std::uint32_t axis_tag) {
    const std::vector<double> &coordinates = font.instances[instance].coordinates;
    for (std::size_t a = 0; a < font.axes.size() && a < coordinates.size(); ++a)
        if (font.axes[a].tag == axis_tag) return coordinates[a];
    return std::nullopt;
}

// The instance's value on STAT axis `axis`: its fvar coordinate, else, for
// an axis the file does not vary (an italic companion's ital), the value the
// STAT table gives it.
std::optional<double> stat_coordinate(const VariableFont &font, std::size_t instance,
                                      std::size_t axis) {
    if (axis >= font.stat.axes.size()) return std::nullopt;
    if (auto value = fvar_coordinate(font, instance, font.stat.axes[axis].tag)) return value;
    for (const StatValue &value : font.stat.values)
        if (value.format != 4 && !value.axis_values.empty() && value.axis_values[0].first == axis)
            return value.axis_values[0].second;
    return std::nullopt;
}

bool matches(const VariableFont &font, std::size_t instance, const StatValue &value) {
    if (value.axis_values.empty()) return false;
    for (const auto &[axis, wanted] : value.axis_values) {
        const std::optional<double> coordinate = stat_coordinate(font, instance, axis);
        if (!coordinate) return false;
        if (value.format == 2) {
            if (*coordinate < value.range_minimum || *coordinate > value.range_maximum)
                return false;
        } else if (!same_value(*coordinate, wanted)) {
            return false;
        }
    }
    return true;
}

// Whether a value names a style rather than a family: Regular and Bold on
// the weight axis, any value of the italic and slant axes.
bool is_style_value(const VariableFont &font, const StatValue &value) {
    if (value.format == 4 || value.axis_values.size() != 1) return false;
    const auto &[axis, number] = value.axis_values[0];
    const std::uint32_t axis_tag = font.stat.axes[axis].tag;
    if (axis_tag == kWeight)
        return same_value(number, kRegularWeight) || same_value(number, kBoldWeight);
    return axis_tag == kItalic || axis_tag == kSlant;
}

// A name less the words Italic and Oblique, which name a style: an italic
// file's values are often named "Light Italic", its subfamilies always so.
std::string without_slope(const std::string &name, bool &italic) {
    std::string rest;
    std::istringstream stream(name);
    for (std::string word; stream >> word;) {
        if (word == "Italic" || word == "Oblique")
            italic = true;
        else
            rest += (rest.empty() ? "" : " ") + word;
    }
    return rest;
}

std::vector<std::string> stat_names(const VariableFont &font, std::size_t instance) {
    const std::size_t axes = font.stat.axes.size();
    std::vector<const StatValue *> chosen(axes, nullptr);
    // A combination that matches names its axes first; then each axis left
    // takes its first exact value, else the first range that holds it.
    for (const StatValue &value : font.stat.values) {
        if (value.format != 4 || !matches(font, instance, value)) continue;
        if (std::any_of(value.axis_values.begin(), value.axis_values.end(),
                        [&](const auto &pair) { return chosen[pair.first] != nullptr; }))
            continue;
        for (const auto &[axis, number] : value.axis_values) chosen[axis] = &value;
    }
    for (const int format : {1, 3, 2})
        for (const StatValue &value : font.stat.values) {
            if (static_cast<int>(value.format) != format || value.axis_values.empty()) continue;
            const std::size_t axis = value.axis_values[0].first;
            if (!chosen[axis] && matches(font, instance, value)) chosen[axis] = &value;
        }

    std::vector<std::pair<unsigned, const StatValue *>> named;  // ordering, value
    for (std::size_t axis = 0; axis < axes; ++axis) {
        const StatValue *value = chosen[axis];
        if (!value || (value->flags & kElidable) || is_style_value(font, *value)) continue;
        if (std::any_of(named.begin(), named.end(),
                        [&](const auto &entry) { return entry.second == value; }))
            continue;
        unsigned ordering = font.stat.axes[axis].ordering;
        for (const auto &[other, number] : value->axis_values)
            ordering = std::min(ordering, font.stat.axes[other].ordering);
        named.emplace_back(ordering, value);
    }
    std::stable_sort(named.begin(), named.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (const auto &entry : named) {
        bool italic = false;
        std::string name = without_slope(entry.second->name, italic);
        if (!name.empty()) names.push_back(std::move(name));
    }
    return names;
}

}  // namespace

InstanceStyle instance_style(const VariableFont &font, std::size_t instance) {
    InstanceStyle style;
    if (instance >= font.instances.size()) return style;
    const std::optional<double> weight = fvar_coordinate(font, instance, kWeight);
    style.weight = weight ? std::lround(*weight) : font.weight_class;
    style.italic = font.italic_file;

    std::vector<std::string> names;
    if (font.stat.present) {
        names = stat_names(font, instance);
        style.bold = weight && same_value(*weight, kBoldWeight);
        // Oblique is italic to GDI.
        for (std::size_t axis = 0; axis < font.stat.axes.size(); ++axis) {
            const std::uint32_t axis_tag = font.stat.axes[axis].tag;
            if (axis_tag != kItalic && axis_tag != kSlant) continue;
            if (const auto value = stat_coordinate(font, instance, axis))
                style.italic = style.italic || !same_value(*value, 0);
        }
    } else {
        // Without STAT the subfamily names the instance: Regular, Bold and
        // their italics are styles of the typographic family.
        std::string name = without_slope(font.instances[instance].subfamily, style.italic);
        style.bold = name == "Bold";
        if (!name.empty() && name != "Bold" && name != "Regular") names.push_back(name);
    }
    style.family = font.typographic_family;
    for (const std::string &name : names) style.family += " " + name;
    return style;
}
