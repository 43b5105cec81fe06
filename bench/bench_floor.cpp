// bench_floor: the least work any program measuring these fonts must do, to
// set our own program's time against. It lists the fonts with fontconfig,
// takes one face per family (regular and upright preferred), opens it, sizes
// it at 32 pixels per em and loads the hinted glyphs of codes 32..127 (with the
// program's TrueType interpreter). It writes only a checksum of
// the glyph metrics to stdout, so that the loads cannot be skipped and no output cost is counted;
// the number of families and glyphs goes to stderr for the driver.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include "font_peek.h"
#include "gdi_rules.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

using dm12_gdi::FontFile;
using dm12_gdi::peek_sfnt_family_name;

namespace {

constexpr FT_UInt kPixelsPerEm = 32;
constexpr FT_ULong kFirstCode = 32;
constexpr FT_ULong kLastCode = 127;
// Hinted as the program must hint them: by the font's own instructions, or by
// FreeType's auto-hinter where a TrueType font has none.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_BITMAP;

struct Candidate {
    std::string file;
    int index = 0;
    int slant = 0;
    int weight = 0;
};

// Nearer to upright regular is better; the file name breaks ties so that the
// choice does not depend on the order of fontconfig's caches.
bool better(const Candidate &a, const Candidate &b) {
    return std::make_tuple(a.slant != FC_SLANT_ROMAN, std::abs(a.weight - FC_WEIGHT_REGULAR),
                           a.file, a.index) <
           std::make_tuple(b.slant != FC_SLANT_ROMAN, std::abs(b.weight - FC_WEIGHT_REGULAR),
                           b.file, b.index);
}

// One face per family as GDI counts them: by an sfnt's legacy family name
// (name ID 1), which only its name table holds (fontconfig keeps the
// typographic name instead where there is one), and by fontconfig's name for
// other formats; cut to 31 bytes and ignoring case.
bool list_families(std::map<std::string, Candidate> &families) {
    FcConfig *config = FcInitLoadConfigAndFonts();
    if (!config) return false;
    FcPattern *everything = FcPatternCreate();
    FcObjectSet *objects =
        FcObjectSetBuild(FC_FAMILY, FC_FILE, FC_INDEX, FC_SLANT, FC_WEIGHT, FC_FONTFORMAT, nullptr);
    FcFontSet *set = FcFontList(config, everything, objects);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcPattern *pattern = set->fonts[i];
        FcChar8 *family = nullptr, *file = nullptr;
        Candidate candidate;
        int names = 0;
        while (FcPatternGetString(pattern, FC_FAMILY, names, &family) == FcResultMatch) ++names;
        if (names == 0 || FcPatternGetString(pattern, FC_FAMILY, 0, &family) != FcResultMatch ||
            FcPatternGetString(pattern, FC_FILE, 0, &file) != FcResultMatch)
            continue;
        FcPatternGetInteger(pattern, FC_INDEX, 0, &candidate.index);
        FcPatternGetInteger(pattern, FC_SLANT, 0, &candidate.slant);
        FcPatternGetInteger(pattern, FC_WEIGHT, 0, &candidate.weight);
        if (candidate.index > 0xFFFF) continue;  // a named instance of a variable font
        candidate.file = reinterpret_cast<const char *>(file);
        std::string name(reinterpret_cast<const char *>(family));
        FcChar8 *format = nullptr;
        if (FcPatternGetString(pattern, FC_FONTFORMAT, 0, &format) == FcResultMatch &&
            (std::strcmp(reinterpret_cast<const char *>(format), "TrueType") == 0 ||
             std::strcmp(reinterpret_cast<const char *>(format), "CFF") == 0))
            peek_sfnt_family_name(FontFile(candidate.file), candidate.index, name);
        name.resize(std::min<std::size_t>(name.size(), 31));
        for (char &c : name)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        const auto [entry, added] = families.emplace(name, candidate);
        if (!added && better(candidate, entry->second)) entry->second = candidate;
    }
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(everything);
    FcConfigDestroy(config);
    return true;
}

// Folds the metrics of the hinted glyphs of one face into `sum`; the number
// of glyphs loaded.
int measure_face(FT_Library library, const Candidate &candidate, std::uint64_t &sum) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, candidate.file.c_str(), candidate.index, &face) != 0) {
        std::fprintf(stderr, "bench_floor: cannot open face %d of '%s'\n", candidate.index,
                     candidate.file.c_str());
        return 0;
    }
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0 && !face->charmap &&
        face->num_charmaps > 0)
        FT_Set_Charmap(face, face->charmaps[0]);
    const bool sized = FT_IS_SCALABLE(face)
                           ? FT_Set_Pixel_Sizes(face, 0, kPixelsPerEm) == 0
                           : face->num_fixed_sizes > 0 && FT_Select_Size(face, 0) == 0;
    int loaded = 0;
    for (FT_ULong code = kFirstCode; sized && code <= kLastCode; ++code) {
        const FT_UInt glyph = FT_Get_Char_Index(face, code);
        if (FT_Load_Glyph(face, glyph, FT_IS_SCALABLE(face) ? kLoadFlags : FT_LOAD_DEFAULT) != 0)
            continue;
        const FT_Glyph_Metrics &m = face->glyph->metrics;
        sum = sum * 1099511628211ULL +
              static_cast<std::uint64_t>(m.horiBearingX + 3 * m.width + 7 * m.horiAdvance);
        ++loaded;
    }
    FT_Done_Face(face);
    return loaded;
}

}  // namespace

int main() {
    std::map<std::string, Candidate> families;
    if (!list_families(families)) {
        std::fprintf(stderr, "bench_floor: fontconfig could not load its configuration\n");
        return 1;
    }
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::fprintf(stderr, "bench_floor: FT_Init_FreeType failed\n");
        return 1;
    }
    // Hinted as the program hints them, with the bi-level interpreter.
    FT_UInt interpreter = dm12_gdi::kTrueTypeInterpreterVersion;
    FT_Property_Set(library, "truetype", "interpreter-version", &interpreter);
    std::uint64_t sum = 14695981039346656037ULL;
    long glyphs = 0;
    for (const auto &entry : families) glyphs += measure_face(library, entry.second, sum);
    FT_Done_FreeType(library);
    std::printf("%016llx\n", static_cast<unsigned long long>(sum));
    std::fprintf(stderr, "bench_floor: %zu families, %ld glyphs\n", families.size(), glyphs);
    return 0;
}
