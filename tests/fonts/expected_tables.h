// The tables that tests/fonts/make_fonts.py writes beside the fonts: which faces
// the private font set holds, which families our GDI must enumerate and the
// widths it must measure. The values come from the fonts' own numbers and the
// rules GDI measures by, not from any implementation (EXPECTED.md says how).
//
// Names in the tables are Windows-1252 bytes; everything but printable ASCII is
// written \xHH, and read back here as the byte.
#ifndef DUMP_METRICS12_TESTS_FONTS_EXPECTED_TABLES_H
#define DUMP_METRICS12_TESTS_FONTS_EXPECTED_TABLES_H

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace dm12_fonts {

// Where the fonts and tables lie, and the fontconfig configuration that lists
// them and nothing else (both set by tests/fonts/CMakeLists.txt).
inline const char *font_dir() { return DUMP_METRICS12_TEST_FONT_DIR; }
inline const char *fontconfig_file() { return DUMP_METRICS12_TEST_FONTCONFIG; }

inline std::string unescape(const std::string &field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

// A name as the tables write it: for messages and test names.
inline std::string escape(const std::string &name) {
    std::string out;
    for (char ch : name) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out.push_back(ch);
        } else {
            static const char kHex[] = "0123456789abcdef";
            out += "\\x";
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        }
    }
    return out;
}

// One table: its column names and its rows, comment lines left out.
class Table {
public:
    explicit Table(const std::string &name) {
        const std::string path = std::string(font_dir()) + "/" + name;
        std::ifstream in(path);
        if (!in) throw std::runtime_error("cannot read " + path);
        std::string line;
        bool header = true;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::vector<std::string> fields;
            std::stringstream split(line);
            std::string field;
            while (std::getline(split, field, ',')) fields.push_back(field);
            if (header) {
                for (std::size_t i = 0; i < fields.size(); ++i) columns_[fields[i]] = i;
                width_ = fields.size();
                header = false;
            } else {
                if (fields.size() != width_)
                    throw std::runtime_error("bad row in " + path + ": " + line);
                rows_.push_back(fields);
            }
        }
    }

    std::size_t size() const { return rows_.size(); }

    const std::string &text(std::size_t row, const char *column) const {
        const auto found = columns_.find(column);
        if (found == columns_.end()) throw std::runtime_error(std::string("no column ") + column);
        return rows_.at(row).at(found->second);
    }
    std::string name(std::size_t row, const char *column) const {
        return unescape(text(row, column));
    }
    long number(std::size_t row, const char *column) const { return std::stol(text(row, column)); }
    double real(std::size_t row, const char *column) const { return std::stod(text(row, column)); }

private:
    std::map<std::string, std::size_t> columns_;
    std::size_t width_ = 0;
    std::vector<std::vector<std::string>> rows_;
};

// expected_faces.csv: every face of the set.
struct ExpectedFace {
    std::string file;  // file name inside font_dir()
    long index = 0;  // face index inside the file
    std::string family;  // the GDI family (lfFaceName) it belongs to
    std::string style;
    long weight = 0;
    bool italic = false;
    std::string outlines;  // "glyf" or "cff"
    bool instructions = false;  // its glyphs carry TrueType instructions
    std::string device_tables;  // "VDMX", "hdmx", "gasp" joined by '+', or "none"
};

inline std::vector<ExpectedFace> expected_faces() {
    const Table table("expected_faces.csv");
    std::vector<ExpectedFace> faces;
    for (std::size_t r = 0; r < table.size(); ++r) {
        ExpectedFace face;
        face.file = table.text(r, "file");
        face.index = table.number(r, "face_index");
        face.family = table.name(r, "lfFaceName");
        face.style = table.text(r, "style");
        face.weight = table.number(r, "weight");
        face.italic = table.number(r, "italic") != 0;
        face.outlines = table.text(r, "outlines");
        face.instructions = table.number(r, "instructions") != 0;
        face.device_tables = table.text(r, "device_tables");
        faces.push_back(face);
    }
    return faces;
}

// expected_families.csv: the families, in enumeration order, with the LOGFONTA
// and font type the enumeration reports for each.
struct ExpectedFamily {
    long order = 0;
    std::string name;
    unsigned long font_type = 0;
    long height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    long italic = 0, underline = 0, strike_out = 0, char_set = 0, out_precision = 0;
    long clip_precision = 0, quality = 0, pitch_and_family = 0;
    std::string file;  // the representative face
    long index = 0;
};

