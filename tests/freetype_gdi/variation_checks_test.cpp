// The variation tables' checks as tables of cases: a small whole table of
// each kind, laid out here by hand from OpenType's layouts, and the same
// with one field or its length damaged.

#include "variation_checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dm12_gdi {

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes &bytes, std::size_t at, std::uint32_t value) {
    if (bytes.size() < at + 2) bytes.resize(at + 2);
    bytes[at] = static_cast<unsigned char>(value >> 8);
    bytes[at + 1] = static_cast<unsigned char>(value);
}

void put32(Bytes &bytes, std::size_t at, std::uint32_t value) {
    put16(bytes, at, value >> 16);
    put16(bytes, at + 2, value & 0xFFFF);
}

// gvar of 2 glyphs over 1 axis: header (20), 3 halved 16-bit offsets 0, 2,
// 4 (so 0, 4, 8 bytes), one shared tuple at 26, the data array at 28 (8
// bytes): 36 bytes.
Bytes gvar_table() {
    Bytes t;
    put16(t, 0, 1);
    put16(t, 4, 1);  // axisCount
    put16(t, 6, 1);  // sharedTupleCount
    put32(t, 8, 26);  // sharedTuplesOffset
    put16(t, 12, 2);  // glyphCount
    put16(t, 14, 0);  // flags: 16-bit offsets
    put32(t, 16, 28);  // glyphVariationDataArrayOffset
    put16(t, 20, 0);
    put16(t, 22, 2);
    put16(t, 24, 4);
    put16(t, 26, 0x4000);  // the shared tuple's peak
    t.resize(36);
    return t;
}

// The same with 32-bit offsets 0, 4, 8: the shared tuple at 32, the data at
// 34: 42 bytes.
Bytes gvar_long_table() {
    Bytes t = gvar_table();
    t.resize(20);
    put16(t, 14, 1);
    put32(t, 8, 32);
    put32(t, 16, 34);
    put32(t, 20, 0);
    put32(t, 24, 4);
    put32(t, 28, 8);
    put16(t, 32, 0x4000);
    t.resize(42);
    return t;
}

struct GvarCase {
    const char *what;
    std::function<void(Bytes &)> damage;
    std::size_t glyphs;
    const char *expected;  // null: whole
};

TEST(VariationChecks, GvarHoldsItsOffsetsTuplesAndData) {
    const GvarCase cases[] = {
        {"whole", [](Bytes &) {}, 2, nullptr},
        {"whole, 32-bit offsets", [](Bytes &t) { t = gvar_long_table(); }, 2, nullptr},
        {"shorter than its header", [](Bytes &t) { t.resize(19); }, 2,
         "is too short for its header"},
        {"for 3 glyphs", [](Bytes &) {}, 3, "is for other glyphs than the font's"},
        {"over 2 axes", [](Bytes &t) { put16(t, 4, 2); }, 2, "is for other axes than the font's"},
        {"cut in its offsets", [](Bytes &t) { t.resize(24); }, 2,
         "has its glyph offsets past its end"},
        {"32-bit offsets cut", [](Bytes &t) { t = gvar_long_table(), t.resize(30); }, 2,
         "has its glyph offsets past its end"},
        {"shared tuples past its end", [](Bytes &t) { put32(t, 8, 35); }, 2,
         "has its shared tuples past its end"},
        {"last glyph's data past its end", [](Bytes &t) { put16(t, 24, 5); }, 2,
         "has glyph variation data past its end"},
        {"a middle offset past its end", [](Bytes &t) { put16(t, 22, 9); }, 2,
         "has glyph variation data past its end"},
        {"cut to 40%", [](Bytes &t) { t.resize(36 * 4 / 10 + 16); }, 2,
         "has glyph variation data past its end"},
        {"32-bit data past its end", [](Bytes &t) { t = gvar_long_table(), put32(t, 28, 9); }, 2,
         "has glyph variation data past its end"},
        {"data array past its end", [](Bytes &t) { put32(t, 16, 37); }, 2,
         "has glyph variation data past its end"},
    };
    for (const GvarCase &c : cases) {
        SCOPED_TRACE(c.what);
        Bytes table = gvar_table();
        c.damage(table);
        // As a reader would: the header, then as much as it says, of what the table has.
        const Bytes header(table.data(), table.data() + std::min<std::size_t>(table.size(), 20));
        const std::size_t wanted = header.size() == 20 ? gvar_start_size(header) : 20;
        const Bytes start(table.data(), table.data() + std::min(table.size(), wanted));
        const char *found = gvar_damage(start, table.size(), c.glyphs, 1);
        EXPECT_EQ(std::string(found ? found : "whole"),
                  std::string(c.expected ? c.expected : "whole"));
    }
}

