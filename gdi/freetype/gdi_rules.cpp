#include "gdi_rules.h"

#include "font_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <sstream>
#include <tuple>

namespace dm12_gdi {

namespace {

// The OS/2 code-page bits of ulCodePageRange1 that name a character set, in
// the order of the bits.
struct CodePageCharset {
    int bit;
    BYTE charset;
};
constexpr CodePageCharset kCodePageCharsets[] = {
    {0, ANSI_CHARSET},     {1, EASTEUROPE_CHARSET},   {2, RUSSIAN_CHARSET},
    {3, GREEK_CHARSET},    {4, TURKISH_CHARSET},      {5, HEBREW_CHARSET},
    {6, ARABIC_CHARSET},   {7, BALTIC_CHARSET},       {8, VIETNAMESE_CHARSET},
    {16, THAI_CHARSET},    {17, SHIFTJIS_CHARSET},    {18, GB2312_CHARSET},
    {19, HANGEUL_CHARSET}, {20, CHINESEBIG5_CHARSET}, {21, JOHAB_CHARSET},
    {31, SYMBOL_CHARSET},
};

// The height GDI gives a logical font that asks for none.
constexpr LONG kDefaultCellHeight = 16;
constexpr long kLargestPixelsPerEm = 16384;
constexpr LONG kRepresentativeBitmapHeight = 16;

long height_distance(const FaceTraits &face, LONG height) {
    return face.bitmap ? std::labs(static_cast<long>(face.height) - height) : 0;
}

auto representative_key(const FaceTraits &face) {
    return std::make_tuple(charset_rank(face.charset), face.italic, face.bold, face.format_rank,
                           std::labs(static_cast<long>(face.weight) - FW_NORMAL), face.weight,
                           height_distance(face, kRepresentativeBitmapHeight), face.height);
}

auto distance(const FaceRequest &request, const FaceTraits &face) {
    const bool other_charset =
        request.charset != DEFAULT_CHARSET && request.charset != face.charset;
    const LONG height = request.height < 0 ? -request.height : request.height;
    return std::make_tuple(other_charset, face.italic != request.italic,
                           std::labs(static_cast<long>(face.weight) - request.weight),
                           height_distance(face, height), face.bitmap && face.height > height);
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

// A STAT or fvar number as the trace writes it: 300, 87.5, -12.
std::string number_text(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

// The names of the STAT values that instance `instance` matches, in the
// order they go into its family name; where `told` is given, it gets what
// became of each STAT axis's value.
std::vector<std::string> stat_names(const VariableFont &font, std::size_t instance,
                                    std::vector<std::string> *told = nullptr) {
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
        if (told) {
            const std::optional<double> coordinate = stat_coordinate(font, instance, axis);
            const std::uint32_t axis_tag = font.stat.axes[axis].tag;
            std::string text;
            for (int shift = 24; shift >= 0; shift -= 8)
                text += static_cast<char>((axis_tag >> shift) & 0xFF);
            text += coordinate ? " " + number_text(*coordinate) : " (no coordinate)";
            if (!value)
                text += ": no STAT value";
            else
                text += std::string(" '") + value->name + "'" +
                        (value->format == 4   ? " (with other axes)"
                         : value->format == 2 ? " (a range)"
                                              : "") +
                        ((value->flags & kElidable)     ? " elided"
                         : is_style_value(font, *value) ? " a style"
                                                        : " named");
            told->push_back(std::move(text));
        }
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

long mul_div(long a, long b, long c) {
    if (c == 0) return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = (c < 0 ? -static_cast<long long>(c) : c) / 2;
    const long long rounded = (product < 0) == (c < 0) ? (product + (c < 0 ? -half : half)) / c
                                                       : (product - (c < 0 ? -half : half)) / c;
    return rounded > INT32_MAX || rounded < INT32_MIN ? -1 : static_cast<long>(rounded);
}

LONG usable_height(LONG height) {
    // test_max_height: -65535 is realized larger than -1; -65536, -123456
    // and 123456 are realized as -1.
    constexpr LONG kLargestHeight = 0xFFFF;
    return height > kLargestHeight || height < -kLargestHeight ? -1 : height;
}

long realized_average_width(long average_width, long pixels_per_em, long units_per_em) {
    const long scale = mul_div(pixels_per_em, 0x10000, units_per_em);
    return static_cast<long>((static_cast<long long>(average_width) * scale + 0x8000) >> 16);
}

bool uses_device_metrics(DWORD font_type, bool named_instance) {
    return font_type == TRUETYPE_FONTTYPE && !named_instance;
}

std::vector<VdmxRecord> screen_vdmx(const VdmxTable &vdmx) {
    // test_vdmx: a ratio record for all glyphs (character set 0) changes no
    // height, one for the ANSI set (1) does, in VDMX versions 0 and 1.
    constexpr unsigned kAnsiSubset = 1;
    for (const VdmxRatio &ratio : vdmx.ratios) {
        if (ratio.charset != kAnsiSubset) continue;
        const bool any = ratio.x_ratio == 0 && ratio.y_start_ratio == 0 && ratio.y_end_ratio == 0;
        if (any || (ratio.y_start_ratio <= ratio.x_ratio && ratio.x_ratio <= ratio.y_end_ratio))
            return ratio.records;
    }
    return {};
}

namespace {

// test_vdmx: of two sizes equally tall, a height that equals theirs takes the
// smaller, a height between theirs and the next size's the larger.
long vdmx_pixels_per_em(const std::vector<VdmxRecord> &vdmx, LONG height) {
    for (std::size_t i = 0; i < vdmx.size(); ++i) {
        const long tall = vdmx[i].y_max - vdmx[i].y_min;
        if (tall == height) return vdmx[i].pixels_per_em;
        if (tall > height) return i > 0 ? vdmx[i - 1].pixels_per_em : 0;
    }
    return 0;
}

}  // namespace

long pixels_per_em(long units_per_em, long cell_height, LONG height,
                   const std::vector<VdmxRecord> &vdmx) {
    height = usable_height(height);
    if (height > 0) {
        const long from_vdmx = vdmx_pixels_per_em(vdmx, height);
        if (from_vdmx > 0) return std::min(from_vdmx, kLargestPixelsPerEm);
    }
    long ppem = 0;
    if (height < 0) {
        ppem =
            -static_cast<long long>(height) > kLargestPixelsPerEm ? kLargestPixelsPerEm : -height;
    } else {
        const long cell = height == 0 ? kDefaultCellHeight : height;
        ppem = mul_div(units_per_em, cell, cell_height);
        if (mul_div(cell_height, ppem, units_per_em) > cell) --ppem;
    }
    return std::clamp<long>(ppem, 1, kLargestPixelsPerEm);
}

long device_advance(const std::vector<unsigned char> &widths, unsigned glyph, long advance) {
    return glyph < widths.size() ? widths[glyph] : advance;
}

BYTE charset_of_code_pages(unsigned long code_pages) {
    for (const CodePageCharset &entry : kCodePageCharsets)
        if (code_pages & (1UL << entry.bit)) return entry.charset;
    return OEM_CHARSET;
}

int charset_rank(BYTE charset) {
    const std::size_t count = std::size(kCodePageCharsets);
    for (std::size_t i = 0; i < count; ++i)
        if (kCodePageCharsets[i].charset == charset) return static_cast<int>(i);
    return static_cast<int>(count) + charset;
}

bool covers_charset(BYTE own, unsigned long code_pages, BYTE charset) {
    if (own == charset) return true;
    for (const CodePageCharset &entry : kCodePageCharsets)
        if (entry.charset == charset && (code_pages & (1UL << entry.bit))) return true;
    return false;
}

DWORD font_type_of(const FontFormat &format) {
    const std::string &name = format.name;
    if (name == "TrueType") return format.glyf_table ? TRUETYPE_FONTTYPE : 0;
    if (name == "CFF") return format.sfnt && !format.cff_table ? 0 : DEVICE_FONTTYPE;
    if (name == "Type 1" || name == "CID Type 1") return DEVICE_FONTTYPE;
    if (name == "PCF" || name == "BDF" || name == "Windows FNT") return RASTER_FONTTYPE;
    return 0;
}

VerticalExtents cell_extents(bool has_os2, long win_ascent, long win_descent,
                             const VerticalExtents &fallback) {
    if (has_os2 && (win_ascent != 0 || win_descent != 0)) return {win_ascent, win_descent};
    return fallback;
}

LONG face_weight(unsigned long stated, bool bold) {
    if (stated != 0) return static_cast<LONG>(stated);
    return bold ? FW_BOLD : FW_NORMAL;
}

SfntLogfont sfnt_logfont(const SfntFacts &facts) {
    // Japanese, Simplified Chinese, Korean Wansung, Traditional Chinese and
    // Korean Johab.
    constexpr unsigned long kCjkCodePages = 0x1FUL << 17;
    SfntLogfont logfont;
    logfont.cjk = facts.has_code_pages && (facts.code_pages & kCjkCodePages) != 0;
    logfont.cell_height = facts.cell > 0 ? facts.cell : facts.units_per_em;
    logfont.height =
        static_cast<LONG>(mul_div(kEnumeratedPixelsPerEm, logfont.cell_height, facts.units_per_em));
    logfont.weight = face_weight(facts.weight_class, facts.bold);
    logfont.charset =
        facts.has_code_pages ? charset_of_code_pages(facts.code_pages) : BYTE{ANSI_CHARSET};
    return logfont;
}

long mean_positive_advance(const std::vector<long> &advances) {
    long long total = 0, count = 0;
    for (const long advance : advances)
        if (advance > 0) {
            total += advance;
            ++count;
        }
    return count ? static_cast<long>((total + count / 2) / count) : 0;
}

LONG enumerated_width(LONG height, long average_width, long cell_height) {
    return static_cast<LONG>(mul_div(height, average_width, cell_height));
}

BYTE scalable_charset(BYTE code_page_charset, const std::vector<CmapEncoding> &encodings) {
    constexpr unsigned kWindows = 3, kSymbol = 0, kUnicodeBmp = 1, kUnicodeFull = 10;
    bool symbol = false;
    for (const CmapEncoding &subtable : encodings) {
        if (subtable.platform != kWindows) continue;
        if (subtable.encoding == kUnicodeBmp || subtable.encoding == kUnicodeFull)
            return code_page_charset;
        symbol = symbol || subtable.encoding == kSymbol;
    }
    return symbol ? BYTE{SYMBOL_CHARSET} : code_page_charset;
}

BYTE raster_pitch_and_family(bool fixed, bool has_fnt_header, BYTE fnt_pitch_and_family) {
    const int family = has_fnt_header ? fnt_pitch_and_family & 0xF0 : fixed ? FF_MODERN : 0;
    return static_cast<BYTE>(family | (fixed ? FIXED_PITCH : VARIABLE_PITCH));
}

namespace {

constexpr BYTE kVariablePitchBit = 0x1;  // TMPF_FIXED_PITCH, named for the opposite
constexpr BYTE kVectorBit = 0x2, kTrueTypeBit = 0x4, kDeviceBit = 0x8;

TEXTMETRICA text_metrics_of(const LOGFONTA &logfont, LONG ascent, LONG max_char_width) {
    TEXTMETRICA metrics{};
    metrics.tmHeight = logfont.lfHeight;
    metrics.tmAscent = ascent;
    metrics.tmDescent = logfont.lfHeight - ascent;
    metrics.tmAveCharWidth = logfont.lfWidth;
    metrics.tmMaxCharWidth = max_char_width;
    metrics.tmWeight = logfont.lfWeight;
    metrics.tmItalic = logfont.lfItalic;
    metrics.tmCharSet = logfont.lfCharSet;
    metrics.tmPitchAndFamily =
        static_cast<BYTE>((logfont.lfPitchAndFamily & 0xF0) |
                          ((logfont.lfPitchAndFamily & FIXED_PITCH) != 0 ? 0 : kVariablePitchBit));
    metrics.tmFirstChar = 32;
    metrics.tmLastChar = 255;
    metrics.tmDefaultChar = 31;
    metrics.tmBreakChar = 32;
    metrics.tmDigitizedAspectX = 96;
    metrics.tmDigitizedAspectY = 96;
    return metrics;
}

}  // namespace

TEXTMETRICA scalable_text_metrics(const LOGFONTA &logfont, DWORD font_type,
                                  const VerticalExtents &cell, long units_per_em,
                                  long max_advance) {
    const long cell_height = cell.ascent + cell.descent;
    const long ascent = cell_height > 0
                            ? mul_div(logfont.lfHeight, cell.ascent, cell_height)
                            : mul_div(cell.ascent, kEnumeratedPixelsPerEm, units_per_em);
    TEXTMETRICA metrics = text_metrics_of(
        logfont, static_cast<LONG>(ascent),
        static_cast<LONG>(mul_div(max_advance, kEnumeratedPixelsPerEm, units_per_em)));
    metrics.tmInternalLeading = static_cast<LONG>(logfont.lfHeight - kEnumeratedPixelsPerEm);
    metrics.tmPitchAndFamily =
        static_cast<BYTE>(metrics.tmPitchAndFamily | kVectorBit |
                          (font_type == TRUETYPE_FONTTYPE ? kTrueTypeBit : kDeviceBit));
    return metrics;
}

TEXTMETRICA bitmap_text_metrics(const LOGFONTA &logfont, LONG ascent, LONG max_char_width) {
    return text_metrics_of(logfont, ascent, max_char_width);
}

bool is_cjk_charset(BYTE charset) {
    return charset == SHIFTJIS_CHARSET || charset == HANGEUL_CHARSET || charset == JOHAB_CHARSET ||
           charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
}

bool asks_for_any_vertical_family(const char *face_name, BYTE charset) {
    return std::strcmp(face_name, "@") == 0 && is_cjk_charset(charset);
}

BYTE pitch_and_family(bool fixed, const unsigned char *panose, int ibm_family_class) {
    // The IBM font class: 1-5 and 7 are serif classes, 8 sans serif,
    // 9 ornamental, 10 script, 12 symbolic.
    constexpr BYTE kIbmClassFamilies[16] = {
        FF_DONTCARE,   FF_ROMAN,    FF_ROMAN,    FF_ROMAN,      FF_ROMAN,  FF_ROMAN,
        FF_DONTCARE,   FF_ROMAN,    FF_SWISS,    FF_DECORATIVE, FF_SCRIPT, FF_DONTCARE,
        FF_DECORATIVE, FF_DONTCARE, FF_DONTCARE, FF_DONTCARE,
    };
    fixed = fixed || (panose && panose[0] == 2 && panose[3] == 9);
    BYTE family = FF_DONTCARE;
    if (fixed) {
        family = FF_MODERN;
    } else if (panose && panose[0] == 3) {
        family = FF_SCRIPT;
    } else if (panose && panose[0] == 4) {
        family = FF_DECORATIVE;
    } else if (panose && panose[1] >= 2 && panose[1] <= 10) {
        family = FF_ROMAN;
    } else if (panose && panose[1] >= 11 && panose[1] <= 13) {
        family = FF_SWISS;
    } else if (panose && panose[0] == 0 && panose[1] == 0) {
        family = kIbmClassFamilies[(ibm_family_class >> 8) & 0xF];
    }
    return static_cast<BYTE>(family | (fixed ? FIXED_PITCH : VARIABLE_PITCH));
}

int format_rank(bool sfnt, DWORD font_type) {
    if (sfnt) return 0;
    return font_type == RASTER_FONTTYPE ? 2 : 1;
}

bool representative_before(const FaceTraits &a, const FaceTraits &b) {
    return representative_key(a) < representative_key(b);
}

bool representative_first(const FaceTraits &a, const std::string &a_file, long a_index,
                          const FaceTraits &b, const std::string &b_file, long b_index) {
    if (representative_before(a, b)) return true;
    if (representative_before(b, a)) return false;
    return std::tie(a_file, a_index) < std::tie(b_file, b_index);
}

bool type1_copy_left_out(const std::string &format, bool listed_as_sfnt) {
    return format == "Type 1" && listed_as_sfnt;
}

const char *representative_criterion(const FaceTraits &a, const FaceTraits &b) {
    const auto first = representative_key(a), second = representative_key(b);
    if (std::get<0>(first) != std::get<0>(second)) return "character set";
    if (std::tie(std::get<1>(first), std::get<2>(first)) !=
        std::tie(std::get<1>(second), std::get<2>(second)))
        return "style";
    if (std::get<3>(first) != std::get<3>(second)) return "format";
    if (std::tie(std::get<4>(first), std::get<5>(first)) !=
        std::tie(std::get<4>(second), std::get<5>(second)))
        return "weight";
    if (first != second) return "height";
    return nullptr;
}

FaceRequest request_of(const LOGFONTA &logfont) {
    FaceRequest request;
    request.charset = logfont.lfCharSet;
    request.italic = logfont.lfItalic != 0;
    request.weight = logfont.lfWeight > 0 ? logfont.lfWeight : FW_NORMAL;
    request.height = usable_height(logfont.lfHeight);
    return request;
}

bool nearer(const FaceRequest &request, const FaceTraits &a, const FaceTraits &b) {
    return distance(request, a) < distance(request, b);
}

bool simulates_bold(LONG face_weight, LONG asked_weight) {
    // test_fake_bold_font asks FW_BOLD of a regular face; a semibold request
    // keeps the face as it is.
    constexpr LONG kSemibold = 600;
    return asked_weight >= FW_BOLD && face_weight < kSemibold;
}

namespace {

long floor_ratio(long a, long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
long ceil_ratio(long a, long b) { return -floor_ratio(-a, b); }
long stretched_down(long pixels, const Stretch &stretch) {
    return floor_ratio(pixels * stretch.num, stretch.den);
}
long stretched_up(long pixels, const Stretch &stretch) {
    return ceil_ratio(pixels * stretch.num, stretch.den);
}

}  // namespace

Stretch width_stretch(LONG asked_width, long average) {
    const long width = std::labs(static_cast<long>(asked_width));
    if (width == 0 || average <= 0 || width == average) return {};
    return {std::min(width, kLargestPixelsPerEm), average};
}

long rounded_pixels(long sixty_fourths) { return floor_ratio(sixty_fourths + 32, 64); }

ABCFLOAT inked_glyph_widths(long left, long right, long advance, const Stretch &stretch,
                            bool emboldened) {
    const long a = stretched_down(floor_ratio(left, 64), stretch);
    const long b = std::max(stretched_up(ceil_ratio(right, 64), stretch) - a, 1L);
    const long c = stretched_up(advance, stretch) - a - b;
    return {static_cast<float>(a), static_cast<float>(b + (emboldened ? 1 : 0)),
            static_cast<float>(c)};
}

ABCFLOAT blank_glyph_widths(long advance, const Stretch &stretch, bool emboldened) {
    return {0, 1, static_cast<float>(stretched_up(advance, stretch) + (emboldened ? 1 : 0) - 1)};
}

ABCFLOAT bitmap_glyph_widths(long advance, bool emboldened) {
    return {0, static_cast<float>(advance + (emboldened ? 1 : 0)), 0};
}

CodeLookup codes_to_look_up(unsigned code, bool symbol_font) {
    constexpr unsigned kSymbolArea = 0xF000;
    if (symbol_font) return {{kSymbolArea + code, code}, 2};
    return {{code, 0}, 1};
}

BYTE realized_charset(BYTE asked, BYTE own, unsigned long code_pages) {
    return asked != DEFAULT_CHARSET && covers_charset(own, code_pages, asked) ? asked : own;
}

bool takes_double_byte_codes(BYTE charset, unsigned first, unsigned last) {
    constexpr unsigned kFirstDoubleByteCode = 0x100, kLastDoubleByteCode = 0xFFFF;
    return is_cjk_charset(charset) && kFirstDoubleByteCode <= first && first <= last &&
           last <= kLastDoubleByteCode && (first >> 8) == (last >> 8);
}

const char *instance_fault(const VariableFont &font, std::size_t instance) {
    const NamedInstance &named = font.instances.at(instance);
    for (std::size_t a = 0; a < font.axes.size() && a < named.coordinates.size(); ++a)
        if (named.coordinates[a] < font.axes[a].minimum ||
            named.coordinates[a] > font.axes[a].maximum)
            return "lies outside its axes";
    if (!font.stat.present && named.subfamily.empty()) return "has no name";
    return nullptr;
}

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

std::string variations_fault(const VariableFont &font) {
    for (const char *table : {"gvar", "cvar", "MVAR", "HVAR"})
        for (const auto &[tag_name, damage] : font.damaged_tables)
            if (tag_name == table && (tag_name != "HVAR" || !font.intact_gvar)) {
                std::string fault = "its ";
                fault += tag_name;
                fault += " table ";
                fault += damage;
                return fault;
            }
    return std::string();
}

bool advances_from_phantom_points(const VariableFont &font) {
    return font.intact_gvar && std::any_of(font.damaged_tables.begin(), font.damaged_tables.end(),
                                           [](const auto &table) { return table.first == "HVAR"; });
}

std::string instance_naming(const VariableFont &font, std::size_t instance) {
    if (instance >= font.instances.size()) return std::string();
    if (!font.stat.present) {
        return "fvar subfamily '" + font.instances[instance].subfamily + "', as the font's STAT " +
               (font.stat.found ? "table does not parse" : "table is missing");
    }
    std::vector<std::string> told;
    stat_names(font, instance, &told);
    std::string text = "STAT";
    for (std::size_t i = 0; i < told.size(); ++i) text += (i ? ", " : " ") + told[i];
    return text;
}

std::string vertical_family_name(const std::string &family) {
    return ("@" + family).substr(0, LF_FACESIZE - 1);
}

}  // namespace dm12_gdi
