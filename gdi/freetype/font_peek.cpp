#include "font_peek.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "font_names.h"

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

std::uint32_t little_endian(const unsigned char *p, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

std::uint32_t big_endian(const unsigned char *p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
}

// The offset of face `index`'s table directory: a collection lists one per
// face, a single font has its own at 0.
bool face_directory(const FontFile &file, long index, long &offset,
                    std::uint32_t *version = nullptr) {
    unsigned char header[12];
    if (!file.read_at(0, header, sizeof header)) return false;
    if (std::memcmp(header, "ttcf", 4) != 0) {
        offset = 0;
        if (version) *version = big_endian(header, 4);
        return index == 0;
    }
    const std::uint32_t faces = big_endian(header + 8, 4);
    if (index < 0 || static_cast<std::uint32_t>(index) >= faces) return false;
    unsigned char entry[4];
    if (!file.read_at(12 + 4 * static_cast<std::uint64_t>(index), entry, sizeof entry))
        return false;
    offset = static_cast<long>(big_endian(entry, 4));
    unsigned char tag[4];
    if (version && !file.read_at(static_cast<std::uint64_t>(offset), tag, sizeof tag)) return false;
    if (version) *version = big_endian(tag, 4);
    return true;
}

// Where each table of a face lies: its tag, offset and length.
struct TableRecord {
    std::uint32_t tag, offset, length;
};

bool read_table_directory(const FontFile &file, long directory, std::vector<TableRecord> &tables) {
    unsigned char header[12];
    if (!file.read_at(static_cast<std::uint64_t>(directory), header, sizeof header)) return false;
    const std::size_t count = big_endian(header + 4, 2);
    std::vector<unsigned char> records(16 * count);
    if (!file.read_at(static_cast<std::uint64_t>(directory) + 12, records.data(), records.size()))
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char *record = records.data() + 16 * i;
        tables.push_back(
            {big_endian(record, 4), big_endian(record + 8, 4), big_endian(record + 12, 4)});
    }
    return true;
}

constexpr std::uint32_t tag(const char (&name)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(name[3]));
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
    if (!name || name->length < 6 || name->length > kLargestNameTable) return false;
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
                const unsigned long got = file.file.read(input_offset, input, sizeof input);
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

std::int32_t pcf_int(const unsigned char *p, bool big) {
    const std::uint32_t value = big ? big_endian(p, 4)
                                    : p[0] | static_cast<std::uint32_t>(p[1]) << 8 |
                                          static_cast<std::uint32_t>(p[2]) << 16 |
                                          static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(value);
}

// Each table starts with its own format word, which says its byte order.
bool read_table_format(PcfReader &reader, const PcfTable &table, std::uint32_t &format) {
    unsigned char word[4];
    if (!reader.skip_to(table.offset) || !reader.read(word, 4)) return false;
    format = static_cast<std::uint32_t>(pcf_int(word, false));
    return format == table.format;
}

bool read_properties(PcfReader &reader, const PcfTable &table, PcfStyle &style) {
    std::uint32_t format = 0;
    if (!read_table_format(reader, table, format) || (format & kPcfFormatMask) != kPcfDefaultFormat)
        return false;
    const bool big = format & kPcfBigEndian;
    unsigned char word[4];
    if (!reader.read(word, 4)) return false;
    const std::int32_t count = pcf_int(word, big);
    if (count < 0 || count > kMostPcfProperties) return false;
    std::vector<unsigned char> properties(9 * static_cast<std::size_t>(count));
    if (!properties.empty() &&
        !reader.read(properties.data(), static_cast<unsigned>(properties.size())))
        return false;
    unsigned char padding[4];
    if ((count & 3) && !reader.read(padding, static_cast<unsigned>(4 - (count & 3)))) return false;
    if (!reader.read(word, 4)) return false;
    const std::int32_t strings_size = pcf_int(word, big);
    if (strings_size < 0 || strings_size > kLargestPcfStrings) return false;
    std::vector<char> strings(static_cast<std::size_t>(strings_size) + 1, '\0');
    if (strings_size > 0 && !reader.read(strings.data(), static_cast<unsigned>(strings_size)))
        return false;
    const auto string_at = [&](std::int32_t offset) -> const char * {
        return offset >= 0 && offset < strings_size ? strings.data() + offset : nullptr;
    };
    bool named = false;
    for (std::size_t i = 0; i < properties.size(); i += 9) {
        const unsigned char *property = properties.data() + i;
        const char *name = string_at(pcf_int(property, big));
        const char *value = property[4] ? string_at(pcf_int(property + 5, big)) : nullptr;
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
    unsigned char fields[16];  // eight flag bytes, then the ascent and descent
    if (!reader.read(fields, sizeof fields)) return false;
    const bool big = format & kPcfBigEndian;
    style.height = static_cast<long>(pcf_int(fields + 8, big)) + pcf_int(fields + 12, big);
    return true;
}

// The records of face `index`'s name table, read into `table`, those that
// lie within it: a record past the table is no name.
bool read_name_records(const FontFile &file, long index, std::vector<unsigned char> &table,
                       std::vector<NameRecord> &records) {
    long directory = 0;
    if (!face_directory(file, index, directory) || !read_name_table(file, directory, table))
        return false;
    const std::size_t count = big_endian(table.data() + 2, 2);
    const std::size_t storage = big_endian(table.data() + 4, 2);
    if (6 + 12 * count > table.size() || storage > table.size()) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char *record = table.data() + 6 + 12 * i;
        const std::size_t length = big_endian(record + 8, 2);
        const std::size_t offset = big_endian(record + 10, 2);
        if (storage + offset + length > table.size()) continue;
        records.push_back({big_endian(record, 2), big_endian(record + 2, 2),
                           big_endian(record + 4, 2), big_endian(record + 6, 2),
                           table.data() + storage + offset, static_cast<unsigned>(length)});
    }
    return true;
}

