#include "html_report.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "width_table_reader.h"
#include "windows_1252.h"

namespace {

// The overview's columns: the codes every table has rows for.
constexpr unsigned kFirstCode = 0x20;
constexpr unsigned kCodeCount = 96;

// The page's look. The pixel grid behind each drawing is added with the
// page's scale; everything else is fixed.
constexpr const char kStyle[] =
    "body{font:14px/1.4 sans-serif;margin:.8em 1.2em;color:#222}"
    "h1{font-size:1.5em;margin:.2em 0}h2{font-size:1.2em;margin:1.2em 0 .4em}"
    "h3{font-size:1em;margin:1.2em 0 .2em}"
    ".t{display:inline-block;min-width:1.3em}"
    ".t1,.t2{text-align:center;color:#fff;border-radius:3px;font-weight:bold}"
    ".t1{background:#222}.t2{background:#1f5fbf}"
    "table.s th,table.s td{padding:1px 10px 1px 0;text-align:left}"
    "table.k th,table.k td{padding:1px 8px;text-align:right;border-bottom:1px solid #ddd}"
    ".verdict{font-weight:bold}"
    "table.o{border-collapse:collapse;font:11px monospace}"
    ".o th,.o td{padding:0;border:1px solid #e6e6e6}"
    ".o td{min-width:11px;height:14px}"
    ".o thead th{position:sticky;top:0;background:#fff;text-align:center;min-width:11px}"
    ".o tbody th{text-align:left;font:12px sans-serif;max-width:22em;overflow:hidden;"
    "text-overflow:ellipsis;white-space:nowrap;padding-right:6px}"
    ".o td.c{text-align:right;padding:0 4px;font:11px sans-serif}"
    ".o a{display:block;height:14px}"
    ".sw{display:inline-block;width:11px;height:11px;border:1px solid #ccc;margin:0 3px 0 10px;"
    "vertical-align:middle}"
    ".v1{background:#f4b4b4}.v2{background:#e06666}.v3{background:#a61c1c}"
    ".b1{background:#b9cdf3}.b2{background:#5b8de0}.b3{background:#1c3f9c}"
    ".s1{background:#f6e3a1}.s2{background:#e6b83a}.s3{background:#a07800}"
    ".u1{background:repeating-linear-gradient(45deg,#999 0 2px,#fff 2px 4px)}"
    ".u2{background:repeating-linear-gradient(-45deg,#999 0 2px,#fff 2px 4px)}"
    "ul.f{columns:22em;padding-left:1.2em}"
    // Drawings off screen are laid out only when scrolled to, so that a page of
    // thousands opens at once.
    ".r{content-visibility:auto;contain-intrinsic-size:auto 68px;display:grid;align-items:center;"
    "justify-items:start;column-gap:12px;margin:6px 0}"
    ".ch{font:12px monospace;text-align:center}"
    "svg.d{border:1px solid #ccc;height:36px}"
    ".d path{vector-effect:non-scaling-stroke}"
    ".a{fill:url(#pa)}.c{fill:url(#pc)}.k1{fill:url(#p1)}.k2{fill:url(#p2)}"
    ".n{fill:#d62728;fill-opacity:.55}"
    ".m{stroke:#8e24aa;stroke-width:3}.z{stroke:#000;stroke-dasharray:2 2}"
    "table.n{font:12px monospace;border-collapse:collapse}"
    "table.n th,table.n td{padding:0 6px;text-align:right}table.n th.t1,table.n th.t2{"
    "text-align:center}"
    "table.n td.x{font-weight:bold;background:#fde2a6}"
    ".sw.a{background:#f2c57c}.sw.c{background:#9fd39a}.sw.k1{background:#222}"
    ".sw.n{background:#d62728;opacity:.55}.sw.m{background:#8e24aa;width:3px}"
    ".note{color:#555}";

// printf into the page; the page is built in memory and written at once.
[[gnu::format(printf, 2, 3)]] void appendf(std::string &out, const char *format, ...) {
    char buffer[256];
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int size = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (size > 0 && static_cast<std::size_t>(size) < sizeof buffer) {
        out.append(buffer, static_cast<std::size_t>(size));
    } else if (size > 0) {
        const std::size_t end = out.size();
        out.resize(end + static_cast<std::size_t>(size) + 1);
        std::vsnprintf(&out[end], static_cast<std::size_t>(size) + 1, format, again);
        out.pop_back();
    }
    va_end(again);
}

void append_utf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool append_escaped_ascii(std::string &out, char c) {
    switch (c) {
        case '&': out += "&amp;"; return true;
        case '<': out += "&lt;"; return true;
        case '>': out += "&gt;"; return true;
        case '"': out += "&quot;"; return true;
        case '\'': out += "&#39;"; return true;
        default: return false;
    }
}

// Text that is already UTF-8 (file names), escaped.
void append_escaped(std::string &out, std::string_view text) {
    for (const char c : text)
        if (!append_escaped_ascii(out, c)) out += c;
}

// A width without trailing zeros: "2", "-1.5"; never "-0".
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string result = text;
    while (result.back() == '0') result.pop_back();
    if (result.back() == '.') result.pop_back();
    if (result == "-0") result = "0";
    return result;
}

