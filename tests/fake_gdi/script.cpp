// The script: families, defaults, and the text form read by the subprocess.

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "fake_gdi.h"

namespace fake_gdi {

namespace {

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_widths(const ABCFLOAT &a, const ABCFLOAT &b) {
    return same_bits(a.abcfA, b.abcfA) && same_bits(a.abcfB, b.abcfB) &&
           same_bits(a.abcfC, b.abcfC);
}

std::string escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            out += hex;
        }
    }
    return out;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void fail(std::size_t line, const std::string &what) {
    throw std::runtime_error("fake_gdi script, line " + std::to_string(line) + ": " + what);
}

std::string unescape(std::string_view text, std::size_t line) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            i += 1;
            continue;
        }
        if (i + 3 < text.size() && text[i + 1] == 'x' && hex_digit(text[i + 2]) >= 0 &&
            hex_digit(text[i + 3]) >= 0) {
            out += static_cast<char>(hex_digit(text[i + 2]) * 16 + hex_digit(text[i + 3]));
            i += 3;
            continue;
        }
        fail(line, "bad escape in '" + std::string(text) + "' (\\\\ or \\xHH)");
    }
    return out;
}

unsigned long parse_unsigned(const std::string &word, std::size_t line, unsigned long max) {
    if (word.empty() || word[0] == '-' || word[0] == '+')
        fail(line, "not a number: '" + word + "'");
    errno = 0;
    char *end = nullptr;
    const unsigned long value = std::strtoul(word.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > max)
        fail(line, "not a number up to " + std::to_string(max) + ": '" + word + "'");
    return value;
}

float parse_float(const std::string &word, std::size_t line) {
    char *end = nullptr;
    const float value = std::strtof(word.c_str(), &end);
    if (word.empty() || *end != '\0') fail(line, "not a number: '" + word + "'");
    return value;
}

