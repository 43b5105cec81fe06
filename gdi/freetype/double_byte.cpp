// Double-byte codes to Unicode through the C library's converters for
// Windows' own code pages (932, 936, 949, 950 and Johab).

#include "double_byte.h"

#include <iconv.h>

#include "gdi_rules.h"

namespace dm12_gdi {

namespace {

const char *code_page_of(BYTE charset) {
    switch (charset) {
        case SHIFTJIS_CHARSET: return "CP932";
        case GB2312_CHARSET: return "CP936";
        case HANGEUL_CHARSET: return "CP949";
        case CHINESEBIG5_CHARSET: return "CP950";
        case JOHAB_CHARSET: return "JOHAB";
        default: return nullptr;
    }
}

struct Converter {
    iconv_t handle;
    explicit Converter(const char *code_page) : handle(iconv_open("UTF-32LE", code_page)) {}
    ~Converter() {
        if (valid()) iconv_close(handle);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    bool valid() const { return handle != reinterpret_cast<iconv_t>(-1); }

    // One code's two bytes, wholly one character, or 0.
    char32_t character(unsigned code) {
        char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        unsigned char out[8] = {};
        char *in = bytes;
        char *to = reinterpret_cast<char *>(out);
        std::size_t in_left = sizeof bytes, out_left = sizeof out;
        iconv(handle, nullptr, nullptr, nullptr, nullptr);  // a fresh state per code
        const std::size_t converted = iconv(handle, &in, &in_left, &to, &out_left);
        if (converted == static_cast<std::size_t>(-1) || in_left != 0 || out_left != 4) return 0;
        return static_cast<char32_t>(
            static_cast<unsigned>(out[0]) | static_cast<unsigned>(out[1]) << 8 |
            static_cast<unsigned>(out[2]) << 16 | static_cast<unsigned>(out[3]) << 24);
    }
};

}  // namespace

std::vector<char32_t> double_byte_characters(BYTE charset, unsigned first, unsigned last) {
    if (!is_cjk_charset(charset) || first > last) return {};
    const char *code_page = code_page_of(charset);
    if (!code_page) return {};
    Converter converter(code_page);
    if (!converter.valid()) return {};
    std::vector<char32_t> characters;
    for (unsigned code = first; code <= last; ++code)
        characters.push_back(converter.character(code));
    return characters;
}

}  // namespace dm12_gdi
