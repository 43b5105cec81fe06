#include "font_peek.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "font_names.h"
#include "font_tables.h"
#include "variation_checks.h"

namespace dm12_gdi {

namespace {

// Past these a file is not worth peeking at: FreeType reads it instead.
constexpr std::size_t kLargestNameTable = 1 << 20;
constexpr std::uint32_t kMostPcfTables = 64;
constexpr std::int32_t kMostPcfProperties = 1024;
constexpr std::int32_t kLargestPcfStrings = 1 << 16;
constexpr long kFurthestPcfTable = 1 << 20;
constexpr int kMostFnts = 64;  // resource types in a .fon file
constexpr std::uint32_t kFontResource = 0x8008;
constexpr std::size_t kLargestVariationTable = 1 << 20;
constexpr unsigned kNameTypographicFamily = 16;
constexpr unsigned kNameFamily = 1;

// The offset of face `index`'s table directory: a collection lists one per
// face, a single font has its own at 0.
bool face_directory(const FontFile &file, long index, long &offset,
                    std::uint32_t *version = nullptr) {
    unsigned char header[sfnt::kHeaderSize];
    if (!file.read_at(0, header, sizeof header)) return false;
    const FieldReader fields(header, sizeof header);
    if (std::memcmp(header, "ttcf", 4) != 0) {
        offset = 0;
        if (version) *version = fields.get(sfnt::kVersion);
        return index == 0;
    }
    const std::uint32_t faces = fields.get(sfnt::kCollectionFonts);
    if (index < 0 || static_cast<std::uint32_t>(index) >= faces) return false;
    unsigned char entry[sfnt::kCollectionOffsetSize];
    if (!file.read_at(sfnt::kCollectionOffsets +
                          sfnt::kCollectionOffsetSize * static_cast<std::uint64_t>(index),
                      entry, sizeof entry))
        return false;
    offset = static_cast<long>(FieldReader(entry, sizeof entry).get({0, 4}));
    unsigned char tag[4];
    if (version && !file.read_at(static_cast<std::uint64_t>(offset), tag, sizeof tag)) return false;
    if (version) *version = FieldReader(tag, sizeof tag).get(sfnt::kVersion);
    return true;
}

// Where each table of a face lies: its tag, offset and length.
struct TableRecord {
    std::uint32_t tag, offset, length;
};

bool read_table_directory(const FontFile &file, long directory, std::vector<TableRecord> &tables) {
    unsigned char header[sfnt::kHeaderSize];
    if (!file.read_at(static_cast<std::uint64_t>(directory), header, sizeof header)) return false;
    const std::size_t count = FieldReader(header, sizeof header).get(sfnt::kNumTables);
    std::vector<unsigned char> records(sfnt::kRecordSize * count);
    if (!file.read_at(static_cast<std::uint64_t>(directory) + sfnt::kHeaderSize, records.data(),
                      records.size()))
        return false;
    const FieldReader fields(records);
    for (std::size_t at = 0; at < records.size(); at += sfnt::kRecordSize)
        tables.push_back({fields.get(sfnt::kRecordTag, at), fields.get(sfnt::kRecordOffset, at),
                          fields.get(sfnt::kRecordLength, at)});
    return true;
}

const TableRecord *find_table(const std::vector<TableRecord> &tables, std::uint32_t wanted) {
    for (const TableRecord &table : tables)
        if (table.tag == wanted) return &table;
    return nullptr;
}

// The first `size` bytes of a table, where it holds that many.
bool read_table_start(const FontFile &file, const TableRecord *table, unsigned char *buffer,
                      std::size_t size) {
    return table && table->length >= size && file.read_at(table->offset, buffer, size);
}

bool read_name_table(const FontFile &file, long directory, std::vector<unsigned char> &table) {
    std::vector<TableRecord> tables;
    if (!read_table_directory(file, directory, tables)) return false;
    const TableRecord *name = find_table(tables, tag("name"));
    if (!name || name->length < name::kRecords || name->length > kLargestNameTable) return false;
    table.resize(name->length);
    return file.read_at(name->offset, table.data(), name->length);
}

// A PCF file read from its start, gzipped or not.
struct PcfReader {
    const FontFile &file;
    bool gzipped = false;
    bool inflating = false;
    z_stream stream{};
    // Compressed bytes are fed a kilobyte at a time: the tables wanted lie
    // in the first kilobytes, and nothing past them is inflated.
    unsigned char input[1024];
    unsigned long input_offset = 0;
    long position = 0;  // in the PCF data, inflated