std::array<double, 4> values_of(const std::array<std::string, 4> &fields) {
    std::array<double, 4> values{};
    for (std::size_t k = 0; k < 4; ++k) values[k] = std::strtod(fields[k].c_str(), nullptr);
    return values;
}

// A font with something that differs, and what.
struct Font {
    std::string face;
    const FontTally *tally = nullptr;
    std::vector<const RowDifference *> rows;
    std::vector<std::pair<unsigned, std::size_t>> only;  // a code, and the table that has it
    bool drawn = false;
    std::size_t differing() const { return rows.size() + only.size(); }
};

// The fonts that differ, the most differing first (then by name), each with
// its rows by code.
std::vector<Font> differing_fonts(const Comparison &comparison) {
    std::vector<Font> fonts;
    std::unordered_map<std::string, std::size_t> index;
    auto font = [&](const std::string &face) -> Font & {
        const auto [at, added] = index.emplace(face, fonts.size());
        if (added) fonts.push_back(Font{face, nullptr, {}, {}, false});
        return fonts[at->second];
    };
    for (const RowDifference &difference : comparison.differences)
        font(difference.face).rows.push_back(&difference);
    for (std::size_t t = 0; t < 2; ++t) {
        for (const std::string &key : comparison.rows_only_in[t]) {
            RowKey parsed;
            if (parse_key(key, parsed).empty()) font(parsed.face).only.emplace_back(parsed.code, t);
        }
    }
    for (Font &each : fonts) {
        const auto tally = comparison.by_font.find(each.face);
        if (tally != comparison.by_font.end()) each.tally = &tally->second;
        std::stable_sort(
            each.rows.begin(), each.rows.end(),
            [](const RowDifference *x, const RowDifference *y) { return x->code < y->code; });
        std::stable_sort(each.only.begin(), each.only.end());
    }
    std::sort(fonts.begin(), fonts.end(), [](const Font &x, const Font &y) {
        if (x.differing() != y.differing()) return x.differing() > y.differing();
        return x.face < y.face;
    });
    std::size_t drawn = 0;
    for (Font &each : fonts) {
        if (drawn >= kMaxDrawnRows) break;
        each.drawn = true;
        drawn += each.rows.size();
    }
    return fonts;
}

// The span of pixels a row's drawing covers in both tables, origin included,
// with a pixel to spare on each side.
struct Span {
    double low;
    double high;
};

Span span_of(const RowDifference &difference) {
    double low = 0;
    double high = 0;
    for (const auto *fields : {&difference.first, &difference.second}) {
        const auto w = values_of(*fields);
        for (const double x : {w[kA], w[kA] + w[kB], w[kA] + w[kB] + w[kC], w[kAdvance]}) {
            low = std::min(low, x);
            high = std::max(high, x);
        }
    }
    return {std::floor(low) - 1, std::ceil(high) + 1};
}

// Screen pixels per font pixel, the same for every drawing of the page so
// that the widest drawing is about 560 screen pixels and a pixel never
// narrower than 3 nor wider than 12; and the widest drawing's screen width, so
// that the numbers beside the drawings line up.
struct Scale {
    int pixel;
    int widest;
};

