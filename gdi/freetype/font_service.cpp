// The font service's lasting state: the FreeType library and the families.
//
// Listing a family costs little of a font file: a face's legacy family name
// is its cached family name where it is not an sfnt, and else is read from
// its name table alone. A family's faces are read when the
// family is first resolved: each face to choose the representative (a PCF
// face only by the tables at the start of its file), then the representative
// in full, kept open for its widths.

#include "font_service.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FONT_FORMATS_H

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <tuple>
#include <utility>

#include "font_config.h"
#include "font_names.h"
#include "font_peek.h"
#include "shortage.h"

namespace dm12_gdi {

namespace {

// One face as fontconfig lists it.
struct ListedFace {
    std::string path;
    FT_Long index = 0;
    std::string format;  // FC_FONTFORMAT: "TrueType", "CFF", "Type 1", "PCF", ...
    FileSnapshot snapshot;  // the file as the listing saw it
    // A variable font's named instance (its index above 0xFFFF): its style,
    // and its file's typographic family, folded, by which it is ordered.
    bool named_instance = false;
    InstanceStyle style;
    std::string order_name;
    std::string naming;  // how the instance got its family name, kept only for the trace
    bool operator<(const ListedFace &other) const {
        return std::tie(path, index) < std::tie(other.path, other.index);
    }
};

ListedFace listed_at(std::string path, FT_Long index) {
    ListedFace face;
    face.path = std::move(path);
    face.index = index;
    return face;
}

// A family as the listing knows it: its faces, and once resolved, what they
// offer. A slot is resolved once, by whichever thread asks first.
struct FamilySlot {
    std::string lowercase_cp1252;
    // Families made only of a variable font's named instances go at their
    // file's typographic family, in the order of the instances, as Windows
    // lists them; every other family at its own name.
    std::string order_name;
    long order_instance = 0;
    std::vector<ListedFace> members;
    // Faces the listing already read in full to learn their names.
    std::vector<FontFace> read_members;
    enum class State { kListed, kResolving, kResolved } state = State::kListed;
    std::unique_ptr<FontFamily> family;  // null when resolved to nothing
    std::unique_ptr<FontFamily> vertical;  // its "@" family, where it has one
    // Font files of the family that could not be read, or changed while the
    // program ran, and why: told on the main thread, in the order of the
    // families, whichever thread found them.
    std::vector<std::pair<std::string, std::string>> problems;
    bool problems_told = false;
    // What DUMP_METRICS12_TRACE asks told of the family: its faces, the one
    // chosen and why, each left out and why.
    std::vector<std::string> trace;
};

struct FontService {
    bool listed = false;
    std::vector<FamilySlot> slots;  // by folded name
    std::map<std::string, std::size_t> slot_by_name;
    bool default_matched = false;  // the default family is matched when first wanted
    ListedFace default_face = listed_at("", -1);
    std::mutex mutex;  // guards the slots' states and families
    std::condition_variable resolved;
    // The family each "@" name would be the vertical family of, folded: a
    // look-up of an "@" family resolves that family alone.
    std::multimap<std::string, std::size_t> slot_by_vertical_name;
    // Each variable font's tables as the listing read them, by file and face,
    // with the file's snapshot then: its instances are named from them when
    // read, not read again. Written only while listing.
    std::map<std::pair<std::string, long>, std::pair<FileSnapshot, VariableFont>> variable_fonts;

