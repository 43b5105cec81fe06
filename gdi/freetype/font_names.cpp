// Family names as GDI reports them: the legacy family name of an sfnt's
// Windows name records, in Windows-1252 with Windows' best fit.

#include "font_names.h"

#include <algorithm>

#include "gdi.h"
#include "windows_1252.h"

namespace dm12_gdi {

namespace {

// The platform, encodings and name that hold the legacy family name.
constexpr unsigned kPlatformWindows = 3;
constexpr unsigned kEncodingSymbol = 0;
constexpr unsigned kEncodingUnicodeBmp = 1;
constexpr unsigned kEncodingUcs4 = 10;
constexpr unsigned kNameFamily = 1;
constexpr unsigned kLanguageEnglishUs = 0x409;

// Where Windows-1252 lacks a character, Windows converts it to its nearest
// look-alike ("best fit"): Latin Extended-A letters to their base letter, and
// a few Greek letters to Latin ones. Others become '?'.
constexpr char kLatinExtendedABestFit[] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKk?LlLlLlLlLlNnNnNn???OoOoOo"
    "\x8C\x9CRrRrRrSsSsSs\x8A\x9ATtTtTtUuUuUuUuUuUuWwYy\x9FZzZz\x8E\x9E?";
static_assert(sizeof kLatinExtendedABestFit - 1 == 0x80, "one byte for each of U+0100..U+017F");

struct BestFit {
    char32_t code_point;
    char byte;
};
constexpr BestFit kGreekBestFit[] = {
    {0x0393, 'G'}, {0x0398, 'T'}, {0x03A3, 'S'}, {0x03A6, 'F'}, {0x03A9, 'O'}, {0x03B1, 'a'},
    {0x03B4, 'd'}, {0x03B5, 'e'}, {0x03C0, 'p'}, {0x03C3, 's'}, {0x03C4, 't'}, {0x03C6, 'f'},
};

char to_cp1252(char32_t code_point) {
    const bool undefined_c1 = code_point == 0x81 || code_point == 0x8D || code_point == 0x8F ||
                              code_point == 0x90 || code_point == 0x9D;
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF) || undefined_c1)
        return static_cast<char>(code_point);
    if (code_point >= 0x100 && code_point < 0x180)
        return kLatinExtendedABestFit[code_point - 0x100];
    for (unsigned byte = 0; byte < 32; ++byte)
        if (kWindows1252High[byte] == code_point) return static_cast<char>(0x80 + byte);
    for (const BestFit &fit : kGreekBestFit)
        if (fit.code_point == code_point) return fit.byte;
    return '?';
}

// A UTF-16BE name record in Windows-1252, one byte per character.
std::string utf16be_to_cp1252(const unsigned char *bytes, unsigned length) {
    std::string name;
    const auto unit_at = [&](unsigned i) {
        return static_cast<char32_t>(bytes[i] << 8 | bytes[i + 1]);
    };
    for (unsigned i = 0; i + 1 < length; i += 2) {
        const char32_t unit = unit_at(i);
        // A pair is one character; a half of one alone is a character of
        // its own, and the unit after it stays.
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 3 < length && unit_at(i + 2) >= 0xDC00 && unit_at(i + 2) <= 0xDFFF) i += 2;
        name += to_cp1252(unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return name;
}

bool is_windows_name(const NameRecord &name, unsigned name_id) {
    return name.platform_id == kPlatformWindows && name.name_id == name_id &&
           (name.encoding_id == kEncodingSymbol || name.encoding_id == kEncodingUnicodeBmp ||
            name.encoding_id == kEncodingUcs4);
}

// The Windows record of a name: English, else the first.
const NameRecord *windows_record(const std::vector<NameRecord> &records, unsigned name_id) {
    const NameRecord *chosen = nullptr;
    for (const NameRecord &name : records) {
        if (!is_windows_name(name, name_id)) continue;
        if (!chosen || name.language_id == kLanguageEnglishUs) chosen = &name;
        if (name.language_id == kLanguageEnglishUs) break;
    }
    return chosen;
}

const NameRecord *legacy_family_record(const std::vector<NameRecord> &records) {
    return windows_record(records, kNameFamily);
}

}  // namespace

std::string legacy_family_name(const std::vector<NameRecord> &records) {
    const NameRecord *chosen = legacy_family_record(records);
    return chosen ? utf16be_to_cp1252(chosen->bytes, chosen->length) : std::string();
}

std::string windows_name(const std::vector<NameRecord> &records, unsigned name_id) {
    const NameRecord *chosen = windows_record(records, name_id);
    return chosen ? utf16be_to_cp1252(chosen->bytes, chosen->length) : std::string();
}

LookupNames lookup_names(const std::vector<NameRecord> &records) {
    constexpr unsigned kNameFull = 4;
    LookupNames names;
    const NameRecord *legacy = legacy_family_record(records);
    if (!legacy) return names;
    // test_lang_names: on an English system a family is also found by its
    // name in the language of the smallest ID, not by those of others, and
    // by its full name in the legacy name's language only.
    const NameRecord *second = nullptr;
    for (const NameRecord &name : records) {
        if (is_windows_name(name, kNameFamily) && name.language_id != legacy->language_id &&
            (!second || name.language_id < second->language_id))
            second = &name;
        if (is_windows_name(name, kNameFull) && name.language_id == legacy->language_id &&
            names.full_name.empty())
            names.full_name = face_name(utf16be_to_cp1252(name.bytes, name.length));
    }
    if (second) names.second_family = face_name(utf16be_to_cp1252(second->bytes, second->length));
    return names;
}

std::string lowercase_cp1252(std::string name) {
    // Windows-1252's capitals: A-Z, the Latin-1 letters but the multiplication
    // sign, and Š, Œ, Ž, Ÿ.
    for (char &c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
            c = static_cast<char>(byte + 0x20);
        else if (byte == 0x8A || byte == 0x8C || byte == 0x8E)
            c = static_cast<char>(byte + 0x10);
        else if (byte == 0x9F)
            c = static_cast<char>(0xFF);
    }
    return name;
}

std::string face_name(std::string name) {
    if (name.find('\0') != std::string::npos) name.resize(name.find('\0'));
    name.resize(std::min<std::size_t>(name.size(), LF_FACESIZE - 1));
    return name;
}

}  // namespace dm12_gdi