    explicit PcfReader(const FontFile &font_file) : file(font_file) {
        unsigned char magic[2];
        gzipped = file.read_at(0, magic, sizeof magic) && magic[0] == 0x1F && magic[1] == 0x8B;
        // 16 + 15: a gzip stream, the largest window.
        inflating = gzipped && inflateInit2(&stream, 16 + 15) == Z_OK;
    }
    ~PcfReader() {
        if (inflating) inflateEnd(&stream);
    }
    PcfReader(const PcfReader &) = delete;
    PcfReader &operator=(const PcfReader &) = delete;

    bool read(void *buffer, unsigned size) {
        if (!gzipped) {
            if (!file.read_at(static_cast<std::uint64_t>(position), buffer, size)) return false;
            position += size;
            return true;
        }
        if (!inflating) return false;
        stream.next_out = static_cast<Bytef *>(buffer);
        stream.avail_out = size;
        while (stream.avail_out > 0) {
            if (stream.avail_in == 0) {
                const unsigned long got = file.windows.read(input_offset, input, sizeof input);
                if (got == 0) return false;
                input_offset += got;
                stream.next_in = input;
                stream.avail_in = static_cast<uInt>(got);
            }
            const int status = inflate(&stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END && stream.avail_out > 0) return false;
            if (status != Z_OK && status != Z_STREAM_END) return false;
        }
        position += size;
        return true;
    }
    // Forward only (a gzipped file would have to be inflated again from its
    // start to go back), and not far: the tables wanted lie at the start.
    bool skip_to(long offset) {
        if (offset < position || offset > kFurthestPcfTable) return false;
        unsigned char gap[4096];
        while (position < offset) {
            const long step = std::min<long>(offset - position, sizeof gap);
            if (!read(gap, static_cast<unsigned>(step))) return false;
        }
        return true;
    }
};

struct PcfTable {
    std::uint32_t type, format, size, offset;
};

constexpr std::uint32_t kPcfProperties = 1 << 0;
constexpr std::uint32_t kPcfAccelerators = 1 << 1;
constexpr std::uint32_t kPcfFormatMask = 0xFFFFFF00;
constexpr std::uint32_t kPcfDefaultFormat = 0;
constexpr std::uint32_t kPcfAcceleratorsWithInkBounds = 0x100;
constexpr std::uint32_t kPcfBigEndian = 1 << 2;

// A PCF file's own words are little-endian; each table's format says the
// byte order of the rest of it.
std::int32_t pcf_word(const unsigned char *bytes, std::size_t size, Field field, bool big) {
    return FieldReader(bytes, size, !big).get_signed(field);
}

// Each table starts with its own format word, which says its byte order.
bool read_table_format(PcfReader &reader, const PcfTable &table, std::uint32_t &format) {
    unsigned char word[4];
    if (!reader.skip_to(table.offset) || !reader.read(word, 4)) return false;
    format = static_cast<std::uint32_t>(pcf_word(word, sizeof word, pcf::kWord, false));
    return format == table.format;
}

bool read_properties(PcfReader &reader, const PcfTable &table, PcfStyle &style) {
    std::uint32_t format = 0;
    if (!read_table_format(reader, table, format) || (format & kPcfFormatMask) != kPcfDefaultFormat)
        return false;
    const bool big = format & kPcfBigEndian;
    unsigned char word[4];
    if (!reader.read(word, 4)) return false;
    const std::int32_t count = pcf_word(word, sizeof word, pcf::kWord, big);
    if (count < 0 || count > kMostPcfProperties) return false;
    std::vector<unsigned char> properties(pcf::kPropertySize * static_cast<std::size_t>(count));
    if (!properties.empty() &&
        !reader.read(properties.data(), static_cast<unsigned>(properties.size())))
        return false;
    unsigned char padding[4];
    if ((count & 3) && !reader.read(padding, static_cast<unsigned>(4 - (count & 3)))) return false;
    if (!reader.read(word, 4)) return false;
    const std::int32_t strings_size = pcf_word(word, sizeof word, pcf::kWord, big);
    if (strings_size < 0 || strings_size > kLargestPcfStrings) return false;
    std::vector<char> strings(static_cast<std::size_t>(strings_size) + 1, '\0');
    if (strings_size > 0 && !reader.read(strings.data(), static_cast<unsigned>(strings_size)))
        return false;
    const auto string_at = [&](std::int32_t offset) -> const char * {
        return offset >= 0 && offset < strings_size ? strings.data() + offset : nullptr;
    };
    bool named = false;
    const FieldReader fields(properties, !big);
    for (std::size_t at = 0; at < properties.size(); at += pcf::kPropertySize) {
        const char *name = string_at(fields.get_signed(pcf::kPropertyName, at));
        const char *value = fields.get(pcf::kPropertyIsString, at)
                                ? string_at(fields.get_signed(pcf::kPropertyValue, at))
                                : nullptr;
        if (!name || !value) continue;
        if (std::strcmp(name, "FAMILY_NAME") == 0) {
            style.family = value;
            named = true;
        } else if (std::strcmp(name, "SLANT") == 0) {
            style.italic = std::strchr("IiOo", value[0]) && value[0];
        } else if (std::strcmp(name, "WEIGHT_NAME") == 0) {
            style.bold = value[0] == 'B' || value[0] == 'b';
        }
    }
    return named;
}

bool read_accelerators(PcfReader &reader, const PcfTable &table, PcfStyle &style) {
    std::uint32_t format = 0;
    if (!read_table_format(reader, table, format)) return false;
    if ((format & kPcfFormatMask) != kPcfDefaultFormat &&
        (format & kPcfFormatMask) != kPcfAcceleratorsWithInkBounds)
        return false;
    unsigned char bytes[pcf::kAcceleratorFieldsSize];
    if (!reader.read(bytes, sizeof bytes)) return false;
    const FieldReader fields(bytes, sizeof bytes, !(format & kPcfBigEndian));
    style.height = static_cast<long>(fields.get_signed(pcf::kFontAscent)) +
                   fields.get_signed(pcf::kFontDescent);
    return true;
}

// The records of face `index`'s name table, read into `table`, those that
// lie within it: a record past the table is no name.
bool read_name_records(const FontFile &file, long index, std::vector<unsigned char> &table,
                       std::vector<NameRecord> &records) {
    long directory = 0;
    if (!face_directory(file, index, directory) || !read_name_table(file, directory, table))
        return false;
    const FieldReader fields(table);
    const std::size_t count = fields.get(name::kCount);
    const std::size_t storage = fields.get(name::kStorageOffset);
    if (!fields.holds(name::kRecords, name::kRecordSize * count) || storage > table.size())
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = name::kRecords + name::kRecordSize * i;
        const std::size_t length = fields.get(name::kLength, record);
        const std::size_t offset = fields.get(name::kOffset, record);
        if (!fields.holds(storage + offset, length)) continue;
        records.push_back({fields.get(name::kPlatformId, record),
                           fields.get(name::kEncodingId, record),
                           fields.get(name::kLanguageId, record), fields.get(name::kNameId, record),
                           table.data() + storage + offset, static_cast<unsigned>(length)});
    }
    return true;
}

// Whether every record of the name table in `table` lay within it.
bool records_whole(const std::vector<unsigned char> &table,
                   const std::vector<NameRecord> &records) {
    return records.size() == FieldReader(table).get(name::kCount);
}

}  // namespace