    FontService() = default;
    FontService(const FontService &) = delete;
    FontService &operator=(const FontService &) = delete;
};

FontService &service() {
    // The FreeType library first, so that it outlives the families' faces.
    freetype_library();
    static FontService instance;
    return instance;
}

// A family's representative: by GDI's order (representative_before), then
// by file, so that the same fonts give the same choice.
bool representative_order(const FontFace &a, const FontFace &b) {
    const FaceTraits first = traits_of(a), second = traits_of(b);
    if (representative_before(first, second)) return true;
    if (representative_before(second, first)) return false;
    return std::tie(a.file, a.index) < std::tie(b.file, b.index);
}

// Whether two faces weigh the same as a representative.
bool same_rank(const FontFace &a, const FontFace &b) {
    return !representative_before(traits_of(a), traits_of(b)) &&
           !representative_before(traits_of(b), traits_of(a));
}

std::size_t best_face(const std::vector<FontFace> &faces) {
    return static_cast<std::size_t>(
        std::min_element(faces.begin(), faces.end(), representative_order) - faces.begin());
}

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

bool is_sfnt(const ListedFace &face) { return face.format == "TrueType" || face.format == "CFF"; }

// DUMP_METRICS12_TRACE, set and not 0, has our GDI tell on standard error,
// family by family, the faces it found, the one it chose and why, and each
// it left out and why, as FreeType's FT2_DEBUG and fontconfig's FC_DEBUG
// tell what they do.
bool tracing() {
    static const bool on = [] {
        const char *value = std::getenv("DUMP_METRICS12_TRACE");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    return on;
}

// Tells, under the trace, what became of a font file the listing read that
// no family shows: each is told once, as the listing reads each file once.
void trace_file(const std::string &path, const std::string &what) {
    if (!tracing()) return;
    std::fprintf(stderr, "%s: font file '%s': %s\n", program_invocation_short_name, path.c_str(),
                 what.c_str());
}

// A named instance's index carries its number (from 1) above the face's.
constexpr long kInstanceShift = 16;
long instance_number(long index) { return index >> kInstanceShift; }
long face_index(long index) { return index & 0xFFFF; }

// What is told of a variable font whose variations cannot be read.
constexpr char kVariationsUnreadable[] = "cannot be read: its fvar table does not parse";

// The style of named instance `number` (from 1) of `font`; false, with the
// problem to tell where there is one, for an instance GDI would not offer.
bool style_of_instance(const VariableFont &font, long number, InstanceStyle &style,
                       std::string &problem) {
    if (number < 1 || static_cast<std::size_t>(number) > font.instances.size() ||
        font.cff2_outlines)
        return false;
    if (const char *fault = instance_fault(font, static_cast<std::size_t>(number - 1))) {
        problem = "cannot be read: its named instance " + std::to_string(number) + " " + fault;
        return false;
    }
    style = instance_style(font, static_cast<std::size_t>(number - 1));
    return !face_name(style.family).empty();
}

bool read_instance_style(const FontFile &file, long index, InstanceStyle &style,
                         std::string &problem) {
    VariableFont font;
    // It was read when listed: the file has changed since.
    if (!peek_variable_font(file, face_index(index), font)) {
        problem = kFileChanged;
        return false;
    }
    return style_of_instance(font, instance_number(index), style, problem);
}

// A named instance read by FreeType takes its family, style and widths from
// the instance, not from the default's tables: as the listing read them
// where the file is the one it read.
bool read_instance(FT_Face ft_face, const ListedFace &listed, FontFace &face,
                   std::string &problem) {
    InstanceStyle style;
    const auto &fonts = service().variable_fonts;
    const auto read = fonts.find({listed.path, face_index(listed.index)});
    if (read != fonts.end() && read->second.first == listed.snapshot) {
        if (!style_of_instance(read->second.second, instance_number(listed.index), style, problem))
            return false;
        set_instance_style(style, face);
        set_instance_width(ft_face, face);
        return true;
    }
    const FontFile file(listed.path, &listed.snapshot);
    if (!file.is_open()) {
        problem = file.problem;
        return false;
    }
    if (!read_instance_style(file, listed.index, style, problem)) return false;
    set_instance_style(style, face);
    set_instance_width(ft_face, face);
    return true;
}

// Reads face `face` with FreeType in full; false for a face that is not
// offered, with the file's problem in `problem` where it could not be read
// or is no longer the file listed.
bool read_with_freetype(FT_Library library, const ListedFace &listed, FontFace &face,
                        std::string &problem, OwnedFace *opened = nullptr) {
    OwnedFace ft_face = open_face(library, listed.path, listed.index, listed.snapshot, problem);
    if (!ft_face) return false;
    // fontconfig may list a file from its cache, which it keeps while the
    // folder's time stands: a file rewritten since with a font of another
    // format is not the face listed (nor of the family it was listed under).
    const char *format = FT_Get_Font_Format(ft_face.get());
    if (!listed.format.empty() && (!format || listed.format != format)) {
        problem = kFileChanged;
        return false;
    }
    face = FontFace{};
    face.file = listed.path;
    face.index = listed.index;
    face.snapshot = listed.snapshot;
    const bool offered =
        read_font_face(ft_face.get(), face) &&
        (instance_number(listed.index) == 0 || read_instance(ft_face.get(), listed, face, problem));
    if (offered && opened) *opened = std::move(ft_face);
    return offered;
}

ListedFace listed_as(const FontFace &face) {
    ListedFace listed = listed_at(face.file, face.index);
    listed.snapshot = face.snapshot;
    return listed;
}

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

bool is_variable(FcPattern *pattern) {
    FcBool variable = FcFalse;
    return FcPatternGetBool(pattern, FC_VARIABLE, 0, &variable) == FcResultMatch && variable;
}

using ListedFaces = std::vector<std::tuple<ListedFace, std::string, std::vector<FontFace>>>;

// Lists a variable font's faces, once for all the patterns fontconfig lists
// of it (the variable default, the default as a static face, and the named
// instances, less one that coincides with the default): every named instance
// from the font's own fvar, STAT and name tables, GDI's faces; none, told,
// where its variations cannot be read, since no instance can be measured.
// False where the font is a face only at its default, as a static font is:
// it has no named instance.
bool list_variable_font(const ListedFace &face, VariableFiles &files, ListedFaces &faces) {
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
        if (!style_of_instance(seen.font, static_cast<long>(n), instance.style, problem)) {
            if (!problem.empty()) tell_file_problem(face.path, problem);
            continue;
        }
        if (tracing()) instance.naming = instance_naming(seen.font, n - 1);
        std::string name = face_name(instance.style.family);
        faces.emplace_back(std::move(instance), std::move(name), std::vector<FontFace>());
    }
    return true;
}

// Lists the fonts fontconfig knows into families, by name.
void list_families(FontService &fonts) {
    fonts.listed = true;
    FcConfig *config = load_font_config_or_report();
    FcPattern *everything = FcPatternCreate();
    FcObjectSet *objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_FONTFORMAT,
                                            FC_VARIABLE, nullptr);
    ListedFaces faces;
    VariableFiles variable_files;
    // fontconfig answers null only where it ran out of memory: not "no fonts".
    FcFontSet *set = everything && objects ? FcFontList(config, everything, objects) : nullptr;
    if (!set) {
        if (objects) FcObjectSetDestroy(objects);
        if (everything) FcPatternDestroy(everything);
        FcConfigDestroy(config);
        throw std::bad_alloc();
    }
    {
        // A Type 1 face that also comes as OpenType is never chosen over that
        // copy, so it is not worth reading (Type 1 files are the slowest to
        // open by far).
        std::set<std::pair<std::string, std::string>> opentype_styles;
        for (int i = 0; i < set->nfont; ++i)
            if (pattern_string(set->fonts[i], FC_FONTFORMAT) != "Type 1")
                opentype_styles.emplace(pattern_string(set->fonts[i], FC_FAMILY),
                                        pattern_string(set->fonts[i], FC_STYLE));
        // The faces fontconfig lists as variable, or as a named instance.
        std::set<std::pair<std::string, long>> variable_faces;
        for (int i = 0; i < set->nfont; ++i) {
            ListedFace face;
            if (listed_face_of(set->fonts[i], face) && is_sfnt(face) &&
                (instance_number(face.index) > 0 || is_variable(set->fonts[i])))
                variable_faces.emplace(face.path, face_index(face.index));
        }
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern *pattern = set->fonts[i];
            ListedFace face;
            const bool type1_copy = pattern_string(pattern, FC_FONTFORMAT) == "Type 1" &&
                                    opentype_styles.count({pattern_string(pattern, FC_FAMILY),
                                                           pattern_string(pattern, FC_STYLE)});
            if (type1_copy || !listed_face_of(pattern, face)) continue;
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
                faces.emplace_back(std::move(face), std::move(name), std::move(read));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(everything);
    for (auto &[place, seen] : variable_files)
        if (seen.read)
            fonts.variable_fonts.emplace(place,
                                         std::make_pair(seen.snapshot, std::move(seen.font)));

    FcConfigDestroy(config);

    // The same fonts give the same families whatever order the caches hold.
    std::sort(faces.begin(), faces.end(),
              [](const auto &a, const auto &b) { return std::get<0>(a) < std::get<0>(b); });
    std::map<std::string, std::vector<std::size_t>> by_name;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        if (i > 0 && !(std::get<0>(faces[i - 1]) < std::get<0>(faces[i]))) continue;  // twice
        // Names that agree in their 31 bytes, ignoring case, are one family.
        by_name[lowercase_cp1252(std::get<1>(faces[i]))].push_back(i);
    }
    for (auto &[folded, members] : by_name) {
        FamilySlot slot;
        slot.lowercase_cp1252 = slot.order_name = folded;
        bool instances_only = true;
        for (std::size_t i : members) {
            const ListedFace &member = std::get<0>(faces[i]);
            slot.members.push_back(member);
            for (FontFace &read : std::get<2>(faces[i])) slot.read_members.push_back(read);
            instances_only = instances_only && member.named_instance;
        }
        if (instances_only) {
            const auto first = std::min_element(
                slot.members.begin(), slot.members.end(), [](const auto &a, const auto &b) {
                    return std::make_tuple(a.order_name, instance_number(a.index)) <
                           std::make_tuple(b.order_name, instance_number(b.index));
                });
            slot.order_name = first->order_name;
            slot.order_instance = instance_number(first->index);
        }
        fonts.slots.push_back(std::move(slot));
    }
    std::stable_sort(fonts.slots.begin(), fonts.slots.end(), [](const auto &a, const auto &b) {
        return std::tie(a.order_name, a.order_instance) < std::tie(b.order_name, b.order_instance);
    });
    for (std::size_t i = 0; i < fonts.slots.size(); ++i)
        fonts.slot_by_name.emplace(fonts.slots[i].lowercase_cp1252, i);
    for (std::size_t i = 0; i < fonts.slots.size(); ++i)
        fonts.slot_by_vertical_name.emplace(
            ("@" + fonts.slots[i].lowercase_cp1252).substr(0, LF_FACESIZE - 1), i);
}

FontService &listed_service() {
    FontService &fonts = service();
    std::lock_guard<std::mutex> lock(fonts.mutex);
    if (!fonts.listed) list_families(fonts);
    return fonts;
}

using Problems = std::vector<std::pair<std::string, std::string>>;

// What chooses a representative: read from the face's own tables where they
// tell it, else by FreeType (the face then stays open in `ft_face`). A face
// alone in its family is its representative if any is: FreeType reads it
// at once.
bool read_deciding_fields(FT_Library library, const ListedFace &listed, bool alone, FontFace &face,
                          OwnedFace &ft_face, Problems &problems) {
    std::string problem;
    if (alone) {
        if (read_with_freetype(library, listed, face, problem, &ft_face)) return true;
        if (!problem.empty()) problems.emplace_back(listed.path, problem);
        return false;
    }
    const FontFile file(listed.path, &listed.snapshot);
    if (!file.is_open()) {
        problems.emplace_back(listed.path, file.problem);
        return false;
    }
    if (peek_font_face(file, listed.index, listed.format, face)) {
        face.file = listed.path;
        if (listed.named_instance) set_instance_style(listed.style, face);
        return true;
    }
    if (read_with_freetype(library, listed, face, problem, &ft_face)) return true;
    if (!problem.empty()) problems.emplace_back(listed.path, problem);
    return false;
}

std::string face_place(const std::string &path, long index) {
    std::string place = path;
    if (face_index(index) != 0) place += " #" + std::to_string(face_index(index));
    if (instance_number(index) != 0) place += " instance " + std::to_string(instance_number(index));
    return place;
}

std::string described(const FontFace &face) {
    static const char *const kStyles[] = {"regular", "bold", "italic", "bold italic"};
    static const char *const kFormats[] = {"OpenType", "Type 1", "bitmap"};
    std::string text = face_place(face.file, face.index) + ": character set " +
                       std::to_string(face.logfont.lfCharSet) + ", " +
                       kStyles[(face.italic ? 2 : 0) + (face.bold ? 1 : 0)] + ", weight " +
                       std::to_string(face.logfont.lfWeight) + ", " +
                       kFormats[std::clamp(face.format_rank, 0, 2)];
    if (face.strike >= 0) text += ", " + std::to_string(face.logfont.lfHeight) + " pixels high";
    return text;
}

// The LOGFONTA's height and width the enumeration reports for `face`: a face
// known only by what chose the representative is read in full for it, which
// only the trace asks.
std::string logfont_size(FT_Library library, const FontFace &face) {
    const FontFace *read = &face;
    FontFace full;
    std::string ignored;
    if (!face.complete) {
        if (!read_with_freetype(library, listed_as(face), full, ignored))
            return "lfHeight and lfWidth unread";
        read = &full;
    }
    return "lfHeight " + std::to_string(read->logfont.lfHeight) + ", lfWidth " +
           std::to_string(read->logfont.lfWidth);
}

// Notes, for the trace, a face left out and why: the problem last noted, if
// noting it was what failed, else that GDI does not offer it.
void trace_left_out(std::vector<std::string> *trace, const std::string &path, long index,
                    const Problems &problems, std::size_t problems_before,
                    const char *otherwise = "no outlines or bitmaps that GDI draws") {
    if (!trace) return;
    std::string why = problems.size() > problems_before ? problems.back().second : otherwise;
    // GDI draws no CFF2 outlines: name them where they are why.
    if (problems.size() == problems_before &&
        peek_sfnt_has_table(FontFile(path), face_index(index), "CFF2"))
        why = "CFF2 outlines, which GDI does not draw";
    trace->push_back("  left out " + face_place(path, index) + ": " + why);
}

void trace_chosen(std::vector<std::string> *trace, const FontFamily &family, FT_Library library) {
    if (!trace) return;
    const FontFace &chosen = family.faces.front();
    trace->push_back("  chosen   " + described(chosen) + "; " + logfont_size(library, chosen));
    for (std::size_t i = 1; i < family.faces.size(); ++i) {
        const char *why = representative_criterion(traits_of(chosen), traits_of(family.faces[i]));
        trace->push_back("  after it " + described(family.faces[i]) + " (by " +
                         (why ? why : "file name") + "); " +
                         logfont_size(library, family.faces[i]));
    }
}

// How each named instance of a family got its name, and the names the cut
// to 31 bytes made one family, for the trace.
std::vector<std::string> naming_trace(const FamilySlot &slot) {
    std::vector<std::string> lines;
    std::vector<std::string> full_names;
    for (const ListedFace &member : slot.members) {
        if (!member.named_instance) continue;
        lines.push_back("  named    " + face_place(member.path, member.index) + " '" +
                        member.style.family + "': " + member.naming);
        if (std::find(full_names.begin(), full_names.end(), member.style.family) ==
            full_names.end())
            full_names.push_back(member.style.family);
    }
    const bool cut = std::any_of(full_names.begin(), full_names.end(), [](const std::string &name) {
        return name.size() >= LF_FACESIZE;
    });
    if (cut && full_names.size() > 1) {
        std::string line = "  merged   " + std::to_string(full_names.size()) +
                           " names, one family once cut to 31 bytes:";
        for (std::size_t i = 0; i < full_names.size(); ++i)
            line += (i ? ", '" : " '") + full_names[i] + "'";
        lines.push_back(line);
    }
    return lines;
}

// A family's faces, read, ordered and tried as its representative; null
// where none is offered. The representative's face stays open in `opened`.
std::unique_ptr<FontFamily> resolve(const FamilySlot &slot, FT_Library library, OwnedFace &opened,
                                    Problems &problems, std::vector<std::string> *trace) {
    std::vector<FontFace> faces;
    std::vector<OwnedFace> open;  // beside faces, while the representative is chosen
    for (const ListedFace &listed : slot.members) {
        const auto read = std::find_if(
            slot.read_members.begin(), slot.read_members.end(),
            [&](const FontFace &f) { return f.file == listed.path && f.index == listed.index; });
        FontFace face;
        OwnedFace ft_face;
        const std::size_t problems_before = problems.size();
        if (read != slot.read_members.end()) {
            face = *read;
        } else if (!read_deciding_fields(library, listed, slot.members.size() == 1, face, ft_face,
                                         problems)) {
            trace_left_out(trace, listed.path, listed.index, problems, problems_before);
            continue;
        }
        // Only the best face so far stays open: a family of large faces (CJK
        // collections) would else hold them all at once.
        const std::size_t best = best_face(faces);
        const bool better = faces.empty() || representative_order(face, faces[best]);
        if (better && !faces.empty()) open[best].reset();
        faces.push_back(std::move(face));
        open.push_back(better ? std::move(ft_face) : nullptr);
    }
    while (!faces.empty()) {
        const std::size_t best = best_face(faces);
        FontFace &face = faces[best];
        bool offered = true;
        const std::size_t problems_before = problems.size();
        if (!open[best]) {
            FontFace full;
            std::string problem;
            offered = read_with_freetype(library, listed_as(face), full, problem, &open[best]);
            if (!problem.empty()) problems.emplace_back(face.file, problem);
            // A file replaced since it was listed may hold another family.
            if (offered &&
                lowercase_cp1252(face_name(full.logfont.lfFaceName)) != slot.lowercase_cp1252) {
                problems.emplace_back(face.file, kFileChanged);
                offered = false;
            }
            // Read in full, a peeked face may order otherwise: try again.
            if (offered && !same_rank(full, face)) {
                face = std::move(full);
                continue;
            }
            if (offered) face = std::move(full);
        }
        const bool measures = offered && measures_space(open[best].get(), face);
        if (measures) {
            auto family = std::make_unique<FontFamily>();
            // The representative names the family, and every face carries
            // that name.
            family->name = face.logfont.lfFaceName;
            opened = std::move(open[best]);
            family->faces.push_back(std::move(face));
            for (std::size_t i = 0; i < faces.size(); ++i)
                if (i != best) family->faces.push_back(std::move(faces[i]));
            std::sort(family->faces.begin() + 1, family->faces.end(), representative_order);
            for (FontFace &f : family->faces)
                std::memcpy(f.logfont.lfFaceName, family->name.c_str(), family->name.size() + 1);
            trace_chosen(trace, *family, library);
            return family;
        }
        trace_left_out(trace, face.file, face.index, problems, problems_before,
                       offered ? "its space cannot be measured at its own size"
                               : "no outlines or bitmaps that GDI draws");
        faces.erase(faces.begin() + static_cast<std::ptrdiff_t>(best));
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(best));
    }
    return nullptr;
}