std::vector<std::string> words_of(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string float_text(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

void set_face_name(LOGFONTA &logfont, std::string_view name) {
    if (name.size() > LF_FACESIZE - 1)
        throw std::invalid_argument("fake_gdi: enumerated face name longer than " +
                                    std::to_string(LF_FACESIZE - 1) + " bytes: '" +
                                    std::string(name) + "'");
    std::memset(logfont.lfFaceName, 0, sizeof logfont.lfFaceName);
    std::memcpy(logfont.lfFaceName, name.data(), name.size());
}

}  // namespace

std::string Family::enumerated_name() const {
    return std::string(logfont.lfFaceName, strnlen(logfont.lfFaceName, LF_FACESIZE));
}

std::string Family::realized() const { return realized_name ? *realized_name : enumerated_name(); }

bool operator==(const Family &a, const Family &b) {
    // Up to the last member: the padding after it holds nothing to compare.
    if (std::memcmp(&a.logfont, &b.logfont, offsetof(LOGFONTA, lfFaceName) + LF_FACESIZE) != 0)
        return false;
    if (std::memcmp(&a.metrics, &b.metrics, offsetof(TEXTMETRICA, tmCharSet) + 1) != 0)
        return false;
    if (a.font_type != b.font_type || a.realized_name != b.realized_name ||
        a.text_face_fails != b.text_face_fails || a.all_codes_fail != b.all_codes_fail ||
        a.failing_codes != b.failing_codes || a.raise_signal != b.raise_signal ||
        a.widths.size() != b.widths.size())
        return false;
    for (auto i = a.widths.begin(), j = b.widths.begin(); i != a.widths.end(); ++i, ++j)
        if (i->first != j->first || !same_widths(i->second, j->second)) return false;
    return true;
}

bool operator==(const Script &a, const Script &b) {
    return a.families == b.families && a.fclose_error == b.fclose_error;
}

Family make_family(std::string_view enumerated_name, DWORD font_type) {
    Family family;
    LOGFONTA &lf = family.logfont;
    lf.lfHeight = 16;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    set_face_name(lf, enumerated_name);

    TEXTMETRICA &tm = family.metrics;
    tm.tmHeight = 16;
    tm.tmAscent = 13;
    tm.tmDescent = 3;
    tm.tmAveCharWidth = 7;
    tm.tmMaxCharWidth = 16;
    tm.tmWeight = FW_NORMAL;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 32;
    tm.tmLastChar = 255;
    tm.tmDefaultChar = 31;
    tm.tmBreakChar = 32;
    tm.tmPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    tm.tmCharSet = ANSI_CHARSET;

    family.font_type = font_type;
    return family;
}

ABCFLOAT default_widths(unsigned seed, unsigned code) {
    const double a = (static_cast<double>(code % 5) - 2.0) * 0.25;
    const double b = 4.0 + static_cast<double>(code) * 0.125 + static_cast<double>(seed % 64);
    const double c = (static_cast<double>(code % 3) - 1.0) * 0.375;
    return ABCFLOAT{static_cast<float>(a), static_cast<float>(b), static_cast<float>(c)};
}

std::optional<ABCFLOAT> scripted_widths(const Script &script, std::size_t family, unsigned code) {
    const Family &f = script.families.at(family);
    if (f.all_codes_fail || f.failing_codes.count(code) != 0) return std::nullopt;
    const auto chosen = f.widths.find(code);
    if (chosen != f.widths.end()) return chosen->second;
    return default_widths(static_cast<unsigned>(family + 1), code);
}

Script parse_script(std::string_view text) {
    Script script;
    std::size_t line_number = 0;
    while (!text.empty()) {
        ++line_number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;

        const std::size_t space = line.find(' ');
        const std::string keyword(line.substr(0, space));
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view{} : line.substr(space + 1);

        if (keyword == "family") {
            try {
                script.families.push_back(make_family(unescape(rest, line_number)));
            } catch (const std::invalid_argument &error) {
                fail(line_number, error.what());
            }
            continue;
        }
        const std::vector<std::string> words = words_of(rest);
        if (keyword == "fclose-error") {
            if (!script.families.empty()) fail(line_number, "fclose-error after a family");
            if (words.size() != 1) fail(line_number, "fclose-error <errno>");
            script.fclose_error = static_cast<int>(parse_unsigned(words[0], line_number, 4095));
            continue;
        }
        if (script.families.empty()) fail(line_number, "'" + keyword + "' before any family");
        Family &family = script.families.back();
        if (keyword == "realized") {
            family.realized_name = unescape(rest, line_number);
        } else if (keyword == "type") {
            if (words.size() != 1) fail(line_number, "type <n>");
            family.font_type =
                static_cast<DWORD>(parse_unsigned(words[0], line_number, 0xFFFFFFFFul));
        } else if (keyword == "charset") {
            if (words.size() != 1) fail(line_number, "charset <n>");
            family.logfont.lfCharSet =
                static_cast<BYTE>(parse_unsigned(words[0], line_number, 255));
            family.metrics.tmCharSet = family.logfont.lfCharSet;
        } else if (keyword == "textface") {
            if (words.size() != 1 || words[0] != "fails") fail(line_number, "textface fails");
            family.text_face_fails = true;
        } else if (keyword == "fail") {
            if (words.size() != 1) fail(line_number, "fail <code> | fail all");
            if (words[0] == "all")
                family.all_codes_fail = true;
            else
                family.failing_codes.insert(
                    static_cast<unsigned>(parse_unsigned(words[0], line_number, 0xFFFFFFFFul)));
        } else if (keyword == "width") {
            if (words.size() != 4) fail(line_number, "width <code> <A> <B> <C>");
            const auto code =
                static_cast<unsigned>(parse_unsigned(words[0], line_number, 0xFFFFFFFFul));
            family.widths[code] =
                ABCFLOAT{parse_float(words[1], line_number), parse_float(words[2], line_number),
                         parse_float(words[3], line_number)};
        } else if (keyword == "raise") {
            if (words.size() != 1) fail(line_number, "raise <signal>");
            family.raise_signal = static_cast<int>(parse_unsigned(words[0], line_number, 64));
        } else {
            fail(line_number, "unknown directive '" + keyword + "'");
        }
    }
    return script;
}

std::string format_script(const Script &script) {
    std::string out;
    if (script.fclose_error != 0)
        out += "fclose-error " + std::to_string(script.fclose_error) + "\n";
    for (const Family &family : script.families) {
        out += "family " + escape(family.enumerated_name()) + "\n";
        if (family.realized_name) out += "realized " + escape(*family.realized_name) + "\n";
        out += "type " + std::to_string(family.font_type) + "\n";
        if (family.logfont.lfCharSet != ANSI_CHARSET)
            out += "charset " + std::to_string(family.logfont.lfCharSet) + "\n";
        if (family.text_face_fails) out += "textface fails\n";
        if (family.all_codes_fail) out += "fail all\n";
        for (const unsigned code : family.failing_codes)
            out += "fail " + std::to_string(code) + "\n";
        for (const auto &[code, widths] : family.widths)
            out += "width " + std::to_string(code) + " " + float_text(widths.abcfA) + " " +
                   float_text(widths.abcfB) + " " + float_text(widths.abcfC) + "\n";
        if (family.raise_signal != 0) out += "raise " + std::to_string(family.raise_signal) + "\n";
    }
    return out;
}

Script load_script_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("fake_gdi: cannot read the script '" + path + "'");
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return parse_script(text.str());
    } catch (const std::runtime_error &error) {
        throw std::runtime_error(path + ": " + error.what());
    }
}

void write_script_file(const std::string &path, const Script &script) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << format_script(script);
    out.close();
    if (!out) throw std::runtime_error("fake_gdi: cannot write the script '" + path + "'");
}

}  // namespace fake_gdi