// cvar over 1 axis: header (8), one tuple header with its peak (6), its 3
// bytes of data at 14: 17 bytes.
Bytes cvar_table() {
    Bytes t;
    put16(t, 0, 1);
    put16(t, 4, 1);  // tupleVariationCount
    put16(t, 6, 14);  // offsetToData
    put16(t, 8, 3);  // variationDataSize
    put16(t, 10, 0x8000);  // an embedded peak
    put16(t, 12, 0x4000);
    t.resize(17);
    return t;
}

// An item variation store at `at`: one region over 1 axis, one delta set of
// `rows` rows of one byte: 30 + rows bytes.
void put_store(Bytes &t, std::size_t at, std::size_t rows) {
    put16(t, at, 1);  // format
    put32(t, at + 2, 12);  // variationRegionListOffset
    put16(t, at + 6, 1);  // itemVariationDataCount
    put32(t, at + 8, 22);  // its offset
    put16(t, at + 12, 1);  // axisCount
    put16(t, at + 14, 1);  // regionCount
    put16(t, at + 16, 0);  // start, peak, end
    put16(t, at + 18, 0x4000);
    put16(t, at + 20, 0x4000);
    put16(t, at + 22, static_cast<std::uint32_t>(rows));  // itemCount
    put16(t, at + 24, 0);  // wordDeltaCount
    put16(t, at + 26, 1);  // regionIndexCount
    put16(t, at + 28, 0);  // region 0
    t.resize(at + 30 + rows);
}

// HVAR: header (20), the store at 20 with 2 rows: 52 bytes; with an
// advance mapping at 52 (format 0, one-byte entries, one inner bit) of
// entries 0 and 1: 58 bytes.
Bytes hvar_table(bool mapping = false) {
    Bytes t;
    put16(t, 0, 1);
    put32(t, 4, 20);
    put_store(t, 20, 2);
    if (mapping) {
        put32(t, 8, 52);
        put16(t, 52, 0x0000);  // format 0, entry format 0
        put16(t, 54, 2);  // mapCount
        t.push_back(0);
        t.push_back(1);
    }
    return t;
}

// MVAR: header (12), one value record (hcla, row 0 of 1), the store at 20
// with 2 rows: 52 bytes.
Bytes mvar_table() {
    Bytes t;
    put16(t, 0, 1);
    put16(t, 6, 8);  // valueRecordSize
    put16(t, 8, 1);  // valueRecordCount
    put16(t, 10, 20);  // itemVariationStoreOffset
    put32(t, 12, 0x68636C61);
    put16(t, 16, 0);
    put16(t, 18, 1);
    put_store(t, 20, 2);
    return t;
}

struct WholeCase {
    const char *what;
    const char *(*check)(const Bytes &, std::size_t);
    std::function<Bytes()> table;
    const char *expected;  // null: whole
};