// The problems found with a family's files are told once, by the main
// thread, when it first has the family: in the order of the enumeration,
// whichever thread found them.
void tell_problems(FontService &fonts, FamilySlot &slot) {
    Problems problems;
    std::vector<std::string> trace;
    {
        std::lock_guard<std::mutex> lock(fonts.mutex);
        if (slot.problems_told) return;
        slot.problems_told = true;
        problems.swap(slot.problems);
        trace.swap(slot.trace);
    }
    for (const auto &[path, problem] : problems) tell_file_problem(path, problem);
    if (!tracing()) return;
    std::string told = std::string(program_invocation_short_name) + ": family '" +
                       (slot.family ? slot.family->name : slot.lowercase_cp1252) +
                       "': " + std::to_string(slot.members.size()) + " listed, " +
                       (slot.family ? "offered" : "none offered") + "\n";
    for (const std::string &line : naming_trace(slot))
        told += std::string(program_invocation_short_name) + ":" + line + "\n";
    for (const std::string &line : trace)
        told += std::string(program_invocation_short_name) + ":" + line + "\n";
    std::fputs(told.c_str(), stderr);
}

// The "@" family of a family whose representative has a CJK code page: the
// same faces and widths under the name "@" and the family's, cut to 31 bytes.
std::unique_ptr<FontFamily> vertical_of(const FontFamily &family) {
    auto vertical = std::make_unique<FontFamily>(family);
    vertical->name = ("@" + family.name).substr(0, LF_FACESIZE - 1);
    vertical->vertical = true;
    for (FontFace &face : vertical->faces)
        std::memcpy(face.logfont.lfFaceName, vertical->name.c_str(), vertical->name.size() + 1);
    return vertical;
}