inline std::vector<ExpectedFamily> expected_families() {
    const Table table("expected_families.csv");
    std::vector<ExpectedFamily> families;
    for (std::size_t r = 0; r < table.size(); ++r) {
        ExpectedFamily f;
        f.order = table.number(r, "order");
        f.name = table.name(r, "lfFaceName");
        f.font_type = static_cast<unsigned long>(table.number(r, "font_type"));
        f.height = table.number(r, "lfHeight");
        f.width = table.number(r, "lfWidth");
        f.escapement = table.number(r, "lfEscapement");
        f.orientation = table.number(r, "lfOrientation");
        f.weight = table.number(r, "lfWeight");
        f.italic = table.number(r, "lfItalic");
        f.underline = table.number(r, "lfUnderline");
        f.strike_out = table.number(r, "lfStrikeOut");
        f.char_set = table.number(r, "lfCharSet");
        f.out_precision = table.number(r, "lfOutPrecision");
        f.clip_precision = table.number(r, "lfClipPrecision");
        f.quality = table.number(r, "lfQuality");
        f.pitch_and_family = table.number(r, "lfPitchAndFamily");
        f.file = table.text(r, "file");
        f.index = table.number(r, "face_index");
        families.push_back(f);
    }
    return families;
}

// Names that differ only in ASCII case: GDI orders families by name
// ignoring case, so such families may come in either order, and a face name
// chooses its family ignoring case, so either may be realized for both.
inline std::string fold_case(const std::string &name) {
    std::string folded = name;
    for (char &ch : folded) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    return folded;
}

// One code's widths in a request.
struct ExpectedCode {
    unsigned code = 0;
    long a = 0, b = 0, c = 0, advance = 0;
};

// expected_widths.csv, grouped: one CreateFontIndirectA request and what it
// must realize and measure.
struct ExpectedRequest {
    std::string label;  // "enum" for a family's enumerated LOGFONTA
    std::string face_name;  // lfFaceName asked for
    long height = 0, width = 0, weight = 0, italic = 0, char_set = 0, pitch_and_family = 0;
    std::string realized_face;  // what GetTextFaceA reports
    unsigned long font_type = 0;
    long ppem = 0;
    double stretch = 1.0;
    std::string file;
    long index = 0;
    bool symbol = false;
    std::vector<ExpectedCode> codes;  // ascending; all 96 for "enum"
};

inline std::vector<ExpectedRequest> expected_requests() {
    const Table table("expected_widths.csv");
    std::vector<ExpectedRequest> requests;
    for (std::size_t r = 0; r < table.size(); ++r) {
        const std::string label = table.text(r, "request");
        const std::string face_name = table.name(r, "lfFaceName");
        if (requests.empty() || requests.back().label != label ||
            requests.back().face_name != face_name) {
            ExpectedRequest q;
            q.label = label;
            q.face_name = face_name;
            q.height = table.number(r, "lfHeight");
            q.width = table.number(r, "lfWidth");
            q.weight = table.number(r, "lfWeight");
            q.italic = table.number(r, "lfItalic");
            q.char_set = table.number(r, "lfCharSet");
            q.pitch_and_family = table.number(r, "lfPitchAndFamily");
            q.realized_face = table.name(r, "realized_face");
            q.font_type = static_cast<unsigned long>(table.number(r, "font_type"));
            q.ppem = table.number(r, "ppem");
            q.stretch = table.real(r, "stretch");
            q.file = table.text(r, "file");
            q.index = table.number(r, "face_index");
            q.symbol = table.number(r, "symbol") != 0;
            requests.push_back(q);
        }
        ExpectedCode code;
        code.code = static_cast<unsigned>(table.number(r, "code"));
        code.a = table.number(r, "A");
        code.b = table.number(r, "B");
        code.c = table.number(r, "C");
        code.advance = table.number(r, "advance");
        requests.back().codes.push_back(code);
    }
    return requests;
}

// The "enum" request of a family, by its exact name; null if there is none.
inline const ExpectedRequest *enumerated_request(const std::vector<ExpectedRequest> &requests,
                                                 const std::string &family) {
    for (const ExpectedRequest &q : requests) {
        if (q.label == "enum" && q.face_name == family) return &q;
    }
    return nullptr;
}

// Short forms for gtest's messages, which otherwise print parameters as bytes.
inline void PrintTo(const ExpectedFace &face, std::ostream *out) {
    *out << face.file << "#" << face.index;
}
inline void PrintTo(const ExpectedFamily &family, std::ostream *out) {
    *out << escape(family.name);
}
inline void PrintTo(const ExpectedRequest &request, std::ostream *out) {
    *out << request.label << " '" << escape(request.face_name) << "'";
}

// A name usable in a test's name: letters and digits, the rest '_'.
inline std::string identifier(const std::string &text) {
    std::string out;
    for (char ch : text) {
        out.push_back(std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_');
    }
    return out;
}

}  // namespace dm12_fonts

#endif  // DUMP_METRICS12_TESTS_FONTS_EXPECTED_TABLES_H