Scale page_scale(const std::vector<Font> &fonts) {
    double widest = 1;
    for (const Font &font : fonts) {
        if (!font.drawn) continue;
        for (const RowDifference *row : font.rows) {
            const Span span = span_of(*row);
            if (std::isfinite(span.high - span.low))
                widest = std::max(widest, span.high - span.low);
        }
    }
    const int pixel = static_cast<int>(std::clamp(std::floor(560 / widest), 3.0, 12.0));
    return {pixel, static_cast<int>(widest) * pixel};
}

void append_table_badge(std::string &out, std::size_t t) {
    appendf(out, "<span class=\"t t%zu\">%zu</span>", t + 1, t + 1);
}

// How a character stands as a column head or in a label.
void append_character(std::string &out, unsigned code) {
    if (code == 0x20) {
        out += "\u2423";
    } else if (code == 0x7f) {
        out += "\u2421";
    } else {
        out += html_of_windows1252(std::string(1, static_cast<char>(code)));
    }
}

void append_summary(std::string &out, const Comparison &comparison, const ReportHeading &heading) {
    out += "<h1>Width tables compared</h1>\n<table class=s>";
    for (std::size_t t = 0; t < 2; ++t) {
        out += "<tr><th>";
        append_table_badge(out, t);
        out += "<td>";
        append_escaped(out, heading.files[t]);
        appendf(out, "<td>%zu rows", comparison.rows_read[t]);
        if (comparison.repeats_dropped[t])
            appendf(out, ", %zu repeats dropped", comparison.repeats_dropped[t]);
        if (comparison.ignored_rows[t])
            appendf(out, ", %zu rows of ignored families", comparison.ignored_rows[t]);
        appendf(out, "<td>%zu families, %zu only here\n", comparison.fonts[t],
                comparison.fonts_only_in[t].size());
    }
    out += "</table>\n";
    appendf(out, "<p>Families in both: %zu. Rows in both: %zu, equal: %zu (%.2f%%). ",
            comparison.fonts[0] - comparison.fonts_only_in[0].size(), comparison.rows_in_both,
            comparison.equal_rows, equal_share(comparison));
    appendf(out, "<span class=verdict>Tables %s</span> (at least %.2f%% equal wanted).\n",
            heading.agree ? "agree" : "differ", heading.min_equal);
    for (std::size_t t = 0; t < 2; ++t) {
        const auto &keys = comparison.rows_only_in[t];
        if (keys.empty()) continue;
        out += "<p>Rows only in ";
        append_table_badge(out, t);
        appendf(out, " of families both have: %zu, e.g. \"", keys.size());
        out += html_of_windows1252(keys.front());
        out += "\".\n";
    }
    out += "<table class=k><tr><th>differing rows";
    for (const char *name : kWidthKindNames) appendf(out, "<th>%s", name);
    out += "\n<tr><th>rows";
    for (const std::size_t count : comparison.differing_by_kind) appendf(out, "<td>%zu", count);
    out += "\n<tr><th>by at most";
    for (const double gap : comparison.largest_difference) appendf(out, "<td>%.2f", gap);
    out += "\n</table>\n";
}

void append_legend(std::string &out) {
    out += "<p class=note>What differs (the second table against the first):";
    const char *const kinds[3][2] = {
        {"v", "the advance"}, {"b", "the black box (B)"}, {"s", "only the space before or after"}};
    for (const auto &[letter, name] : kinds) {
        appendf(out, "<span class=\"sw %s1\"></span><span class=\"sw %s2\"></span>", letter,
                letter);
        appendf(out, "<span class=\"sw %s3\"></span>%s", letter, name);
    }
    out += "; by at most 1, 3 or more pixels.";
    out +=
        "<span class=\"sw u1\"></span>row only in 1<span class=\"sw u2\"></span>row only in 2."
        "</p>\n";
}

// A cell's hover text: the widths that differ, first table to second.
void append_cell_title(std::string &out, const RowDifference &row) {
    appendf(out, " title=\"0x%02x", row.code);
    for (std::size_t k = 0; k < 4; ++k) {
        if (!row.differs[k]) continue;
        appendf(out, " %s %s\u2192%s", kWidthKindNames[k], row.first[k].c_str(),
                row.second[k].c_str());
    }
    out += '"';
}