const FontFamily *resolve_on_main_thread(std::size_t i) {
    return resolve_family(i, freetype_library(), Caller::kMainThread);
}

// The face of fontconfig's best match for the generic family, matched once, when
// a name that is no family's first asks for the default family: the
// program's own run never does. The configuration is loaded again for it,
// rather than kept (with its caches) through every run. Each step fails only
// for want of memory, and fontconfig would match a pattern left half made.
void match_default_face(FontService &fonts) {
    std::lock_guard<std::mutex> lock(fonts.mutex);
    if (fonts.default_matched) return;
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
    if (FcPattern *match = FcFontMatch(config, wanted, &result)) {
        listed_face_of(match, fonts.default_face);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(wanted);
    FcConfigDestroy(config);
    if (result == FcResultOutOfMemory) throw std::bad_alloc();
    fonts.default_matched = true;
}

const FontFamily *default_family() {
    FontService &fonts = listed_service();
    match_default_face(fonts);
    const ListedFace &wanted = fonts.default_face;
    for (std::size_t i = 0; i < fonts.slots.size(); ++i) {
        const auto &members = fonts.slots[i].members;
        if (std::none_of(members.begin(), members.end(), [&](const ListedFace &f) {
                return f.path == wanted.path && f.index == wanted.index;
            }))
            continue;
        const FontFamily *family = resolve_on_main_thread(i);
        if (family &&
            std::any_of(family->faces.begin(), family->faces.end(), [&](const FontFace &f) {
                return f.file == wanted.path && f.index == wanted.index;
            }))
            return family;
    }
    // Else the first family there is.
    for (std::size_t i = 0; i < fonts.slots.size(); ++i)
        if (const FontFamily *family = resolve_on_main_thread(i)) return family;
    return nullptr;
}

}  // namespace

