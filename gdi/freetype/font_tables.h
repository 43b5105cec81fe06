// The layouts of the tables our GDI reads from font files without FreeType,
// each field by name at its place, as OpenType, Microsoft's Windows font
// formats (FNT and the NE executables that hold them) and X11's PCF format
// lay them out; and one bounds-checked reader of such fields.
#ifndef DUMP_METRICS12_FONT_TABLES_H
#define DUMP_METRICS12_FONT_TABLES_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dm12_gdi {

// A table's or an axis's four-letter tag as a number ("fvar", "wght").
constexpr std::uint32_t tag(const char (&name)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[3]));
}

// A field: where it lies from the start of its record, and its size in bytes.
struct Field {
    std::size_t offset, size;
};

// Fields read from bytes of a font file. A field that does not lie wholly
// within the bytes reads as 0 and makes `ok` false for good, so that a run of
// reads is checked once, at its end.
struct FieldReader {
    const unsigned char *bytes = nullptr;
    std::size_t size = 0;
    bool little_endian = false;  // FNT, NE and some PCF tables
    mutable bool ok = true;

    FieldReader(const unsigned char *data, std::size_t length, bool little = false)
        : bytes(data), size(length), little_endian(little) {}
    explicit FieldReader(const std::vector<unsigned char> &data, bool little = false)
        : FieldReader(data.data(), data.size(), little) {}

    // Whether `count` bytes lie at `offset`.
    bool holds(std::size_t offset, std::size_t count) const {
        return offset <= size && count <= size - offset;
    }
    // `field` of the record at `base`, unsigned.
    std::uint32_t get(Field field, std::size_t base = 0) const {
        if (base > size || !holds(base + field.offset, field.size) || field.size > 4) {
            ok = false;
            return 0;
        }
        const unsigned char *p = bytes + base + field.offset;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < field.size; ++i)
            value = little_endian ? value | static_cast<std::uint32_t>(p[i]) << (8 * i)
                                  : value << 8 | p[i];
        return value;
    }
    // `field` of the record at `base`, as a signed number of its size.
    std::int32_t get_signed(Field field, std::size_t base = 0) const {
        const std::uint32_t value = get(field, base);
        const unsigned shift = static_cast<unsigned>(32 - 8 * field.size);
        return static_cast<std::int32_t>(value << shift) >> shift;
    }
    // A 16.16 fixed-point field (Fixed) of the record at `base`.
    double fixed(Field field, std::size_t base = 0) const {
        return get_signed(field, base) / 65536.0;
    }
};

// An OpenType font's table directory, and a collection's header.
namespace sfnt {
constexpr Field kVersion{0, 4}, kNumTables{4, 2};
constexpr std::size_t kHeaderSize = 12, kRecordSize = 16;
constexpr Field kRecordTag{0, 4}, kRecordOffset{8, 4}, kRecordLength{12, 4};
constexpr Field kCollectionFonts{8, 4};
constexpr std::size_t kCollectionOffsets = 12, kCollectionOffsetSize = 4;
}  // namespace sfnt

namespace head {
constexpr Field kUnitsPerEm{18, 2}, kMacStyle{44, 2};
constexpr std::size_t kSize = 54;
}  // namespace head

namespace hhea {
constexpr Field kAscender{4, 2}, kDescender{6, 2}, kNumberOfHMetrics{34, 2};
constexpr std::size_t kSize = 36;
}  // namespace hhea

namespace maxp {
constexpr Field kNumGlyphs{4, 2};
constexpr std::size_t kSize = 6;
}  // namespace maxp

namespace cmap {
constexpr Field kNumTables{2, 2};
constexpr std::size_t kRecords = 4, kRecordSize = 8;
constexpr Field kPlatformId{0, 2}, kEncodingId{2, 2};
}  // namespace cmap

// OS/2: version 0 ends at usWinDescent, version 1 adds the code pages.
namespace os2 {
constexpr Field kVersion{0, 2}, kWeightClass{4, 2}, kFsSelection{62, 2}, kWinAscent{74, 2},
    kWinDescent{76, 2}, kCodePageRange1{78, 4};
constexpr std::size_t kSizeVersion0 = 78, kSizeVersion1 = 86;
}  // namespace os2