bool peek_sfnt_family_name(const FontFile &file, long index, std::string &name) {
    std::vector<unsigned char> table;
    std::vector<NameRecord> records;
    // A record past the table: FreeType would not give it, so neither path
    // could be trusted to agree.
    if (!read_name_records(file, index, table, records) || !records_whole(table, records))
        return false;
    name = legacy_family_name(records);
    return !name.empty();
}

bool peek_pcf_style(const FontFile &file, PcfStyle &style) {
    PcfReader reader(file);
    unsigned char header[pcf::kHeaderSize];
    if (!reader.read(header, sizeof header) || std::memcmp(header, "\1fcp", 4) != 0) return false;
    const auto count =
        static_cast<std::uint32_t>(pcf_word(header, sizeof header, pcf::kTableCount, false));
    if (count > kMostPcfTables) return false;
    std::vector<PcfTable> tables;
    for (std::uint32_t i = 0; i < count; ++i) {
        unsigned char entry[pcf::kTocEntrySize];
        if (!reader.read(entry, sizeof entry)) return false;
        const FieldReader fields(entry, sizeof entry, true);
        const PcfTable table{fields.get(pcf::kTocType), fields.get(pcf::kTocFormat),
                             fields.get(pcf::kTocSize), fields.get(pcf::kTocOffset)};
        if (table.type == kPcfProperties || table.type == kPcfAccelerators) tables.push_back(table);
    }
    // The accelerators at the start, not the BDF accelerators FreeType
    // prefers, which bdftopcf writes at the end of the file with the same
    // ascent and descent (so it is for every one of Debian's X11 fonts).
    std::sort(tables.begin(), tables.end(),
              [](const PcfTable &a, const PcfTable &b) { return a.offset < b.offset; });
    bool named = false, measured = false;
    for (const PcfTable &table : tables) {
        if (table.type == kPcfProperties && !named)
            named = read_properties(reader, table, style);
        else if (table.type == kPcfAccelerators && !measured)
            measured = read_accelerators(reader, table, style);
    }
    return named && measured && style.height > 0;
}