std::size_t family_count() { return listed_service().slots.size(); }

const FontFamily *resolve_family(std::size_t i, FT_Library library, Caller caller,
                                 OwnedFace *opened) {
    if (opened) opened->reset();
    FontService &fonts = listed_service();
    if (i >= fonts.slots.size()) return nullptr;
    FamilySlot &slot = fonts.slots[i];
    bool resolved_before = false;
    {
        std::unique_lock<std::mutex> lock(fonts.mutex);
        fonts.resolved.wait(lock, [&] { return slot.state != FamilySlot::State::kResolving; });
        resolved_before = slot.state == FamilySlot::State::kResolved;
        if (!resolved_before) slot.state = FamilySlot::State::kResolving;
    }
    if (resolved_before) {
        if (caller == Caller::kMainThread) tell_problems(fonts, slot);
        return slot.family.get();
    }
    OwnedFace face;
    Problems problems;
    std::vector<std::string> trace;
    std::unique_ptr<FontFamily> family;
    try {
        family = resolve(slot, library, face, problems, tracing() ? &trace : nullptr);
        // A face that FreeType failed to read for want of memory is no face
        // missing from the family: the family is left for a later try.
        throw_if_freetype_ran_out();
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(fonts.mutex);
            slot.state = FamilySlot::State::kListed;
        }
        fonts.resolved.notify_all();
        throw;
    }
    std::unique_ptr<FontFamily> vertical =
        family && family->faces.front().cjk ? vertical_of(*family) : nullptr;
    if (opened) *opened = std::move(face);
    {
        std::lock_guard<std::mutex> lock(fonts.mutex);
        slot.family = std::move(family);
        slot.vertical = std::move(vertical);
        slot.problems.insert(slot.problems.end(), problems.begin(), problems.end());
        slot.trace = std::move(trace);
        slot.state = FamilySlot::State::kResolved;
    }
    fonts.resolved.notify_all();
    if (caller == Caller::kMainThread) tell_problems(fonts, slot);
    return slot.family.get();
}