// The device metrics of TrueType fonts: hinted heights per size (VDMX) and
// hinted advances per size (hdmx).
namespace vdmx {
constexpr Field kVersion{0, 2}, kNumRatios{4, 2};
constexpr std::size_t kRatios = 6, kRatioSize = 4, kOffsetSize = 2;
constexpr Field kCharset{0, 1}, kXRatio{1, 1}, kYStartRatio{2, 1}, kYEndRatio{3, 1};
constexpr Field kGroupOffset{0, 2};
constexpr Field kRecs{0, 2}, kStartSize{2, 1}, kEndSize{3, 1};
constexpr std::size_t kEntries = 4, kEntrySize = 6;
constexpr Field kYPelHeight{0, 2}, kYMax{2, 2}, kYMin{4, 2};
}  // namespace vdmx

namespace hdmx {
constexpr Field kVersion{0, 2}, kNumRecords{2, 2}, kSizeDeviceRecord{4, 4};
constexpr std::size_t kRecords = 8;
constexpr Field kPixelSize{0, 1};
constexpr std::size_t kWidths = 2;
}  // namespace hdmx

namespace name {
constexpr Field kCount{2, 2}, kStorageOffset{4, 2};
constexpr std::size_t kRecords = 6, kRecordSize = 12;
constexpr Field kPlatformId{0, 2}, kEncodingId{2, 2}, kLanguageId{4, 2}, kNameId{6, 2},
    kLength{8, 2}, kOffset{10, 2};
}  // namespace name

namespace fvar {
constexpr Field kMajorVersion{0, 2}, kAxesArrayOffset{4, 2}, kAxisCount{8, 2}, kAxisSize{10, 2},
    kInstanceCount{12, 2}, kInstanceSize{14, 2};
constexpr std::size_t kHeaderSize = 16;
constexpr Field kAxisTag{0, 4}, kAxisMinimum{4, 4}, kAxisDefault{8, 4}, kAxisMaximum{12, 4};
constexpr std::size_t kAxisRecordSize = 20;
constexpr Field kSubfamilyNameId{0, 2};
constexpr std::size_t kCoordinates = 4, kCoordinateSize = 4;
}  // namespace fvar

namespace stat {
constexpr Field kMajorVersion{0, 2}, kDesignAxisSize{4, 2}, kDesignAxisCount{6, 2},
    kDesignAxesOffset{8, 4}, kAxisValueCount{12, 2}, kAxisValueOffsetsOffset{14, 4};
constexpr std::size_t kHeaderSize = 18;
constexpr Field kAxisTag{0, 4}, kAxisOrdering{6, 2};
constexpr std::size_t kAxisRecordSize = 8;
constexpr Field kValueOffset{0, 2};
// Axis value tables: formats 1 to 3 name one axis's value (format 2 a range
// around it, format 3 links it to another), format 4 several axes' values.
constexpr Field kFormat{0, 2}, kAxisIndex{2, 2}, kAxisCount{2, 2}, kFlags{4, 2}, kValueNameId{6, 2},
    kValue{8, 4}, kRangeMinimum{12, 4}, kRangeMaximum{16, 4};
constexpr std::size_t kFormatSizes[] = {0, 12, 20, 16};
constexpr std::size_t kCombinationRecords = 8, kCombinationRecordSize = 6;
constexpr Field kRecordAxisIndex{0, 2}, kRecordValue{2, 4};
}  // namespace stat

// gvar: a header, then one offset per glyph and one past the last (16-bit
// halves of the offset, or 32-bit with flag bit 0), into the glyph variation
// data array; shared tuples of axis-count F2Dot14 coordinates.
namespace gvar {
constexpr Field kAxisCount{4, 2}, kSharedTupleCount{6, 2}, kSharedTuplesOffset{8, 4},
    kGlyphCount{12, 2}, kFlags{14, 2}, kDataArrayOffset{16, 4};
constexpr std::size_t kSize = 14, kHeaderSize = 20;
constexpr std::uint32_t kLongOffsets = 1;
constexpr std::size_t kCoordinateSize = 2;
}  // namespace gvar

// Tuple variation headers, as cvar (and each glyph's gvar data) hold them:
// the size of the tuple's data, then flags and a shared tuple's index; an
// embedded peak, and an intermediate start and end, follow where flagged.
namespace tuple {
constexpr Field kDataSize{0, 2}, kTupleIndex{2, 2};
constexpr std::size_t kHeaderSize = 4, kCoordinateSize = 2;
constexpr std::uint32_t kEmbeddedPeak = 0x8000, kIntermediate = 0x4000, kCountMask = 0x0FFF;
}  // namespace tuple