void append_overview(std::string &out, const std::vector<Font> &fonts) {
    out += "<h2 id=overview>Where they differ</h2>\n";
    if (fonts.empty()) {
        out += "<p>Every row both tables have is equal.\n";
        return;
    }
    append_legend(out);
    out += "<table class=o><thead><tr><th>family<th>rows";
    for (unsigned code = kFirstCode; code < kFirstCode + kCodeCount; ++code) {
        out += "<th>";
        append_character(out, code);
    }
    out += "</thead><tbody>\n";
    for (std::size_t f = 0; f < fonts.size(); ++f) {
        const Font &font = fonts[f];
        const std::string name = html_of_windows1252(font.face);
        appendf(out, "<tr><th title=\"%s\">", name.c_str());
        if (font.drawn) {
            appendf(out, "<a href=\"#f%zu\">%s</a>", f + 1, name.c_str());
        } else {
            out += name;
        }
        appendf(out, "<td class=c>%zu", font.differing());

        std::array<const RowDifference *, kCodeCount> rows{};
        std::array<std::size_t, kCodeCount> only{};
        for (const RowDifference *row : font.rows) {
            const unsigned column = row->code - kFirstCode;
            if (row->code >= kFirstCode && column < kCodeCount && !rows[column]) rows[column] = row;
        }
        for (const auto &[code, t] : font.only) {
            const unsigned column = code - kFirstCode;
            if (code >= kFirstCode && column < kCodeCount) only[column] = t + 1;
        }
        for (unsigned column = 0; column < kCodeCount; ++column) {
            if (const RowDifference *row = rows[column]) {
                appendf(out, "<td class=%s>", difference_class(*row).c_str());
                if (font.drawn) {
                    appendf(out, "<a href=\"#f%zu-%02x\"", f + 1, row->code);
                    append_cell_title(out, *row);
                    out += "></a>";
                }
            } else if (only[column]) {
                appendf(out, "<td class=u%zu>", only[column]);
            } else {
                out += "<td>";
            }
        }
        out += '\n';
    }
    out += "</tbody></table>\n";
}

void append_fonts_only_in(std::string &out, const Comparison &comparison) {
    if (comparison.fonts_only_in[0].empty() && comparison.fonts_only_in[1].empty()) return;
    out += "<h2 id=only>Families only in one table</h2>\n";
    for (std::size_t t = 0; t < 2; ++t) {
        const auto &fonts = comparison.fonts_only_in[t];
        if (fonts.empty()) continue;
        out += "<h3>Only in ";
        append_table_badge(out, t);
        appendf(out, " (%zu)</h3>\n<ul class=f>", fonts.size());
        for (const auto &[face, rows] : fonts) {
            out += "<li>";
            out += html_of_windows1252(face);
            appendf(out, " <span class=note>(%zu row%s)</span>", rows, rows == 1 ? "" : "s");
        }
        out += "</ul>\n";
    }
}

// One table's bar: the space before from the origin, the black box, the
// space after, and the advance marked; negative spaces are drawn over the box
// they overlap. Rows of the drawing are at y 1 and 5, 3 high, of 9.
void append_bar(std::string &out, const std::array<double, 4> &w, std::size_t t) {
    const double y = t == 0 ? 1 : 5;
    auto rect = [&](double x, double width, const char *cls) {
        if (width == 0) return;
        if (width < 0) {
            x += width;
            width = -width;
        }
        const std::string wide = number(width);
        appendf(out, "<path class=%s d=\"M%s %sh%sv3h-%sz\"/>", cls, number(x).c_str(),
                number(y).c_str(), wide.c_str(), wide.c_str());
    };
    if (w[kA] > 0) rect(0, w[kA], "a");
    if (w[kC] > 0) rect(w[kA] + w[kB], w[kC], "c");
    rect(w[kA], w[kB], t == 0 ? "k1" : "k2");
    if (w[kA] < 0) rect(0, w[kA], "n");
    if (w[kC] < 0) rect(w[kA] + w[kB], w[kC], "n");
    appendf(out, "<path class=m d=\"M%s %sv4\"/>", number(w[kAdvance]).c_str(),
            number(y - 0.5).c_str());
}