std::uintmax_t largest_file_of(std::size_t i) {
    const FontService &fonts = listed_service();
    std::uintmax_t largest = 0;
    if (i < fonts.slots.size())
        for (const ListedFace &face : fonts.slots[i].members)
            largest = std::max(largest, static_cast<std::uintmax_t>(face.snapshot.size));
    return largest;
}

const FontFamily *vertical_family(std::size_t i) {
    FontService &fonts = listed_service();
    if (i >= fonts.slots.size() || !resolve_on_main_thread(i)) return nullptr;
    std::lock_guard<std::mutex> lock(fonts.mutex);
    return fonts.slots[i].vertical.get();
}

std::vector<const FontFamily *> vertical_families() {
    FontService &fonts = listed_service();
    for (std::size_t i = 0; i < fonts.slots.size(); ++i) resolve_on_main_thread(i);
    std::lock_guard<std::mutex> lock(fonts.mutex);
    std::vector<const FontFamily *> verticals;
    for (const FamilySlot &slot : fonts.slots)
        if (slot.vertical) verticals.push_back(slot.vertical.get());
    return verticals;
}

namespace {

// The family a face name names, ignoring case; null where it names none.
const FontFamily *family_named(const char *face_name_asked) {
    FontService &fonts = listed_service();
    const std::string folded =
        lowercase_cp1252(std::string(face_name_asked, strnlen(face_name_asked, LF_FACESIZE - 1)));
    const auto found = fonts.slot_by_name.find(folded);
    if (found != fonts.slot_by_name.end())
        if (const FontFamily *family = resolve_on_main_thread(found->second)) return family;
    if (!folded.empty() && folded[0] == '@') {
        const auto [first, last] = fonts.slot_by_vertical_name.equal_range(folded);
        for (auto slot = first; slot != last; ++slot)
            if (const FontFamily *vertical = vertical_family(slot->second)) return vertical;
    }
    return nullptr;
}

}  // namespace

