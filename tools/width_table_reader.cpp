#include "width_table_reader.h"

#include <charconv>
#include <system_error>

namespace {

bool is_number(std::string_view text) {
    double value = 0;
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

}  // namespace

std::string parse_key(std::string_view text, RowKey &key) {
    const std::size_t mark = text.rfind(kKeyCodeMark);
    if (mark == std::string_view::npos) return "no \"'-0x<code>\" in the key " + quoted(text);
    const std::string_view hex = text.substr(mark + kKeyCodeMark.size());
    unsigned code = 0;
    auto [stop, error] = std::from_chars(hex.data(), hex.data() + hex.size(), code, 16);
    if (hex.empty() || error != std::errc() || stop != hex.data() + hex.size() || code > 0xFF)
        return "the code " + quoted(hex) + " of the key " + quoted(text) + " is no byte in hex";
    if (mark < kKeyCharacterMark.size() + 1 ||
        text.substr(mark - 1 - kKeyCharacterMark.size(), kKeyCharacterMark.size()) !=
            kKeyCharacterMark)
        return "no \"-'<character>\" before the code in the key " + quoted(text);
    const auto character = static_cast<unsigned char>(text[mark - 1]);
    if (character != code)
        return "the character of the key " + quoted(text) + " is not the one of its code";
    const std::size_t face_size = mark - 1 - kKeyCharacterMark.size();
    if (face_size == 0) return "no face label in the key " + quoted(text);
    key.face = std::string(text.substr(0, face_size));
    key.code = code;
    return {};
}

std::string parse_row(std::string_view line, WidthRow &row) {
    // The key is quoted but not escaped: a quote inside it stays as it is. The
    // numbers hold none, so the key ends at the line's last quote.
    if (line.empty() || line.front() != '"') return "a row starts with the quoted key";
    const std::size_t close = line.rfind('"');
    if (close == 0) return "the key has no closing quote";
    const std::string_view key_text = line.substr(1, close - 1);
    std::string_view rest = line.substr(close + 1);
    if (rest.empty() || rest.front() != ',') return "no ',' after the key's closing quote";
    rest.remove_prefix(1);

    std::array<std::string, 4> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t comma = rest.find(',');
        const bool last = i + 1 == fields.size();
        if (!last && comma == std::string_view::npos)
            return "expected 4 numbers after the key, found " + std::to_string(i + 1);
        if (last && comma != std::string_view::npos) return "more than 4 numbers after the key";
        const std::string_view field = last ? rest : rest.substr(0, comma);
        if (!is_number(field))
            return std::string(kWidthFieldNames[i]) + " " + quoted(field) + " is not a number";
        fields[i] = std::string(field);
        if (!last) rest.remove_prefix(comma + 1);
    }

    RowKey key;
    std::string reason = parse_key(key_text, key);
    if (!reason.empty()) return reason;
    row.key = std::string(key_text);
    row.face = std::move(key.face);
    row.code = key.code;
    row.fields = std::move(fields);
    return {};
}

WidthTable read_table(std::istream &in, const std::string &file) {
    WidthTable table{file, {}};
    auto fail = [&file](std::size_t line, const std::string &reason) {
        return BadTable(file + ":" + std::to_string(line) + ": " + reason);
    };
    std::string text;
    std::size_t line = 0;
    bool header_seen = false;
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (!header_seen) {
            if (text != kTableHeaderText)
                throw fail(line, "expected the header '" + std::string(kTableHeaderText) + "'");
            header_seen = true;
            continue;
        }
        if (text.empty()) continue;
        WidthRow row;
        const std::string reason = parse_row(text, row);
        if (!reason.empty()) throw fail(line, reason);
        row.line = line;
        table.rows.push_back(std::move(row));
    }
    if (in.bad()) throw fail(line, "read error");
    if (!header_seen) throw BadTable(file + ": empty, not even the header line");
    return table;
}
