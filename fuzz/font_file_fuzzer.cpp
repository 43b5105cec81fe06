// libFuzzer entry: arbitrary bytes as a font file, peeked at, read, realized
// and measured as our GDI does it for every face the file holds (and a
// variable font's first named instances), codes 32 to 127. The bytes
// go to a file because our GDI opens fonts by path; fontconfig is left out so
// that one input costs one file's work.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "font_face.h"
#include "font_peek.h"
#include "realized_font.h"

namespace dm12_gdi {

namespace {

// Faces of one file we try; a collection's further faces add little.
constexpr FT_Long kMostFaces = 4;
// Named instances of one face we try: each is the same file at other
// coordinates, so a few reach every table the variations read.
constexpr FT_Long kMostInstances = 3;

struct InputFile {
    std::string path;
    InputFile() {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/font_fuzz_XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("font_file_fuzzer: cannot make a temporary file");
            std::abort();
        }
        close(fd);
        path = pattern;
    }
    ~InputFile() { unlink(path.c_str()); }
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;
};

bool write_input(const std::string &path, const std::uint8_t *data, std::size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// Opens, reads and measures one face (with a named instance of a variable
// font in the upper 16 bits of `index`), as the enumeration and realizing do;
// tells how many faces the file holds and how many named instances this one.
void measure_face(const std::string &path, FT_Long index, FT_Long &face_count,
                  FT_Long &instance_count) {
    FontFace face;
    face.file = path;
    face.index = index;
    std::string problem;
    if (!take_snapshot(path, face.snapshot, problem)) return;
    const OwnedFace ft_face = open_face(freetype_library(), path, index, face.snapshot, problem);
    if (!ft_face) return;
    face_count = ft_face->num_faces;
    instance_count = ft_face->style_flags >> 16;
    FontFamily family;
    if (!read_font_face(ft_face.get(), face) || !measures_space(ft_face.get(), face)) return;
    family.name = face.logfont.lfFaceName;
    family.faces.push_back(face);
    const auto font = realize_face(family, family.faces.front(), face.logfont);
    if (!font) return;
    for (unsigned code = 32; code <= 127; ++code) {
        ABCFLOAT widths;
        glyph_widths(*font, code, widths);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static InputFile input;
    if (!freetype_library()) return 0;
    // Each input rewrites the same file, at times with the same size within
    // the clock's tick, which a snapshot cannot tell apart: a face kept from
    // the last input's instances is not of this one.
    close_kept_face(freetype_library());
    if (!write_input(input.path, data, size)) return 0;
    FT_Long face_count = 1;
    for (FT_Long index = 0; index < face_count && index < kMostFaces; ++index) {
        // What the enumeration reads of a file without FreeType.
        const FontFile file(input.path);
        std::string name;
        peek_sfnt_family_name(file, index, name);
        FontFace face;
        for (const char *format : {"TrueType", "Windows FNT", "PCF"})
            peek_font_face(file, index, format, face);
        // A variable font's tables, checked and named from as the listing does.
        VariableFont variable;
        if (peek_variable_font(file, index, variable)) {
            variations_fault(variable);
            for (std::size_t i = 0; i < variable.instances.size() && i < kMostInstances; ++i)
                instance_naming(variable, i);
        }
        FT_Long instance_count = 0;
        measure_face(input.path, index, face_count, instance_count);
        // A variable font's named instances are faces of their own.
        for (FT_Long instance = 1; instance <= instance_count && instance <= kMostInstances;
             ++instance) {
            FT_Long ignored_faces = 0, ignored_instances = 0;
            measure_face(input.path, instance << 16 | index, ignored_faces, ignored_instances);
        }
    }
    return 0;
}

}  // namespace dm12_gdi
