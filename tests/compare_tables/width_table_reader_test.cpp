#include "width_table_reader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct KeyCase {
    const char *text;
    const char *face;  // nullptr where the key is malformed
    unsigned code;
    const char *reason_part;
};

// Characters that look like the key's own punctuation must not confuse the
// split, and a key that is not of the program's form must be refused.
const KeyCase kKeyCases[] = {
    {"DejaVu Sans (TT) -'A'-0x41", "DejaVu Sans (TT) ", 0x41, ""},
    {"DejaVu Sans (TT) -'\"'-0x22", "DejaVu Sans (TT) ", 0x22, ""},
    {"DejaVu Sans (TT) -','-0x2c", "DejaVu Sans (TT) ", 0x2c, ""},
    {"DejaVu Sans (TT) -'''-0x27", "DejaVu Sans (TT) ", 0x27, ""},
    {"DejaVu Sans (TT) -'-'-0x2d", "DejaVu Sans (TT) ", 0x2d, ""},
    {"DejaVu Sans (TT) -' '-0x20", "DejaVu Sans (TT) ", 0x20, ""},
    {"Odd'-0x41 Face -'B'-0x42", "Odd'-0x41 Face ", 0x42, ""},
    {"Upper (TT) -'~'-0x7E", "Upper (TT) ", 0x7e, ""},
    {"DejaVu Sans (TT) -'A'", nullptr, 0, "no \"'-0x<code>\""},
    {"DejaVu Sans (TT) -'A'-0x", nullptr, 0, "is no byte in hex"},
    {"DejaVu Sans (TT) -'A'-0x4g", nullptr, 0, "is no byte in hex"},
    {"DejaVu Sans (TT) -'A'-0x141", nullptr, 0, "is no byte in hex"},
    {"DejaVu Sans (TT) -'A'-0x42", nullptr, 0, "not the one of its code"},
    {"DejaVu Sans (TT) A'-0x41", nullptr, 0, "no \"-'<character>\""},
    {"A'-0x41", nullptr, 0, "no \"-'<character>\""},
    {"-'A'-0x41", nullptr, 0, "no face label"},
};

TEST(ParseKey, SplitsFromTheEnd) {
    for (const KeyCase &c : kKeyCases) {
        SCOPED_TRACE(c.text);
        RowKey key;
        const std::string reason = parse_key(c.text, key);
        if (c.face) {
            EXPECT_EQ(reason, "");
            EXPECT_EQ(key.face, c.face);
            EXPECT_EQ(key.code, c.code);
        } else {
            EXPECT_NE(reason.find(c.reason_part), std::string::npos) << reason;
        }
    }
}

struct RowCase {
    const char *line;
    const char *key;  // nullptr where the row is malformed
    std::array<const char *, 4> fields;
    const char *reason_part;
};

const RowCase kRowCases[] = {
    {"\"F (TT) -'A'-0x41\",0.00,22.00,0.00,22.00",
     "F (TT) -'A'-0x41",
     {"0.00", "22.00", "0.00", "22.00"},
     ""},
    {"\"F (TT) -'\"'-0x22\",3.00,9.00,3.00,15.00",
     "F (TT) -'\"'-0x22",
     {"3.00", "9.00", "3.00", "15.00"},
     ""},
    {"\"F (TT) -','-0x2c\",2.00,6.00,2.00,10.00",
     "F (TT) -','-0x2c",
     {"2.00", "6.00", "2.00", "10.00"},
     ""},
    {"\"F (TT) -'j'-0x6a\",-3.00,7.00,-0.00,4.00",
     "F (TT) -'j'-0x6a",
     {"-3.00", "7.00", "-0.00", "4.00"},
     ""},
    {"F (TT) -'A'-0x41,0.00,22.00,0.00,22.00", nullptr, {}, "starts with the quoted key"},
    {"\"F (TT) -'A'-0x41,0.00,22.00,0.00,22.00", nullptr, {}, "no closing quote"},
    {"\"F (TT) -'A'-0x41\";0.00,22.00,0.00,22.00", nullptr, {}, "no ','"},
    {"\"F (TT) -'A'-0x41\",0.00,22.00,0.00", nullptr, {}, "found 3"},
    {"\"F (TT) -'A'-0x41\",0.00,22.00,0.00,22.00,1.00", nullptr, {}, "more than 4"},
    {"\"F (TT) -'A'-0x41\",0.00,,0.00,22.00", nullptr, {}, "abcfB '' is not a number"},
    {"\"F (TT) -'A'-0x41\",0.00,22.00,0.00,22.0x", nullptr, {}, "Advance '22.0x'"},
    {"\"F (TT) -'A'-0x41\", 0.00,22.00,0.00,22.00", nullptr, {}, "abcfA ' 0.00'"},
    {"\"F (TT) -'B'-0x41\",0.00,22.00,0.00,22.00", nullptr, {}, "not the one of its code"},
};