void append_numbers(std::string &out, const RowDifference &row) {
    out += "<table class=n><tr><th>";
    for (const char *name : kWidthKindNames) appendf(out, "<th>%s", name);
    const std::array<std::string, 4> *fields[2] = {&row.first, &row.second};
    for (std::size_t t = 0; t < 2; ++t) {
        appendf(out, "<tr><th class=t%zu>%zu", t + 1, t + 1);
        for (std::size_t k = 0; k < 4; ++k)
            appendf(out, "<td%s>%s", row.differs[k] ? " class=x" : "", (*fields[t])[k].c_str());
    }
    const auto first = values_of(row.first);
    const auto second = values_of(row.second);
    out += "<tr><th>\u0394";
    for (std::size_t k = 0; k < 4; ++k) {
        out += "<td>";
        if (!row.differs[k]) continue;
        const double gap = second[k] - first[k];
        out += gap > 0 ? "+" : gap < 0 ? "-" : "\u00b1";
        out += number(std::fabs(gap));
    }
    out += "</table>";
}

void append_drawing(std::string &out, const RowDifference &row, std::size_t f, bool anchored,
                    int scale) {
    out += "<div class=r";
    if (anchored) appendf(out, " id=\"f%zu-%02x\"", f + 1, row.code);
    out += "><span class=ch>'";
    append_character(out, row.code);
    appendf(out, "'<br>0x%02x</span>", row.code);
    const Span span = span_of(row);
    const double width = span.high - span.low;
    // A table may hold "inf", which no drawing shows; the numbers still stand.
    if (std::isfinite(width)) {
        appendf(out,
                "<svg class=d width=\"%d\" viewBox=\"%s 0 %s 9\" "
                "preserveAspectRatio=\"none\">",
                static_cast<int>(width) * scale, number(span.low).c_str(), number(width).c_str());
        append_bar(out, values_of(row.first), 0);
        append_bar(out, values_of(row.second), 1);
        out += "<path class=z d=\"M0 0v9\"/></svg>";
    } else {
        out += "<span></span>";
    }
    append_numbers(out, row);
    out += "</div>\n";
}

// The fills of the drawings' spaces and boxes, defined once for the page: one
// font pixel wide, with a screen pixel of white at its left, so that the
// pixels of a box can be counted.
void append_pixel_patterns(std::string &out, int scale) {
    const std::pair<const char *, const char *> fills[] = {
        {"pa", "#f2c57c"}, {"pc", "#9fd39a"}, {"p1", "#222"}, {"p2", "#1f5fbf"}};
    out += "<svg width=\"0\" height=\"0\" style=\"position:absolute\"><defs>";
    const std::string gap = number(1.0 / scale);
    for (const auto &[id, colour] : fills)
        appendf(out,
                "<pattern id=\"%s\" patternUnits=\"userSpaceOnUse\" width=\"1\" height=\"9\">"
                "<rect width=\"1\" height=\"9\" fill=\"%s\"/><rect width=\"%s\" height=\"9\" "
                "fill=\"#fff\" fill-opacity=\".7\"/></pattern>",
                id, colour, gap.c_str());
    out += "</defs></svg>\n";
}

