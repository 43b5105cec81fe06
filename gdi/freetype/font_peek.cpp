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

std::uint32_t big_endian(const unsigned char *p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
}

struct File {
    std::FILE *file;
    explicit File(const std::string &path) : file(std::fopen(path.c_str(), "rb")) {}
    ~File() {
        if (file) std::fclose(file);
    }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    bool read_at(long offset, void *buffer, std::size_t size) {
        return file && offset >= 0 && std::fseek(file, offset, SEEK_SET) == 0 &&
               std::fread(buffer, 1, size, file) == size;
    }
};

// The offset of face `index`'s table directory: a collection lists one per
// face, a single font has its own at 0.
bool face_directory(File &file, long index, long &offset) {
    unsigned char header[12];
    if (!file.read_at(0, header, sizeof header)) return false;
    if (std::memcmp(header, "ttcf", 4) != 0) {
        offset = 0;
        return index == 0;
    }
    const std::uint32_t faces = big_endian(header + 8, 4);
    if (index < 0 || static_cast<std::uint32_t>(index) >= faces) return false;
    unsigned char entry[4];
    if (!file.read_at(12 + 4 * index, entry, sizeof entry)) return false;
    offset = static_cast<long>(big_endian(entry, 4));
    return true;
}

bool read_name_table(File &file, long directory, std::vector<unsigned char> &table) {
    unsigned char header[12];
    if (!file.read_at(directory, header, sizeof header)) return false;
    const std::size_t tables = big_endian(header + 4, 2);
    std::vector<unsigned char> records(16 * tables);
    if (!file.read_at(directory + 12, records.data(), records.size())) return false;
    for (std::size_t i = 0; i < tables; ++i) {
        const unsigned char *record = records.data() + 16 * i;
        if (std::memcmp(record, "name", 4) != 0) continue;
        const std::uint32_t offset = big_endian(record + 8, 4);
        const std::uint32_t length = big_endian(record + 12, 4);
        if (length < 6 || length > kLargestNameTable) return false;
        table.resize(length);
        return file.read_at(static_cast<long>(offset), table.data(), length);
    }
    return false;
}

// A PCF file read from its start, gzipped or not.
struct PcfReader {
    gzFile file;
    long position = 0;
    // A small buffer: the tables wanted lie in the first kilobytes, and zlib
    // would otherwise inflate 16 KiB at a time.
    explicit PcfReader(const std::string &path) : file(gzopen(path.c_str(), "rb")) {
        if (file) gzbuffer(file, 1024);
    }
    ~PcfReader() {
        if (file) gzclose(file);
    }
    PcfReader(const PcfReader &) = delete;
    PcfReader &operator=(const PcfReader &) = delete;

    bool read(void *buffer, unsigned size) {
        if (!file || gzread(file, buffer, size) != static_cast<int>(size)) return false;
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

}  // namespace

bool peek_sfnt_family_name(const std::string &path, long index, std::string &name) {
    File file(path);
    long directory = 0;
    std::vector<unsigned char> table;
    if (!face_directory(file, index, directory) || !read_name_table(file, directory, table))
        return false;
    const std::size_t count = big_endian(table.data() + 2, 2);
    const std::size_t storage = big_endian(table.data() + 4, 2);
    if (6 + 12 * count > table.size() || storage > table.size()) return false;
    std::vector<NameRecord> records;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char *record = table.data() + 6 + 12 * i;
        const std::size_t length = big_endian(record + 8, 2);
        const std::size_t offset = big_endian(record + 10, 2);
        // A record past the table: FreeType would not give it, so neither
        // path could be trusted to agree.
        if (storage + offset + length > table.size()) return false;
        records.push_back({big_endian(record, 2), big_endian(record + 2, 2),
                           big_endian(record + 4, 2), big_endian(record + 6, 2),
                           table.data() + storage + offset, static_cast<unsigned>(length)});
    }
    name = legacy_family_name(records);
    return !name.empty();
}

bool peek_pcf_style(const std::string &path, PcfStyle &style) {
    PcfReader reader(path);
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

bool peek_sfnt_lookup_names(const std::string &path, long index, LookupNames &names) {
    File file(path);
    long directory = 0;
    std::vector<unsigned char> table;
    if (!face_directory(file, index, directory) || !read_name_table(file, directory, table))
        return false;
    const std::size_t count = big_endian(table.data() + 2, 2);
    const std::size_t storage = big_endian(table.data() + 4, 2);
    if (6 + 12 * count > table.size() || storage > table.size()) return false;
    std::vector<NameRecord> records;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char *record = table.data() + 6 + 12 * i;
        const std::size_t length = big_endian(record + 8, 2);
        const std::size_t offset = big_endian(record + 10, 2);
        if (storage + offset + length > table.size()) continue;  // past the table: not a name
        records.push_back({big_endian(record, 2), big_endian(record + 2, 2),
                           big_endian(record + 4, 2), big_endian(record + 6, 2),
                           table.data() + storage + offset, static_cast<unsigned>(length)});
    }
    names = lookup_names(records);
    return true;
}