bool peek_sfnt_style(const FontFile &file, long index, SfntStyle &style) {
    long directory = 0;
    std::uint32_t version = 0;
    std::vector<TableRecord> tables;
    if (!face_directory(file, index, directory, &version) ||
        !read_table_directory(file, directory, tables))
        return false;
    // Bitmap strikes, and a symbol cmap: FreeType's own reading of those
    // decides what the face is.
    for (const std::uint32_t bitmaps : {tag("EBLC"), tag("CBLC"), tag("bloc"), tag("sbix")})
        if (find_table(tables, bitmaps)) return false;
    const TableRecord *glyf = find_table(tables, tag("glyf"));
    const bool cff = find_table(tables, tag("CFF ")) != nullptr;
    if (version == tag("OTTO") && cff) {
        style.postscript_outlines = true;
    } else if ((version == 0x00010000 || version == tag("true")) && glyf && glyf->length > 0 &&
               find_table(tables, tag("loca"))) {
        style.postscript_outlines = false;
    } else {
        return false;
    }

    unsigned char head_bytes[head::kSize];
    unsigned char hhea_bytes[hhea::kDescender.offset + hhea::kDescender.size];
    if (!read_table_start(file, find_table(tables, tag("head")), head_bytes, sizeof head_bytes) ||
        !read_table_start(file, find_table(tables, tag("hhea")), hhea_bytes, sizeof hhea_bytes))
        return false;
    const FieldReader head_fields(head_bytes, sizeof head_bytes);
    const FieldReader hhea_fields(hhea_bytes, sizeof hhea_bytes);
    style.units_per_em = head_fields.get(head::kUnitsPerEm);
    style.mac_style = head_fields.get(head::kMacStyle);
    if (style.units_per_em < 16 || style.units_per_em > 16384) return false;
    style.hhea_ascender = hhea_fields.get_signed(hhea::kAscender);
    style.hhea_descender = hhea_fields.get_signed(hhea::kDescender);

    const TableRecord *cmap_table = find_table(tables, tag("cmap"));
    unsigned char cmap_header[cmap::kRecords];
    if (!read_table_start(file, cmap_table, cmap_header, sizeof cmap_header)) return false;
    const std::size_t encodings =
        FieldReader(cmap_header, sizeof cmap_header).get(cmap::kNumTables);
    std::vector<unsigned char> records(cmap::kRecordSize * encodings);
    if (cmap_table->length < cmap::kRecords + records.size() ||
        !file.read_at(cmap_table->offset + cmap::kRecords, records.data(), records.size()))
        return false;
    const FieldReader encoding_fields(records);
    for (std::size_t at = 0; at < records.size(); at += cmap::kRecordSize)
        if (encoding_fields.get(cmap::kPlatformId, at) == 3 &&
            encoding_fields.get(cmap::kEncodingId, at) == 0)
            return false;

    // OS/2 as FreeType reads it: a table too short for its version counts
    // as none.
    unsigned char os2_bytes[os2::kSizeVersion1];
    const TableRecord *os2_table = find_table(tables, tag("OS/2"));
    style.has_os2 = false;
    if (os2_table && os2_table->length >= os2::kSizeVersion0 &&
        read_table_start(file, os2_table, os2_bytes, os2::kSizeVersion0)) {
        style.os2_version = FieldReader(os2_bytes, os2::kSizeVersion0).get(os2::kVersion);
        const std::size_t wanted = style.os2_version >= 1 ? os2::kSizeVersion1 : os2::kSizeVersion0;
        if (style.os2_version == 0xFFFF) return false;
        if (os2_table->length < wanted) return false;
        if (wanted > os2::kSizeVersion0 &&
            !file.read_at(os2_table->offset + os2::kSizeVersion0, os2_bytes + os2::kSizeVersion0,
                          wanted - os2::kSizeVersion0))
            return false;
        const FieldReader fields(os2_bytes, wanted);
        style.has_os2 = true;
        style.weight_class = fields.get(os2::kWeightClass);
        style.fs_selection = fields.get(os2::kFsSelection);
        style.win_ascent = fields.get(os2::kWinAscent);
        style.win_descent = fields.get(os2::kWinDescent);
        style.code_pages = wanted == os2::kSizeVersion1 ? fields.get(os2::kCodePageRange1) : 0;
    } else if (os2_table) {
        return false;
    }
    return true;
}