const FontFamily *find_family(const char *face_name_asked) {
    const FontFamily *family = family_named(face_name_asked);
    return family ? family : default_family();
}

void note_family_problem(std::size_t i, const std::string &path, const std::string &problem) {
    FontService &fonts = listed_service();
    if (i >= fonts.slots.size()) return;
    {
        std::lock_guard<std::mutex> lock(fonts.mutex);
        if (!fonts.slots[i].problems_told) {
            fonts.slots[i].problems.emplace_back(path, problem);
            return;
        }
    }
    tell_file_problem(path, problem);
}

std::unique_ptr<RealizedFont> realize_font(const LOGFONTA &logfont) {
    const FontFamily *family = vertical_family_for(logfont);
    if (!family) family = find_family(logfont.lfFaceName);
    if (!family) return nullptr;
    const FontFace &chosen = find_face(*family, logfont);
    if (chosen.complete) return realize_face(*family, chosen, logfont);
    // A face that only competed for the representative is read in full
    // once it is realized.
    auto full = std::make_unique<FontFace>();
    std::string problem;
    if (!read_with_freetype(freetype_library(), listed_as(chosen), *full, problem)) {
        if (!problem.empty()) tell_file_problem(chosen.file, problem);
        auto font = realize_face(*family, chosen, logfont);
        font->open_failed = true;
        return font;
    }
    std::memcpy(full->logfont.lfFaceName, family->name.c_str(), family->name.size() + 1);
    auto font = realize_face(*family, *full, logfont);
    font->own_face = std::move(full);
    return font;
}