void append_drawings(std::string &out, const std::vector<Font> &fonts, int scale) {
    if (fonts.empty()) return;
    append_pixel_patterns(out, scale);
    out += "<h2 id=drawings>The differing rows</h2>\n<p class=note>Each row of the first table ";
    append_table_badge(out, 0);
    out += " above the second ";
    append_table_badge(out, 1);
    appendf(out,
            ", one grid step a pixel (%d screen pixels): <span class=\"sw a\"></span>the space "
            "before (A) <span class=\"sw k1\"></span>the black box (B) <span class=\"sw c\">"
            "</span>the space after (C) <span class=\"sw n\"></span>a negative space, over the "
            "box <span class=\"sw m\"></span>the advance; the dashed line is the origin.</p>\n",
            scale);
    std::size_t undrawn_fonts = 0;
    std::size_t undrawn_rows = 0;
    for (std::size_t f = 0; f < fonts.size(); ++f) {
        const Font &font = fonts[f];
        if (!font.drawn) {
            ++undrawn_fonts;
            undrawn_rows += font.rows.size();
            continue;
        }
        appendf(out, "<section id=\"f%zu\"><h3>", f + 1);
        out += html_of_windows1252(font.face);
        out += "</h3>\n<p class=note>";
        if (font.tally) {
            const FontTally &tally = *font.tally;
            appendf(out,
                    "%zu of the %zu rows both have differ (A %zu, B %zu, C %zu, advance %zu). ",
                    tally.differing, tally.rows_in_both, tally.differing_by_kind[kA],
                    tally.differing_by_kind[kB], tally.differing_by_kind[kC],
                    tally.differing_by_kind[kAdvance]);
        }
        for (std::size_t t = 0; t < 2; ++t) {
            bool first = true;
            for (const auto &[code, table] : font.only) {
                if (table != t) continue;
                if (first) {
                    out += "Rows only in ";
                    append_table_badge(out, t);
                    out += ':';
                }
                out += first ? " '" : ", '";
                append_character(out, code);
                appendf(out, "' 0x%02x", code);
                first = false;
            }
            if (!first) out += ". ";
        }
        out += "<a href=\"#overview\">Back to the overview</a></p>\n";
        std::array<bool, 256> anchored{};
        for (const RowDifference *row : font.rows) {
            const bool first = !anchored[row->code & 0xFF];
            anchored[row->code & 0xFF] = true;
            append_drawing(out, *row, f, first, scale);
        }
        out += "</section>\n";
    }
    if (undrawn_fonts)
        appendf(out,
                "<p class=note>Not drawn: %zu more families with %zu differing rows (at most %zu "
                "rows are drawn); compare_tables --show lists them.</p>\n",
                undrawn_fonts, undrawn_rows, kMaxDrawnRows);
}

}  // namespace

std::string html_of_windows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        char32_t character = byte;
        if (byte >= 0x80 && byte < 0xA0) character = kWindows1252High[byte - 0x80];
        if (byte < 0x20 || byte == 0x7F) character = 0;
        if (character == 0) {
            appendf(out, "\\x%02X", byte);
        } else if (!append_escaped_ascii(out, c)) {
            append_utf8(out, character);
        }
    }
    return out;
}

std::string difference_class(const RowDifference &difference) {
    const auto first = values_of(difference.first);
    const auto second = values_of(difference.second);
    double gap = 0;
    for (std::size_t k = 0; k < 4; ++k)
        if (difference.differs[k]) gap = std::max(gap, std::fabs(first[k] - second[k]));
    const char what = difference.differs[kAdvance] ? 'v' : difference.differs[kB] ? 'b' : 's';
    // A little over the whole pixel, for widths that are not whole.
    const char level = gap <= 1.001 ? '1' : gap <= 3.001 ? '2' : '3';
    return {what, level};
}

std::string html_report(const Comparison &comparison, const ReportHeading &heading) {
    const std::vector<Font> fonts = differing_fonts(comparison);
    std::string out;
    // About what a font's overview line and a drawing take.
    out.reserve(std::size_t{64} * 1024 + fonts.size() * kCodeCount * 16 +
                std::min(comparison.differences.size(), kMaxDrawnRows) * 700);
    out += "<!DOCTYPE html>\n<html lang=en><head><meta charset=utf-8>\n<title>";
    append_escaped(out, heading.files[0]);
    out += " against ";
    append_escaped(out, heading.files[1]);
    out += "</title>\n<style>";
    out += kStyle;
    const Scale scale = page_scale(fonts);
    appendf(out,
            "svg.d{background:repeating-linear-gradient(90deg,#d8d8d8 0 1px,#fff 1px %dpx)}"
            ".r{grid-template-columns:3.5em %dpx auto}",
            scale.pixel, scale.widest + 2);
    out += "</style></head><body>\n";
    append_summary(out, comparison, heading);
    append_overview(out, fonts);
    append_fonts_only_in(out, comparison);
    append_drawings(out, fonts, scale.pixel);
    out += "</body></html>\n";
    return out;
}