bool peek_fnt_style(const FontFile &file, long index, FntStyle &style) {
    // A .fon file is a 16-bit Windows (NE) executable whose font resources
    // are the faces, in the order of its resource table.
    unsigned char mz[ne::kMzSize];
    if (!file.read_at(0, mz, sizeof mz) || mz[0] != 'M' || mz[1] != 'Z') return false;
    const std::uint32_t header_at = FieldReader(mz, sizeof mz, true).get(ne::kNewHeaderOffset);
    unsigned char header[ne::kNeSize];
    if (!file.read_at(header_at, header, sizeof header) || header[0] != 'N' || header[1] != 'E')
        return false;
    std::uint64_t position =
        header_at + FieldReader(header, sizeof header, true).get(ne::kResourceTableOffset);
    unsigned char word[ne::kTypeSize];
    const FieldReader words(word, sizeof word, true);
    if (!file.read_at(position, word, ne::kAlignmentShift.size)) return false;
    const std::uint32_t shift = words.get(ne::kAlignmentShift);
    if (shift > 16) return false;
    position += ne::kAlignmentShift.size;
    for (int types = 0; types < kMostFnts; ++types) {
        if (!file.read_at(position, word, ne::kTypeSize)) return false;
        const std::uint32_t type = words.get(ne::kTypeId);
        const std::uint32_t count = words.get(ne::kTypeCount);
        if (type == 0) return false;
        position += ne::kTypeSize;
        if (type != kFontResource) {
            position += ne::kResourceSize * static_cast<std::uint64_t>(count);
            continue;
        }
        if (index < 0 || static_cast<std::uint32_t>(index) >= count) return false;
        unsigned char entry[ne::kResourceOffset.size];
        if (!file.read_at(position + ne::kResourceSize * static_cast<std::uint64_t>(index), entry,
                          sizeof entry))
            return false;
        const std::uint64_t font =
            static_cast<std::uint64_t>(
                FieldReader(entry, sizeof entry, true).get(ne::kResourceOffset))
            << shift;
        unsigned char fnt_bytes[fnt::kSize];
        if (!file.read_at(font, fnt_bytes, sizeof fnt_bytes)) return false;
        const FieldReader fields(fnt_bytes, sizeof fnt_bytes, true);
        const std::uint32_t version = fields.get(fnt::kVersion);
        // Vector fonts (type bit 0) are not raster faces.
        if ((version != 0x200 && version != 0x300) || (fields.get(fnt::kType) & 1)) return false;
        style.italic = fields.get(fnt::kItalic) != 0;
        style.weight = fields.get(fnt::kWeight);
        style.charset = static_cast<unsigned char>(fields.get(fnt::kCharset));
        // FreeType's strike height counts the external leading too.
        style.pixel_height = static_cast<long>(fields.get(fnt::kPixelHeight)) +
                             static_cast<long>(fields.get(fnt::kExternalLeading));
        return style.pixel_height > 0;
    }
    return false;
}

