// The font service's lasting state: the FreeType library and the families,
// read once from fontconfig's list of font files.

#include "font_service.h"
#include "realized_font.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <utility>

namespace {

struct FontService {
    FT_Library library = nullptr;
    bool families_read = false;
    std::vector<FontFamily> families;
    std::size_t default_family = 0;
    // Every family by its name ignoring case: names that agree so are one
    // family, so each such name names one.
    std::map<std::string, std::size_t> family_by_name;

    FontService() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~FontService() {
        if (library) FT_Done_FreeType(library);
    }
    FontService(const FontService &) = delete;
    FontService &operator=(const FontService &) = delete;
};

FontService &service() {
    static FontService instance;
    return instance;
}

// Family names compare ignoring the case of ASCII letters.
std::string folded_case(std::string name) {
    for (char &c : name)
        if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(std::tolower(c));
    return name;
}

bool family_order(const FontFamily &a, const FontFamily &b) {
    if (a.vertical != b.vertical) return b.vertical;
    const int order = folded_case(a.name).compare(folded_case(b.name));
    return order != 0 ? order < 0 : a.name < b.name;
}

// Where a family has faces for several character sets, the enumeration
// takes the one a Western system's GDI takes: ANSI_CHARSET (Windows-1252),
// what DEFAULT_CHARSET stands for there. Failing that, the character sets in
// the order of the OS/2 code-page bits that name them, then the others by
// number.
int charset_rank(BYTE charset) {
    static constexpr BYTE kCodePageOrder[] = {
        ANSI_CHARSET,       EASTEUROPE_CHARSET,  RUSSIAN_CHARSET,  GREEK_CHARSET,
        TURKISH_CHARSET,    HEBREW_CHARSET,      ARABIC_CHARSET,   BALTIC_CHARSET,
        VIETNAMESE_CHARSET, THAI_CHARSET,        SHIFTJIS_CHARSET, GB2312_CHARSET,
        HANGEUL_CHARSET,    CHINESEBIG5_CHARSET, JOHAB_CHARSET,    SYMBOL_CHARSET,
    };
    for (std::size_t i = 0; i < std::size(kCodePageOrder); ++i)
        if (kCodePageOrder[i] == charset) return static_cast<int>(i);
    return static_cast<int>(std::size(kCodePageOrder)) + charset;
}

// The representative face: that of the first character set above, then
// regular, then bold, then italic, then bold italic; within those OpenType
// before Type 1 before bitmap copies, then the weight nearest normal, the
// lighter on a tie; of bitmap faces, the strike nearest 16 pixels, the
// smaller on a tie; then the file.
constexpr LONG kRepresentativeBitmapHeight = 16;

long height_distance(const FontFace &face, LONG height) {
    return face.strike < 0 ? 0 : std::labs(static_cast<long>(face.logfont.lfHeight) - height);
}

bool representative_order(const FontFace &a, const FontFace &b) {
    const auto key = [](const FontFace &face) {
        return std::make_tuple(
            charset_rank(face.logfont.lfCharSet), face.italic, face.bold, face.format_rank,
            std::labs(static_cast<long>(face.logfont.lfWeight) - FW_NORMAL), face.logfont.lfWeight,
            height_distance(face, kRepresentativeBitmapHeight), face.logfont.lfHeight,
            std::tie(face.file, face.index));
    };
    return key(a) < key(b);
}

struct FontFile {
    std::string path;
    FT_Long index;
    bool operator<(const FontFile &other) const {
        return std::tie(path, index) < std::tie(other.path, other.index);
    }
    bool operator==(const FontFile &other) const {
        return path == other.path && index == other.index;
    }
};

std::string pattern_string(FcPattern *pattern, const char *object) {
    FcChar8 *value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch) return std::string();
    return reinterpret_cast<const char *>(value);
}