TEST(ParseRow, ReadsKeyAndNumbersAsWritten) {
    for (const RowCase &c : kRowCases) {
        SCOPED_TRACE(c.line);
        WidthRow row;
        const std::string reason = parse_row(c.line, row);
        if (c.key) {
            EXPECT_EQ(reason, "");
            EXPECT_EQ(row.key, c.key);
            EXPECT_EQ(row.face, "F (TT) ");
            for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(row.fields[i], c.fields[i]);
        } else {
            EXPECT_NE(reason.find(c.reason_part), std::string::npos) << reason;
        }
    }
}

struct TableCase {
    const char *name;
    const char *text;
    std::size_t rows;  // where the table reads
    const char *error_prefix;  // where it does not: "file:line:"
};

const TableCase kTableCases[] = {
    {"crlf", "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n\"F-'A'-0x41\",0.00,1.00,0.00,1.00\r\n",
     1, nullptr},
    {"lf and blank lines",
     "lfFaceName, abcfA, abcfB, abcfC, Advance\n\n\"F-'A'-0x41\",0.00,1.00,0.00,1.00\n\n"
     "\"F-'B'-0x42\",0.00,1.00,0.00,1.00",
     2, nullptr},
    {"header only", "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n", 0, nullptr},
    {"empty", "", 0, "t.csv: empty"},
    {"no header", "\"F-'A'-0x41\",0.00,1.00,0.00,1.00\r\n", 0, "t.csv:1: expected the header"},
    {"bad row counted past blank lines",
     "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n\r\n\"F-'A'-0x41\",0.00,1.00,0.00,1.00\r\n"
     "\"F-'B'-0x42\",0.00,1.00\r\n",
     0, "t.csv:4: expected 4 numbers"},
};

TEST(ReadTable, NamesFileAndLineOfBadInput) {
    for (const TableCase &c : kTableCases) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.text);
        if (!c.error_prefix) {
            const WidthTable table = read_table(in, "t.csv");
            EXPECT_EQ(table.file, "t.csv");
            EXPECT_EQ(table.rows.size(), c.rows);
            continue;
        }
        try {
            read_table(in, "t.csv");
            ADD_FAILURE() << "read a bad table";
        } catch (const BadTable &error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.error_prefix, 0), 0u) << error.what();
        }
    }
}

TEST(ReadTable, KeepsTheLineOfEachRow) {
    std::istringstream in(
        "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n\"F-'A'-0x41\",0.00,1.00,0.00,1.00\r\n\r\n"
        "\"G-'B'-0x42\",1.00,2.00,3.00,6.00\r\n");
    const WidthTable table = read_table(in, "t.csv");
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.rows[0].line, 2u);
    EXPECT_EQ(table.rows[1].line, 4u);
    EXPECT_EQ(table.rows[1].face, "G");
    EXPECT_EQ(table.rows[1].code, 0x42u);
}

}  // namespace