std::vector<FontFace> complete_faces(const FontFamily &family) {
    std::vector<FontFace> faces;
    for (const FontFace &face : family.faces) {
        FontFace full;
        OwnedFace ft_face;
        std::string problem;
        if (!read_with_freetype(freetype_library(), listed_as(face), full, problem, &ft_face)) {
            if (!problem.empty()) tell_file_problem(face.file, problem);
            continue;
        }
        const bool measures = measures_space(ft_face.get(), full);
        if (!measures) continue;
        std::memcpy(full.logfont.lfFaceName, family.name.c_str(), family.name.size() + 1);
        faces.push_back(std::move(full));
    }
    return faces;
}

const FontFace &find_face(const FontFamily &family, const LOGFONTA &logfont) {
    // Faces that tie go in the family's own order, so that a family's
    // enumerated LOGFONTA realizes its representative face.
    const FaceRequest request = request_of(logfont);
    const FontFace *best = &family.faces.front();
    for (const FontFace &face : family.faces)
        if (nearer(request, traits_of(face), traits_of(*best))) best = &face;
    return *best;
}

namespace {

bool is_cjk_charset(BYTE charset) {
    return charset == SHIFTJIS_CHARSET || charset == HANGEUL_CHARSET || charset == JOHAB_CHARSET ||
           charset == GB2312_CHARSET || charset == CHINESEBIG5_CHARSET;
}

// A face that an enumeration by name finds by another of its names: the
// whole family (a second language's family name), or the one face (its full
// name).
struct NamedFace {
    std::size_t slot;
    std::string file;  // empty for the whole family
    FT_Long index;
};

// Every family's name and every sfnt face's other names, folded, to the
// faces they find. Read on the first enumeration by a name that is no
// family's, and never for the program's own run, which asks for none.
const std::multimap<std::string, NamedFace> &other_names() {
    static std::multimap<std::string, NamedFace> names;
    static std::once_flag read;
    std::call_once(read, [] {
        FontService &fonts = listed_service();
        for (const auto &[folded, slot] : fonts.slot_by_name) {
            names.emplace(lowercase_cp1252(folded), NamedFace{slot, "", 0});
            for (const ListedFace &face : fonts.slots[slot].members) {
                LookupNames found;
                if (!is_sfnt(face) ||
                    !peek_sfnt_lookup_names(FontFile(face.path), face.index, found))
                    continue;
                if (!found.second_family.empty())
                    names.emplace(lowercase_cp1252(found.second_family), NamedFace{slot, "", 0});
                if (!found.full_name.empty())
                    names.emplace(lowercase_cp1252(found.full_name),
                                  NamedFace{slot, face.path, face.index});
            }
        }
    });
    return names;
}

}  // namespace

const FontFamily *vertical_family_for(const LOGFONTA &logfont) {
    // test_east_asian_font_selection: "@" alone with a CJK character set
    // selects a vertical face of that character set.
    if (std::strcmp(logfont.lfFaceName, "@") != 0 || !is_cjk_charset(logfont.lfCharSet))
        return nullptr;
    for (const FontFamily *family : vertical_families())
        if (std::any_of(family->faces.begin(), family->faces.end(),
                        [&](const FontFace &face) { return has_charset(face, logfont.lfCharSet); }))
            return family;
    return nullptr;
}

std::vector<FontFace> faces_named(const char *face_name_asked) {
    if (const FontFamily *family = family_named(face_name_asked)) return complete_faces(*family);
    const std::string asked(face_name_asked, strnlen(face_name_asked, LF_FACESIZE - 1));
    const auto found = other_names().equal_range(lowercase_cp1252(asked));
    if (found.first == found.second) return {};
    // The first family the name finds; all of it, or the faces it names.
    const std::size_t slot = found.first->second.slot;
    const FontFamily *family = resolve_on_main_thread(slot);
    if (!family) return {};
    std::vector<FontFace> faces = complete_faces(*family);
    const bool whole = std::any_of(found.first, found.second, [&](const auto &entry) {
        return entry.second.slot == slot && entry.second.file.empty();
    });
    if (whole) return faces;
    faces.erase(std::remove_if(faces.begin(), faces.end(),
                               [&](const FontFace &face) {
                                   return std::none_of(found.first, found.second,
                                                       [&](const auto &entry) {
                                                           return entry.second.file == face.file &&
                                                                  entry.second.index == face.index;
                                                       });
                               }),
                faces.end());
    return faces;
}

}  // namespace dm12_gdi