bool font_file_of(FcPattern *pattern, FontFile &file) {
    FcChar8 *path = nullptr;
    int index = 0;
    if (FcPatternGetString(pattern, FC_FILE, 0, &path) != FcResultMatch) return false;
    if (FcPatternGetInteger(pattern, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    file = {reinterpret_cast<const char *>(path), index};
    return true;
}

// The font files fontconfig lists, sorted so that the same fonts give the same
// families whatever order the caches hold; and the file its best match for
// "sans-serif" names, which chooses the default family.
std::vector<FontFile> list_font_files(FontFile &default_file) {
    std::vector<FontFile> files;
    FcConfig *config = FcInitLoadConfigAndFonts();
    if (!config) return files;
    FcPattern *everything = FcPatternCreate();
    FcObjectSet *objects =
        FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_FONTFORMAT, nullptr);
    if (FcFontSet *set = FcFontList(config, everything, objects)) {
        // A Type 1 face that also comes as OpenType is never chosen over that
        // copy, so it is not worth reading (Type 1 files are the slowest to
        // open by far).
        std::set<std::pair<std::string, std::string>> opentype_styles;
        for (int i = 0; i < set->nfont; ++i)
            if (pattern_string(set->fonts[i], FC_FONTFORMAT) != "Type 1")
                opentype_styles.emplace(pattern_string(set->fonts[i], FC_FAMILY),
                                        pattern_string(set->fonts[i], FC_STYLE));
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern *pattern = set->fonts[i];
            const bool type1_copy = pattern_string(pattern, FC_FONTFORMAT) == "Type 1" &&
                                    opentype_styles.count({pattern_string(pattern, FC_FAMILY),
                                                           pattern_string(pattern, FC_STYLE)});
            FontFile file;
            // Named instances of variable fonts (index above 0xFFFF) are not
            // faces of their own to GDI; the default instance stands for them.
            if (!type1_copy && font_file_of(pattern, file) && file.index <= 0xFFFF)
                files.push_back(file);
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(everything);

    if (FcPattern *wanted = FcNameParse(reinterpret_cast<const FcChar8 *>("sans-serif"))) {
        FcConfigSubstitute(config, wanted, FcMatchPattern);
        FcDefaultSubstitute(wanted);
        FcResult result;
        if (FcPattern *match = FcFontMatch(config, wanted, &result)) {
            font_file_of(match, default_file);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(wanted);
    }
    FcConfigDestroy(config);

    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

void read_families(FontService &s) {
    s.families_read = true;
    if (!s.library) return;
    FontFile default_file{"", -1};
    std::vector<FontFamily> families;
    std::map<std::string, std::size_t> family_index;
    for (const FontFile &file : list_font_files(default_file)) {
        FT_Face ft_face = nullptr;
        if (FT_New_Face(s.library, file.path.c_str(), file.index, &ft_face) != 0) continue;
        FontFace face;
        face.file = file.path;
        face.index = file.index;
        // A face is offered only where it measures: never a family whose
        // every code fails on a file that reads.
        const bool offered = read_font_face(ft_face, face) && measures_space(ft_face, face);
        FT_Done_Face(ft_face);
        if (!offered) continue;
        // Names that agree in their 31 bytes, ignoring case, are one family.
        const auto [entry, added] =
            family_index.emplace(folded_case(face.logfont.lfFaceName), families.size());
        if (added) families.emplace_back();
        families[entry->second].faces.push_back(std::move(face));
    }

    const std::size_t horizontal_count = families.size();
    for (std::size_t i = 0; i < horizontal_count; ++i) {
        FontFamily &family = families[i];
        std::sort(family.faces.begin(), family.faces.end(), representative_order);
        // The representative face names the family, and every face carries
        // that name.
        family.name = family.faces.front().logfont.lfFaceName;
        for (FontFace &face : family.faces)
            std::memcpy(face.logfont.lfFaceName, family.name.c_str(), family.name.size() + 1);
        if (!family.faces.front().cjk) continue;
        FontFamily vertical{("@" + family.name).substr(0, LF_FACESIZE - 1), family.faces, true};
        for (FontFace &face : vertical.faces)
            std::memcpy(face.logfont.lfFaceName, vertical.name.c_str(), vertical.name.size() + 1);
        families.push_back(std::move(vertical));
    }
    std::sort(families.begin(), families.end(), family_order);

    s.default_family = 0;
    for (std::size_t i = 0; i < families.size(); ++i) {
        for (const FontFace &face : families[i].faces)
            if (!families[i].vertical && face.file == default_file.path &&
                face.index == default_file.index)
                s.default_family = i;
    }
    for (std::size_t i = 0; i < families.size(); ++i)
        s.family_by_name.emplace(folded_case(families[i].name), i);
    s.families = std::move(families);
}

}  // namespace

FT_Library freetype_library() { return service().library; }

const std::vector<FontFamily> &font_families() {
    FontService &s = service();
    if (!s.families_read) read_families(s);
    return s.families;
}

const FontFamily *find_family(const char *face_name) {
    const std::vector<FontFamily> &families = font_families();
    if (families.empty()) return nullptr;
    const std::string name(face_name, strnlen(face_name, LF_FACESIZE - 1));
    const auto &by_name = service().family_by_name;
    const auto found = by_name.find(folded_case(name));
    return &families[found != by_name.end() ? found->second : service().default_family];
}

const FontFace &find_face(const FontFamily &family, const LOGFONTA &logfont) {
    // As GDI's font mapper weighs them: the character set above all, then
    // slant, weight and, for bitmap faces, height (a strike bigger than asked
    // for is the worse of two equally near); faces that tie go in the
    // family's own order, so that a family's enumerated LOGFONTA realizes its
    // representative face.
    const LONG weight = logfont.lfWeight > 0 ? logfont.lfWeight : FW_NORMAL;
    const bool italic = logfont.lfItalic != 0;
    const LONG height =
        logfont.lfHeight < 0 ? -std::max(logfont.lfHeight, -0x7FFF) : logfont.lfHeight;
    const auto distance = [&](const FontFace &face) {
        const bool other_charset =
            logfont.lfCharSet != DEFAULT_CHARSET && logfont.lfCharSet != face.logfont.lfCharSet;
        return std::make_tuple(other_charset, face.italic != italic,
                               std::labs(static_cast<long>(face.logfont.lfWeight) - weight),
                               height_distance(face, height),
                               face.strike >= 0 && face.logfont.lfHeight > height);
    };
    const FontFace *best = &family.faces.front();
    for (const FontFace &face : family.faces)
        if (distance(face) < distance(*best)) best = &face;
    return *best;
}