namespace cvar {
constexpr Field kMajorVersion{0, 2}, kTupleCount{4, 2}, kDataOffset{6, 2};
constexpr std::size_t kHeaderSize = 8;
}  // namespace cvar

// MVAR: value records naming a metric by tag and its deltas' row in an item
// variation store (laid out as HVAR's).
namespace mvar {
constexpr Field kMajorVersion{0, 2}, kRecordSize{6, 2}, kRecordCount{8, 2},
    kItemVariationStore{10, 2};
constexpr std::size_t kHeaderSize = 12, kRecords = 12, kValueRecordSize = 8;
constexpr Field kValueTag{0, 4}, kOuterIndex{4, 2}, kInnerIndex{6, 2};
}  // namespace mvar

// HVAR and the item variation store its deltas are in.
namespace hvar {
constexpr Field kMajorVersion{0, 2}, kItemVariationStore{4, 4}, kAdvanceMapping{8, 4},
    kLsbMapping{12, 4}, kRsbMapping{16, 4};
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kStoreHeaderSize = 8, kRegionListHeaderSize = 4, kDataHeaderSize = 6;
constexpr Field kStoreFormat{0, 2}, kRegionListOffset{2, 4}, kDataCount{6, 2};
constexpr std::size_t kDataOffsets = 8, kDataOffsetSize = 4;
constexpr Field kRegionAxisCount{0, 2}, kRegionCount{2, 2};
constexpr std::size_t kRegions = 4, kRegionAxisSize = 6;  // start, peak, end: F2Dot14
constexpr Field kRegionStart{0, 2}, kRegionPeak{2, 2}, kRegionEnd{4, 2};
constexpr Field kItemCount{0, 2}, kWordDeltaCount{2, 2}, kRegionIndexCount{4, 2};
constexpr std::size_t kRegionIndexes = 6, kRegionIndexSize = 2;
constexpr std::uint32_t kLongWords = 0x8000, kWordCountMask = 0x7FFF;
constexpr Field kMapFormat{0, 1}, kMapEntryFormat{1, 1}, kMapCount0{2, 2}, kMapCount1{2, 4};
constexpr std::size_t kMapEntries0 = 4, kMapEntries1 = 6;
}  // namespace hvar

// A 16-bit Windows executable (MZ, then NE) and its resource table.
namespace ne {
constexpr Field kNewHeaderOffset{0x3C, 4};  // in the MZ header
constexpr std::size_t kMzSize = 64;
constexpr Field kResourceTableOffset{0x24, 2};  // in the NE header
constexpr std::size_t kNeSize = 64;
constexpr Field kAlignmentShift{0, 2};
constexpr Field kTypeId{0, 2}, kTypeCount{2, 2};
constexpr std::size_t kTypeSize = 8, kResourceSize = 12;
constexpr Field kResourceOffset{0, 2};
}  // namespace ne

// A Windows FNT font header (versions 2 and 3), little-endian.
namespace fnt {
constexpr Field kVersion{0, 2}, kType{66, 2}, kExternalLeading{78, 2}, kItalic{80, 1},
    kWeight{83, 2}, kCharset{85, 1}, kPixelHeight{88, 2};
constexpr std::size_t kSize = 118;
}  // namespace fnt

// X11's PCF: its table of contents, and the fields of the two tables read.
namespace pcf {
constexpr Field kTableCount{4, 4};
constexpr std::size_t kHeaderSize = 8, kTocEntrySize = 16;
constexpr Field kTocType{0, 4}, kTocFormat{4, 4}, kTocSize{8, 4}, kTocOffset{12, 4};
constexpr Field kWord{0, 4};
constexpr std::size_t kPropertySize = 9;
constexpr Field kPropertyName{0, 4}, kPropertyIsString{4, 1}, kPropertyValue{5, 4};
constexpr std::size_t kAcceleratorFieldsSize = 16;  // eight flag bytes, then these
constexpr Field kFontAscent{8, 4}, kFontDescent{12, 4};
}  // namespace pcf

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_TABLES_H