TEST(VariationChecks, CvarHvarAndMvarHoldWhatTheyReferTo) {
    const WholeCase cases[] = {
        {"cvar whole", cvar_damage, [] { return cvar_table(); }, nullptr},
        {"cvar shorter than its header", cvar_damage,
         [] {
             Bytes t = cvar_table();
             t.resize(7);
             return t;
         },
         "is too short for its header"},
        {"cvar version 2", cvar_damage,
         [] {
             Bytes t = cvar_table();
             put16(t, 0, 2);
             return t;
         },
         "is of a version FreeType does not read"},
        {"cvar data cut", cvar_damage,
         [] {
             Bytes t = cvar_table();
             t.resize(16);
             return t;
         },
         "has tuple data past its end"},
        {"cvar data larger than the table", cvar_damage,
         [] {
             Bytes t = cvar_table();
             put16(t, 8, 4);
             return t;
         },
         "has tuple data past its end"},
        {"cvar a second header missing", cvar_damage,
         [] {
             Bytes t = cvar_table();
             put16(t, 4, 2);
             return t;
         },
         "has tuple headers past its end"},
        {"cvar intermediate past its end", cvar_damage,
         [] {
             Bytes t = cvar_table();
             put16(t, 10, 0xC000);
             return t;
         },
         "has tuple headers past its end"},
        {"cvar a shared tuple", cvar_damage,
         [] {
             Bytes t = cvar_table();
             put16(t, 10, 0x0000);
             return t;
         },
         "has a tuple without a peak of its own"},
        {"HVAR whole", hvar_damage, [] { return hvar_table(); }, nullptr},
        {"HVAR with its mapping whole", hvar_damage, [] { return hvar_table(true); }, nullptr},
        {"HVAR shorter than its header", hvar_damage,
         [] {
             Bytes t = hvar_table();
             t.resize(19);
             return t;
         },
         "is too short for its header"},
        {"HVAR its rows cut", hvar_damage,
         [] {
             Bytes t = hvar_table();
             t.resize(51);
             return t;
         },
         "has delta sets past its end"},
        {"HVAR its store past its end", hvar_damage,
         [] {
             Bytes t = hvar_table();
             put32(t, 4, 50);
             return t;
         },
         "has its item variation store past its end"},
        {"HVAR store format 2", hvar_damage,
         [] {
             Bytes t = hvar_table();
             put16(t, 20, 2);
             return t;
         },
         "has an item variation store of a format FreeType does not read"},
        {"HVAR regions over 2 axes", hvar_damage,
         [] {
             Bytes t = hvar_table();
             put16(t, 32, 2);
             return t;
         },
         "has regions over other axes than the font's"},
        {"HVAR 9 regions", hvar_damage,
         [] {
             Bytes t = hvar_table();
             put16(t, 34, 9);
             return t;
         },
         "has its regions past its end"},
        {"HVAR a delta set over region 1", hvar_damage,
         [] {
             Bytes t = hvar_table();
             put16(t, 48, 1);
             return t;
         },
         "has delta sets over regions it lacks"},
        {"HVAR 2 wide columns of 1", hvar_damage,
         [] {
             Bytes t = hvar_table();
             put16(t, 44, 2);
             return t;
         },
         "has delta sets of more wide columns than columns"},
        {"HVAR mapping to row 2", hvar_damage,
         [] {
             Bytes t = hvar_table(true);
             t[57] = 2;
             return t;
         },
         "has a glyph mapping to deltas it lacks"},
        {"HVAR mapping of 3 entries", hvar_damage,
         [] {
             Bytes t = hvar_table(true);
             put16(t, 54, 3);
             return t;
         },
         "has a glyph mapping past its end"},
        {"HVAR mapping format 2", hvar_damage,
         [] {
             Bytes t = hvar_table(true);
             put16(t, 52, 0x0200);
             return t;
         },
         "has a glyph mapping of a format FreeType does not read"},
        {"HVAR lsb mapping past its end", hvar_damage,
         [] {
             Bytes t = hvar_table();
             put32(t, 12, 60);
             return t;
         },
         "has a glyph mapping past its end"},
        {"MVAR whole", mvar_damage, [] { return mvar_table(); }, nullptr},
        {"MVAR shorter than its header", mvar_damage,
         [] {
             Bytes t = mvar_table();
             t.resize(11);
             return t;
         },
         "is too short for its header"},
        {"MVAR records of 6 bytes", mvar_damage,
         [] {
             Bytes t = mvar_table();
             put16(t, 6, 6);
             return t;
         },
         "has value records too short for a value"},
        {"MVAR 6 records", mvar_damage,
         [] {
             Bytes t = mvar_table();
             put16(t, 8, 6);
             return t;
         },
         "has value records past its end"},
        {"MVAR no store", mvar_damage,
         [] {
             Bytes t = mvar_table();
             put16(t, 10, 0);
             return t;
         },
         "has values but no item variation store"},
        {"MVAR a value of row 2", mvar_damage,
         [] {
             Bytes t = mvar_table();
             put16(t, 18, 2);
             return t;
         },
         "has values with deltas it lacks"},
        {"MVAR its rows cut", mvar_damage,
         [] {
             Bytes t = mvar_table();
             t.resize(51);
             return t;
         },
         "has delta sets past its end"},
    };
    for (const WholeCase &c : cases) {
        SCOPED_TRACE(c.what);
        const char *found = c.check(c.table(), 1);
        EXPECT_EQ(std::string(found ? found : "whole"),
                  std::string(c.expected ? c.expected : "whole"));
    }
}

}  // namespace

}  // namespace dm12_gdi
