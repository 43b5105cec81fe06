#include "font_listing.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <new>
#include <set>
#include <tuple>
#include <utility>

#include "font_config.h"
#include "font_names.h"
#include "font_peek.h"
#include "font_trace.h"

namespace dm12_gdi {

namespace {

std::string pattern_string(FcPattern *pattern, const char *object) {
    FcChar8 *value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch) return std::string();
    return reinterpret_cast<const char *>(value);
}

bool listed_face_of(FcPattern *pattern, ListedFace &face) {
    FcChar8 *path = nullptr;
    int index = 0;
    if (FcPatternGetString(pattern, FC_FILE, 0, &path) != FcResultMatch) return false;
    if (FcPatternGetInteger(pattern, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    face.path = reinterpret_cast<const char *>(path);
    face.index = index;
    face.format = pattern_string(pattern, FC_FONTFORMAT);
    return true;
}

bool is_variable(FcPattern *pattern) {
    FcBool variable = FcFalse;
    return FcPatternGetBool(pattern, FC_VARIABLE, 0, &variable) == FcResultMatch && variable;
}

// What is told of a variable font whose variations cannot be read.
constexpr char kVariationsUnreadable[] = "cannot be read: its fvar table does not parse";

// A face, the name of the family it is listed in, and the faces read in
// full to learn that name.
struct NamedFace {
    ListedFace face;
    std::string family;
    std::vector<FontFace> read;
};

// The name a face's family goes by. For formats other than sfnt it is
// FreeType's family name, which fontconfig took and holds in its cache. An
// sfnt's legacy name (name ID 1) only its name table can tell: fontconfig
// keeps the typographic family (name ID 16) instead where there is one. The
// table is read on its own, and failing that the face itself (kept in
// `read`). Where `variable` is given, an sfnt with an fvar table is not named
// here: *variable is set, for the caller to list it as a variable font.
bool listed_family_name(FcPattern *pattern, ListedFace &face, std::string &name,
                        std::vector<FontFace> &read, bool *variable) {
    // The snapshot every later reading of the file is checked against.
    std::string problem;
    if (!is_sfnt(face)) {
        if (!take_snapshot(face.path, face.snapshot, problem)) {
            tell_file_problem(face.path, problem);
            return false;
        }
        name = face_name(pattern_string(pattern, FC_FAMILY));
        return !name.empty();
    }
    const FontFile file(face.path);
    if (!file.is_open()) {
        tell_file_problem(face.path, file.problem);
        return false;
    }
    face.snapshot = file.snapshot;
    // A variable font that fontconfig took for a static one: FreeType could
    // not read its variations. The caller lists it as a variable font.
    if (variable) {
        *variable = peek_sfnt_has_table(file, face.index, "fvar");
        if (*variable) return false;
    }
    if (peek_sfnt_family_name(file, face.index, name)) {
        name = face_name(name);
        return true;
    }
    FontFace full;
    if (!read_with_freetype(freetype_library(), face, full, problem)) {
        if (!problem.empty()) tell_file_problem(face.path, problem);
        return false;
    }
    name = full.logfont.lfFaceName;
    read.push_back(std::move(full));
    return true;
}

// A variable font's file as the listing read it, once for all its patterns.
struct VariableFile {
    bool looked = false;
    bool listed = false;
    bool as_static = false;  // a face at its default, having no named instance
    bool read = false;
    VariableFont font;
    FileSnapshot snapshot;
    std::string problem;
};
using VariableFiles = std::map<std::pair<std::string, long>, VariableFile>;

VariableFile &variable_file(const ListedFace &face, VariableFiles &files) {
    VariableFile &seen = files[{face.path, face_index(face.index)}];
    if (seen.looked) return seen;
    seen.looked = true;
    const FontFile file(face.path);
    if (!file.is_open()) {
        seen.problem = file.problem;
        return seen;
    }
    seen.snapshot = file.snapshot;
    seen.read = peek_variable_font(file, face_index(face.index), seen.font);
    if (!seen.read) seen.problem = kVariationsUnreadable;
    return seen;
}

// The style of named instance `number` (from 1) of `font`; false, with the
// problem to tell where there is one, for an instance GDI would not offer.
bool style_of_instance(const VariableFont &font, std::size_t number, InstanceStyle &style,
                       std::string &problem) {
    if (font.cff2_outlines) return false;
    if (const char *fault = instance_fault(font, number - 1)) {
        problem = "cannot be read: its named instance " + std::to_string(number) + " " + fault;
        return false;
    }
    style = instance_style(font, number - 1);
    return !face_name(style.family).empty();
}

// Lists a variable font's faces, once for all the patterns fontconfig lists
// of it (the variable default, the default as a static face, and the named
// instances, less one that coincides with the default): every named instance
// from the font's own fvar, STAT and name tables, GDI's faces; none, told,
// where its variations cannot be read, since no instance can be measured.
// False where the font is a face only at its default, as a static font is:
// it has no named instance.
bool list_variable_font(const ListedFace &face, VariableFiles &files,
                        std::vector<NamedFace> &faces) {
    VariableFile &seen = variable_file(face, files);
    if (seen.listed) return !seen.as_static;
    seen.listed = true;
    if (!seen.read) {
        tell_file_problem(face.path, seen.problem);
        trace_file(face.path, "left out: " + seen.problem);
        return true;
    }
    if (seen.font.cff2_outlines) {  // not offered at all
        trace_file(face.path, "left out: CFF2 outlines, which GDI does not draw");
        return true;
    }
    // A damaged variation table would have FreeType draw some instances'
    // glyphs, or their heights, as the default's: none is measured.
    const std::string fault = variations_fault(seen.font);
    if (!fault.empty()) {
        tell_file_problem(face.path, "cannot be read: " + fault);
        trace_file(face.path, "left out: " + fault);
        return true;
    }
    if (advances_from_phantom_points(seen.font))
        for (const auto &[table, damage] : seen.font.damaged_tables) {
            std::string told = "its ";
            told += table;
            told += " table ";
            told += damage;
            told += ": advances from gvar's phantom points, as FreeType takes them";
            trace_file(face.path, told);
        }
    seen.as_static = seen.font.instances.empty();
    if (seen.as_static) return false;
    for (std::size_t n = 1; n <= seen.font.instances.size(); ++n) {
        ListedFace instance = face;
        instance.index = static_cast<FT_Long>(n << kInstanceShift) | face_index(face.index);
        instance.snapshot = seen.snapshot;
        instance.named_instance = true;
        instance.order_name = lowercase_cp1252(face_name(seen.font.typographic_family));
        std::string problem;
        if (!style_of_instance(seen.font, n, instance.style, problem)) {
            if (!problem.empty()) tell_file_problem(face.path, problem);
            continue;
        }
        if (tracing()) instance.naming = instance_naming(seen.font, n - 1);
        std::string name = face_name(instance.style.family);
        faces.push_back({std::move(instance), std::move(name), {}});
    }
    return true;
}

// The family and style of every face fontconfig lists as an sfnt.
std::set<std::pair<std::string, std::string>> sfnt_styles(const FcFontSet &set) {
    std::set<std::pair<std::string, std::string>> styles;
    for (int i = 0; i < set.nfont; ++i) {
        ListedFace face;
        if (listed_face_of(set.fonts[i], face) && is_sfnt(face))
            styles.emplace(pattern_string(set.fonts[i], FC_FAMILY),
                           pattern_string(set.fonts[i], FC_STYLE));
    }
    return styles;
}

// The faces fontconfig lists as variable, or as a named instance.
std::set<std::pair<std::string, long>> variable_faces_of(const FcFontSet &set) {
    std::set<std::pair<std::string, long>> faces;
    for (int i = 0; i < set.nfont; ++i) {
        ListedFace face;
        if (listed_face_of(set.fonts[i], face) && is_sfnt(face) &&
            (instance_number(face.index) > 0 || is_variable(set.fonts[i])))
            faces.emplace(face.path, face_index(face.index));
    }
    return faces;
}

// Every face of `set` that GDI would offer, with its family's name.
std::vector<NamedFace> named_faces(const FcFontSet &set) {
    const auto sfnt = sfnt_styles(set);
    const auto variable_faces = variable_faces_of(set);
    VariableFiles variable_files;
    std::vector<NamedFace> faces;
    for (int i = 0; i < set.nfont; ++i) {
        FcPattern *pattern = set.fonts[i];
        ListedFace face;
        if (!listed_face_of(pattern, face) ||
            type1_copy_left_out(face.format, sfnt.count({pattern_string(pattern, FC_FAMILY),
                                                         pattern_string(pattern, FC_STYLE)})))
            continue;
        std::string name;
        std::vector<FontFace> read;
        if (variable_faces.count({face.path, face_index(face.index)})) {
            if (list_variable_font(face, variable_files, faces)) continue;
            face.index = face_index(face.index);
        }
        bool variable = false;
        if ((listed_family_name(pattern, face, name, read, &variable) ||
             (variable && !list_variable_font(face, variable_files, faces) &&
              listed_family_name(pattern, face, name, read, nullptr))) &&
            !name.empty())
            faces.push_back({std::move(face), std::move(name), std::move(read)});
    }
    return faces;
}

// The faces grouped by name into families, in enumeration order.
std::vector<ListedFamily> grouped(std::vector<NamedFace> faces) {
    // The same fonts give the same families whatever order the caches hold.
    std::sort(faces.begin(), faces.end(),
              [](const NamedFace &a, const NamedFace &b) { return a.face < b.face; });
    std::map<std::string, std::vector<std::size_t>> by_name;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        if (i > 0 && !(faces[i - 1].face < faces[i].face)) continue;  // listed twice
        // Names that agree in their 31 bytes, ignoring case, are one family.
        by_name[lowercase_cp1252(faces[i].family)].push_back(i);
    }
    std::vector<ListedFamily> families;
    for (auto &[folded, members] : by_name) {
        ListedFamily family;
        family.lowercase_cp1252 = family.order_name = folded;
        bool instances_only = true;
        for (std::size_t i : members) {
            family.members.push_back(std::move(faces[i].face));
            for (FontFace &read : faces[i].read) family.read_members.push_back(std::move(read));
            instances_only = instances_only && family.members.back().named_instance;
        }
        if (instances_only) {
            const auto first = std::min_element(
                family.members.begin(), family.members.end(), [](const auto &a, const auto &b) {
                    return std::make_tuple(a.order_name, instance_number(a.index)) <
                           std::make_tuple(b.order_name, instance_number(b.index));
                });
            family.order_name = first->order_name;
            family.order_instance = instance_number(first->index);
        }
        families.push_back(std::move(family));
    }
    std::stable_sort(families.begin(), families.end(), [](const auto &a, const auto &b) {
        return std::tie(a.order_name, a.order_instance) < std::tie(b.order_name, b.order_instance);
    });
    return families;
}

}  // namespace

std::vector<ListedFamily> list_families() {
    FcConfig *config = load_font_config_or_report();
    FcPattern *everything = FcPatternCreate();
    FcObjectSet *objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_FONTFORMAT,
                                            FC_VARIABLE, nullptr);
    // fontconfig answers null only where it ran out of memory: not "no fonts".
    FcFontSet *set = everything && objects ? FcFontList(config, everything, objects) : nullptr;
    const auto release = [&] {
        if (set) FcFontSetDestroy(set);
        if (objects) FcObjectSetDestroy(objects);
        if (everything) FcPatternDestroy(everything);
        FcConfigDestroy(config);
    };
    if (!set) {
        release();
        throw std::bad_alloc();
    }
    std::vector<NamedFace> faces;
    try {
        faces = named_faces(*set);
    } catch (...) {
        release();
        throw;
    }
    release();
    return grouped(std::move(faces));
}

ListedFace match_default_face() {
    FcConfig *config = load_font_config_or_report();
    // Not FcNameParse, which reads "sans-serif" as the family "sans" and a
    // size list.
    FcPattern *wanted = FcPatternCreate();
    if (!wanted ||
        !FcPatternAddString(wanted, FC_FAMILY,
                            reinterpret_cast<const FcChar8 *>(kDefaultGenericFamily)) ||
        !FcConfigSubstitute(config, wanted, FcMatchPattern)) {
        if (wanted) FcPatternDestroy(wanted);
        FcConfigDestroy(config);
        throw std::bad_alloc();
    }
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    ListedFace face;
    face.index = -1;
    if (FcPattern *match = FcFontMatch(config, wanted, &result)) {
        listed_face_of(match, face);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(wanted);
    FcConfigDestroy(config);
    if (result == FcResultOutOfMemory) throw std::bad_alloc();
    return face;
}

}  // namespace dm12_gdi