namespace {

bool read_whole_table(const FontFile &file, const TableRecord *table,
                      std::vector<unsigned char> &bytes) {
    if (!table || table->length > kLargestVariationTable) return false;
    bytes.resize(table->length);
    return file.read_at(table->offset, bytes.data(), bytes.size());
}

// Past this a cvar, HVAR or MVAR is not checked (no font comes near it):
// FreeType reads it as it is.
constexpr std::size_t kLargestCheckedTable = 16 << 20;

// Notes in `font` each variation table that does not hold what it refers
// to, and whether gvar does. A table that lies past the file's end is
// damaged too. gvar is read only as far as its glyph offsets: the glyphs'
// data are checked to lie within it, not read.
void check_variation_tables(const FontFile &file, const std::vector<TableRecord> &tables,
                            VariableFont &font) {
    const auto damaged = [&](const char *table, const char *damage) {
        font.damaged_tables.emplace_back(table, damage);
    };
    constexpr char kPastFile[] = "lies past the end of the file";
    if (const TableRecord *gvar_table = find_table(tables, tag("gvar"))) {
        unsigned char maxp_bytes[maxp::kSize];
        std::vector<unsigned char> start(
            std::min<std::size_t>(gvar_table->length, gvar::kHeaderSize));
        const char *damage = nullptr;
        if (!file.read_at(gvar_table->offset, start.data(), start.size()) ||
            !read_table_start(file, find_table(tables, tag("maxp")), maxp_bytes, sizeof maxp_bytes))
            damage = kPastFile;
        if (!damage && start.size() == gvar::kHeaderSize) {
            start.resize(std::min<std::size_t>(gvar_table->length, gvar_start_size(start)));
            if (!file.read_at(gvar_table->offset, start.data(), start.size())) damage = kPastFile;
        }
        if (!damage)
            damage = gvar_damage(start, gvar_table->length,
                                 FieldReader(maxp_bytes, sizeof maxp_bytes).get(maxp::kNumGlyphs),
                                 font.axes.size());
        if (damage)
            damaged("gvar", damage);
        else
            font.intact_gvar = true;
    }
    struct WholeTable {
        const char *name;
        std::uint32_t tag;
        const char *(*check)(const std::vector<unsigned char> &, std::size_t);
    };
    const WholeTable whole_tables[] = {{"cvar", tag("cvar"), cvar_damage},
                                       {"MVAR", tag("MVAR"), mvar_damage},
                                       {"HVAR", tag("HVAR"), hvar_damage}};
    for (const auto &[name, table_tag, check] : whole_tables) {
        const TableRecord *table = find_table(tables, table_tag);
        if (!table || table->length > kLargestCheckedTable) continue;
        std::vector<unsigned char> bytes(table->length);
        if (!file.read_at(table->offset, bytes.data(), bytes.size()))
            damaged(name, kPastFile);
        else if (const char *damage = check(bytes, font.axes.size()))
            damaged(name, damage);
    }
}

bool parse_fvar(const std::vector<unsigned char> &bytes, const std::vector<NameRecord> &names,
                VariableFont &font) {
    const FieldReader fields(bytes);
    if (bytes.size() < fvar::kHeaderSize || fields.get(fvar::kMajorVersion) != 1) return false;
    const std::size_t axes = fields.get(fvar::kAxesArrayOffset);
    const std::size_t axis_count = fields.get(fvar::kAxisCount);
    const std::size_t axis_size = fields.get(fvar::kAxisSize);
    const std::size_t instance_count = fields.get(fvar::kInstanceCount);
    const std::size_t instance_size = fields.get(fvar::kInstanceSize);
    if (axis_count == 0 || axis_size < fvar::kAxisRecordSize ||
        instance_size < fvar::kCoordinates + fvar::kCoordinateSize * axis_count ||
        !fields.holds(axes, axis_count * axis_size + instance_count * instance_size))
        return false;
    for (std::size_t a = 0; a < axis_count; ++a) {
        const std::size_t axis = axes + a * axis_size;
        font.axes.push_back(
            {fields.get(fvar::kAxisTag, axis), fields.fixed(fvar::kAxisMinimum, axis),
             fields.fixed(fvar::kAxisDefault, axis), fields.fixed(fvar::kAxisMaximum, axis)});
    }
    const std::size_t instances = axes + axis_count * axis_size;
    for (std::size_t i = 0; i < instance_count; ++i) {
        const std::size_t record = instances + i * instance_size;
        NamedInstance instance;
        instance.subfamily = windows_name(names, fields.get(fvar::kSubfamilyNameId, record));
        for (std::size_t a = 0; a < axis_count; ++a)
            instance.coordinates.push_back(
                fields.fixed({fvar::kCoordinates + fvar::kCoordinateSize * a, 4}, record));
        font.instances.push_back(std::move(instance));
    }
    return fields.ok;
}

// One axis value table of STAT at `at`; false for a format this does not
// know, or a table cut short.
bool parse_stat_value(const FieldReader &fields, std::size_t at, std::size_t axis_count,
                      const std::vector<NameRecord> &names, StatValue &parsed) {
    parsed.format = fields.get(stat::kFormat, at);
    parsed.flags = fields.get(stat::kFlags, at);
    parsed.name = windows_name(names, fields.get(stat::kValueNameId, at));
    if (parsed.format == 4) {
        const std::size_t count = fields.get(stat::kAxisCount, at);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t record =
                at + stat::kCombinationRecords + stat::kCombinationRecordSize * i;
            const std::size_t axis = fields.get(stat::kRecordAxisIndex, record);
            if (axis >= axis_count) return false;
            parsed.axis_values.emplace_back(axis, fields.fixed(stat::kRecordValue, record));
        }
        return fields.ok && count > 0;
    }
    const std::size_t axis = fields.get(stat::kAxisIndex, at);
    if (parsed.format < 1 || parsed.format > 3 ||
        !fields.holds(at, stat::kFormatSizes[parsed.format]) || axis >= axis_count)
        return false;
    parsed.axis_values.emplace_back(axis, fields.fixed(stat::kValue, at));
    if (parsed.format == 2) {
        parsed.range_minimum = fields.fixed(stat::kRangeMinimum, at);
        parsed.range_maximum = fields.fixed(stat::kRangeMaximum, at);
    }
    return fields.ok;
}