// Whether every record of the name table in `table` lay within it.
bool records_whole(const std::vector<unsigned char> &table,
                   const std::vector<NameRecord> &records) {
    return records.size() == big_endian(table.data() + 2, 2);
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
    unsigned char header[8];
    if (!reader.read(header, sizeof header) || std::memcmp(header, "\1fcp", 4) != 0) return false;
    const std::uint32_t count = static_cast<std::uint32_t>(pcf_int(header + 4, false));
    if (count > kMostPcfTables) return false;
    std::vector<PcfTable> tables;
    for (std::uint32_t i = 0; i < count; ++i) {
        unsigned char entry[16];
        if (!reader.read(entry, sizeof entry)) return false;
        const PcfTable table{static_cast<std::uint32_t>(pcf_int(entry, false)),
                             static_cast<std::uint32_t>(pcf_int(entry + 4, false)),
                             static_cast<std::uint32_t>(pcf_int(entry + 8, false)),
                             static_cast<std::uint32_t>(pcf_int(entry + 12, false))};
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

    unsigned char head[54];
    unsigned char hhea[8];
    if (!read_table_start(file, find_table(tables, tag("head")), head, sizeof head) ||
        !read_table_start(file, find_table(tables, tag("hhea")), hhea, sizeof hhea))
        return false;
    style.units_per_em = big_endian(head + 18, 2);
    style.mac_style = big_endian(head + 44, 2);
    if (style.units_per_em < 16 || style.units_per_em > 16384) return false;
    style.hhea_ascender = static_cast<std::int16_t>(big_endian(hhea + 4, 2));
    style.hhea_descender = static_cast<std::int16_t>(big_endian(hhea + 6, 2));

    const TableRecord *cmap = find_table(tables, tag("cmap"));
    unsigned char cmap_header[4];
    if (!read_table_start(file, cmap, cmap_header, sizeof cmap_header)) return false;
    const std::size_t encodings = big_endian(cmap_header + 2, 2);
    std::vector<unsigned char> records(8 * encodings);
    if (cmap->length < 4 + records.size() ||
        !file.read_at(cmap->offset + 4, records.data(), records.size()))
        return false;
    for (std::size_t i = 0; i < encodings; ++i)
        if (big_endian(records.data() + 8 * i, 2) == 3 &&
            big_endian(records.data() + 8 * i + 2, 2) == 0)
            return false;

    // OS/2 as FreeType reads it: a table too short for its version counts
    // as none.
    unsigned char os2[86];
    const TableRecord *os2_table = find_table(tables, tag("OS/2"));
    style.has_os2 = false;
    if (os2_table && os2_table->length >= 78 && read_table_start(file, os2_table, os2, 78)) {
        style.os2_version = big_endian(os2, 2);
        const std::size_t wanted = style.os2_version >= 1 ? 86 : 78;
        if (style.os2_version == 0xFFFF) return false;
        if (os2_table->length < wanted) return false;
        if (wanted == 86 && !file.read_at(os2_table->offset + 78, os2 + 78, 8)) return false;
        style.has_os2 = true;
        style.weight_class = big_endian(os2 + 4, 2);
        style.fs_selection = big_endian(os2 + 62, 2);
        style.win_ascent = big_endian(os2 + 74, 2);
        style.win_descent = big_endian(os2 + 76, 2);
        style.code_pages = wanted == 86 ? big_endian(os2 + 78, 4) : 0;
    } else if (os2_table) {
        return false;
    }
    return true;
}

bool peek_fnt_style(const FontFile &file, long index, FntStyle &style) {
    // A .fon file is a 16-bit Windows (NE) executable whose font resources
    // are the faces, in the order of its resource table.
    unsigned char dos[64];
    if (!file.read_at(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint32_t ne = little_endian(dos + 0x3C, 4);
    unsigned char header[64];
    if (!file.read_at(ne, header, sizeof header) || header[0] != 'N' || header[1] != 'E')
        return false;
    std::uint64_t position = ne + little_endian(header + 0x24, 2);
    unsigned char word[8];
    if (!file.read_at(position, word, 2)) return false;
    const std::uint32_t shift = little_endian(word, 2);
    if (shift > 16) return false;
    position += 2;
    for (int types = 0; types < kMostFnts; ++types) {
        if (!file.read_at(position, word, 8)) return false;
        const std::uint32_t type = little_endian(word, 2);
        const std::uint32_t count = little_endian(word + 2, 2);
        if (type == 0) return false;
        position += 8;
        if (type != kFontResource) {
            position += 12 * static_cast<std::uint64_t>(count);
            continue;
        }
        if (index < 0 || static_cast<std::uint32_t>(index) >= count) return false;
        unsigned char entry[4];
        if (!file.read_at(position + 12 * static_cast<std::uint64_t>(index), entry, sizeof entry))
            return false;
        const std::uint64_t font = static_cast<std::uint64_t>(little_endian(entry, 2)) << shift;
        unsigned char fnt[118];
        if (!file.read_at(font, fnt, sizeof fnt)) return false;
        const std::uint32_t version = little_endian(fnt, 2);
        // Vector fonts (type bit 0) are not raster faces.
        if ((version != 0x200 && version != 0x300) || (little_endian(fnt + 66, 2) & 1))
            return false;
        style.italic = fnt[80] != 0;
        style.weight = little_endian(fnt + 83, 2);
        style.charset = fnt[85];
        // FreeType's strike height counts the external leading too.
        style.pixel_height =
            static_cast<long>(little_endian(fnt + 88, 2)) + little_endian(fnt + 78, 2);
        return style.pixel_height > 0;
    }
    return false;
}

namespace {

double fixed(const unsigned char *p) {
    return static_cast<std::int32_t>(big_endian(p, 4)) / 65536.0;
}

bool read_whole_table(const FontFile &file, const TableRecord *table,
                      std::vector<unsigned char> &bytes) {
    if (!table || table->length > kLargestVariationTable) return false;
    bytes.resize(table->length);
    return file.read_at(table->offset, bytes.data(), bytes.size());
}

bool parse_fvar(const std::vector<unsigned char> &fvar, const std::vector<NameRecord> &names,
                VariableFont &font) {
    if (fvar.size() < 16 || big_endian(fvar.data(), 2) != 1) return false;
    const unsigned char *header = fvar.data();
    const std::size_t axes_offset = big_endian(header + 4, 2);
    const std::size_t axis_count = big_endian(header + 8, 2);
    const std::size_t axis_size = big_endian(header + 10, 2);
    const std::size_t instance_count = big_endian(header + 12, 2);
    const std::size_t instance_size = big_endian(header + 14, 2);
    if (axis_count == 0 || axis_size < 20 || instance_size < 4 + 4 * axis_count ||
        axes_offset + axis_count * axis_size + instance_count * instance_size > fvar.size())
        return false;
    for (std::size_t a = 0; a < axis_count; ++a) {
        const unsigned char *axis = header + axes_offset + a * axis_size;
        font.axes.push_back(
            {big_endian(axis, 4), fixed(axis + 4), fixed(axis + 8), fixed(axis + 12)});
    }
    const unsigned char *instances = header + axes_offset + axis_count * axis_size;
    for (std::size_t i = 0; i < instance_count; ++i) {
        const unsigned char *record = instances + i * instance_size;
        NamedInstance instance;
        instance.subfamily = windows_name(names, big_endian(record, 2));
        for (std::size_t a = 0; a < axis_count; ++a)
            instance.coordinates.push_back(fixed(record + 4 + 4 * a));
        font.instances.push_back(std::move(instance));
    }
    return true;
}

// One axis value table of STAT, at `value` with `room` bytes to the table's
// end; false for a format this does not know, or a table cut short.
bool parse_stat_value(const unsigned char *value, std::size_t room, std::size_t axis_count,
                      const std::vector<NameRecord> &names, StatValue &parsed) {
    if (room < 12) return false;
    parsed.format = big_endian(value, 2);
    parsed.flags = big_endian(value + 4, 2);
    parsed.name = windows_name(names, big_endian(value + 6, 2));
    if (parsed.format == 4) {
        const std::size_t count = big_endian(value + 2, 2);
        if (room < 8 + 6 * count) return false;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t axis = big_endian(value + 8 + 6 * i, 2);
            if (axis >= axis_count) return false;
            parsed.axis_values.emplace_back(axis, fixed(value + 10 + 6 * i));
        }
        return count > 0;
    }
    const std::size_t axis = big_endian(value + 2, 2);
    const std::size_t sizes[] = {0, 12, 20, 16};
    if (parsed.format < 1 || parsed.format > 3 || room < sizes[parsed.format] || axis >= axis_count)
        return false;
    parsed.axis_values.emplace_back(axis, fixed(value + 8));
    if (parsed.format == 2) {
        parsed.range_minimum = fixed(value + 12);
        parsed.range_maximum = fixed(value + 16);
    }
    return true;
}

bool parse_stat(const std::vector<unsigned char> &stat, const std::vector<NameRecord> &names,
                StatTable &table) {
    if (stat.size() < 18 || big_endian(stat.data(), 2) != 1) return false;
    const unsigned char *header = stat.data();
    const std::size_t axis_size = big_endian(header + 4, 2);
    const std::size_t axis_count = big_endian(header + 6, 2);
    const std::size_t axes_offset = big_endian(header + 8, 4);
    const std::size_t value_count = big_endian(header + 12, 2);
    const std::size_t values_offset = big_endian(header + 14, 4);
    if (axis_size < 8 || axes_offset > stat.size() ||
        axis_count * axis_size > stat.size() - axes_offset || values_offset > stat.size() ||
        2 * value_count > stat.size() - values_offset)
        return false;
    for (std::size_t a = 0; a < axis_count; ++a) {
        const unsigned char *axis = header + axes_offset + a * axis_size;
        table.axes.push_back({big_endian(axis, 4), big_endian(axis + 6, 2)});
    }
    for (std::size_t v = 0; v < value_count; ++v) {
        const std::size_t offset = values_offset + big_endian(header + values_offset + 2 * v, 2);
        StatValue value;
        if (offset >= stat.size() ||
            !parse_stat_value(header + offset, stat.size() - offset, axis_count, names, value))
            return false;
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
    std::vector<unsigned char> name_table, fvar, stat;
    std::vector<NameRecord> names;
    if (!face_directory(file, index, directory) || !read_table_directory(file, directory, tables) ||
        !read_whole_table(file, find_table(tables, tag("fvar")), fvar) ||
        !read_name_records(file, index, name_table, names) || !parse_fvar(fvar, names, font))
        return false;
    // A gvar for other glyphs or axes than the font's: FreeType ignores it
    // and would draw every instance as the default.
    unsigned char gvar[14], maxp[6];
    if (read_table_start(file, find_table(tables, tag("gvar")), gvar, sizeof gvar) &&
        (!read_table_start(file, find_table(tables, tag("maxp")), maxp, sizeof maxp) ||
         big_endian(gvar + 12, 2) != big_endian(maxp + 4, 2) ||
         big_endian(gvar + 4, 2) != font.axes.size()))
        return false;
    font.typographic_family = windows_name(names, kNameTypographicFamily);
    if (font.typographic_family.empty()) font.typographic_family = windows_name(names, kNameFamily);
    font.cff2_outlines = find_table(tables, tag("CFF2")) && !find_table(tables, tag("glyf")) &&
                         !find_table(tables, tag("CFF "));
    if (!read_whole_table(file, find_table(tables, tag("STAT")), stat) ||
        !parse_stat(stat, names, font.stat))
        font.stat = StatTable{};
    unsigned char os2[64];
    if (read_table_start(file, find_table(tables, tag("OS/2")), os2, sizeof os2)) {
        font.weight_class = big_endian(os2 + 4, 2);
        font.italic_file = (big_endian(os2 + 62, 2) & 1) != 0;
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