bool parse_stat(const std::vector<unsigned char> &bytes, const std::vector<NameRecord> &names,
                StatTable &table) {
    const FieldReader fields(bytes);
    if (bytes.size() < stat::kHeaderSize || fields.get(stat::kMajorVersion) != 1) return false;
    const std::size_t axis_size = fields.get(stat::kDesignAxisSize);
    const std::size_t axis_count = fields.get(stat::kDesignAxisCount);
    const std::size_t axes = fields.get(stat::kDesignAxesOffset);
    const std::size_t value_count = fields.get(stat::kAxisValueCount);
    const std::size_t values = fields.get(stat::kAxisValueOffsetsOffset);
    if (axis_size < stat::kAxisRecordSize || !fields.holds(axes, axis_count * axis_size) ||
        !fields.holds(values, stat::kValueOffset.size * value_count))
        return false;
    for (std::size_t a = 0; a < axis_count; ++a)
        table.axes.push_back({fields.get(stat::kAxisTag, axes + a * axis_size),
                              fields.get(stat::kAxisOrdering, axes + a * axis_size)});
    for (std::size_t v = 0; v < value_count; ++v) {
        const std::size_t at =
            values + fields.get(stat::kValueOffset, values + stat::kValueOffset.size * v);
        StatValue value;
        if (!parse_stat_value(fields, at, axis_count, names, value)) return false;
        table.values.push_back(std::move(value));
    }
    table.present = true;
    return true;
}

}  // namespace

bool peek_sfnt_has_table(const FontFile &file, long index, const char (&table_tag)[5]) {
    long directory = 0;
    std::vector<TableRecord> tables;
    return face_directory(file, index, directory) &&
           read_table_directory(file, directory, tables) && find_table(tables, tag(table_tag));
}

bool peek_variable_font(const FontFile &file, long index, VariableFont &font) {
    font = VariableFont{};
    long directory = 0;
    std::vector<TableRecord> tables;
    std::vector<unsigned char> name_table, fvar_bytes, stat_bytes;
    std::vector<NameRecord> names;
    if (!face_directory(file, index, directory) || !read_table_directory(file, directory, tables) ||
        !read_whole_table(file, find_table(tables, tag("fvar")), fvar_bytes) ||
        !read_name_records(file, index, name_table, names) || !parse_fvar(fvar_bytes, names, font))
        return false;
    check_variation_tables(file, tables, font);
    font.typographic_family = windows_name(names, kNameTypographicFamily);
    if (font.typographic_family.empty()) font.typographic_family = windows_name(names, kNameFamily);
    font.cff2_outlines = find_table(tables, tag("CFF2")) && !find_table(tables, tag("glyf")) &&
                         !find_table(tables, tag("CFF "));
    font.stat.found = find_table(tables, tag("STAT")) != nullptr;
    if (!read_whole_table(file, find_table(tables, tag("STAT")), stat_bytes) ||
        !parse_stat(stat_bytes, names, font.stat))
        font.stat = StatTable{};
    unsigned char os2_bytes[os2::kFsSelection.offset + os2::kFsSelection.size];
    if (read_table_start(file, find_table(tables, tag("OS/2")), os2_bytes, sizeof os2_bytes)) {
        const FieldReader fields(os2_bytes, sizeof os2_bytes);
        font.weight_class = static_cast<long>(fields.get(os2::kWeightClass));
        font.italic_file = (fields.get(os2::kFsSelection) & 1) != 0;
    }
    return true;
}

bool peek_sfnt_lookup_names(const FontFile &file, long index, LookupNames &names) {
    std::vector<unsigned char> table;
    std::vector<NameRecord> records;
    if (!read_name_records(file, index, table, records)) return false;
    names = lookup_names(records);
    return true;
}

}  // namespace dm12_gdi
