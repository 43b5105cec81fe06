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

#include <algorithm>
#include <cctype>
#include <condition_variable>
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

namespace {

// One face as fontconfig lists it.
struct ListedFace {
    std::string path;
    FT_Long index = 0;
    std::string format;  // FC_FONTFORMAT: "TrueType", "CFF", "Type 1", "PCF", ...
    FileSnapshot snapshot;  // the file as the listing saw it
    bool operator<(const ListedFace &other) const {
        return std::tie(path, index) < std::tie(other.path, other.index);
    }
};

// A family as the listing knows it: its faces, and once resolved, what they
// offer. A slot is resolved once, by whichever thread asks first.
struct FamilySlot {
    std::string folded_name;
    std::vector<ListedFace> members;
    // Faces the listing already read in full to learn their names.
    std::vector<FontFace> read_members;
    enum class State { kListed, kResolving, kResolved } state = State::kListed;
    std::unique_ptr<FontFamily> family;  // null when resolved to nothing
    // Font files of the family that could not be read, or changed while the
    // program ran, and why: told on the main thread, in the order of the
    // families, whichever thread found them.
    std::vector<std::pair<std::string, std::string>> problems;
    bool problems_told = false;
};

struct FontService {
    bool listed = false;
    std::vector<FamilySlot> slots;  // by folded name
    std::map<std::string, std::size_t> slot_by_name;
    bool default_matched = false;  // the default family is matched when first wanted
    ListedFace default_face{"", -1, "", {}};
    std::mutex mutex;  // guards the slots' states and families
    std::condition_variable resolved;
    bool verticals_made = false;
    std::vector<std::unique_ptr<FontFamily>> verticals;
    std::map<std::string, std::size_t> vertical_by_name;

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

// Family names compare ignoring the case of ASCII letters.
std::string folded_case(std::string name) {
    for (char &c : name)
        if (static_cast<unsigned char>(c) < 0x80) c = static_cast<char>(std::tolower(c));
    return name;
}

bool family_order(const FontFamily &a, const FontFamily &b) {
    const int order = folded_case(a.name).compare(folded_case(b.name));
    return order != 0 ? order < 0 : a.name < b.name;
}

// Where a family has faces for several character sets, the enumeration
// takes the one a Western system's GDI takes: ANSI_CHARSET (Windows-1252),
// what DEFAULT_CHARSET stands for there; failing that, the first by
// charset_rank.
// The representative face: that of the first character set above, then
// regular, then bold, then italic, then bold italic; within those OpenType
// before Type 1 before bitmap copies, then the weight nearest normal, the
// lighter on a tie; of bitmap faces, the strike nearest 16 pixels, the
// smaller on a tie; then the file.
constexpr LONG kRepresentativeBitmapHeight = 16;

long height_distance(const FontFace &face, LONG height) {
    return face.strike < 0 ? 0 : std::labs(static_cast<long>(face.logfont.lfHeight) - height);
}

auto representative_key(const FontFace &face) {
    return std::make_tuple(
        charset_rank(face.logfont.lfCharSet), face.italic, face.bold, face.format_rank,
        std::labs(static_cast<long>(face.logfont.lfWeight) - FW_NORMAL), face.logfont.lfWeight,
        height_distance(face, kRepresentativeBitmapHeight), face.logfont.lfHeight,
        std::tie(face.file, face.index));
}

bool representative_order(const FontFace &a, const FontFace &b) {
    return representative_key(a) < representative_key(b);
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

// Reads face `face` with FreeType in full; false for a face that is not
// offered, with the file's problem in `problem` where it could not be read
// or is no longer the file listed.
bool read_with_freetype(FT_Library library, const ListedFace &listed, FontFace &face,
                        std::string &problem, FT_Face *opened = nullptr) {
    FT_Face ft_face = nullptr;
    if (!open_face(library, listed.path, listed.index, listed.snapshot, ft_face, problem))
        return false;
    face = FontFace{};
    face.file = listed.path;
    face.index = listed.index;
    face.snapshot = listed.snapshot;
    const bool offered = read_font_face(ft_face, face);
    if (offered && opened)
        *opened = ft_face;
    else
        FT_Done_Face(ft_face);
    return offered;
}

ListedFace listed_as(const FontFace &face) {
    return ListedFace{face.file, face.index, "", face.snapshot};
}

// The name a face's family goes by. For formats other than sfnt it is
// FreeType's family name, which fontconfig took and holds in its cache. An
// sfnt's legacy name (name ID 1) only its name table can tell: fontconfig
// keeps the typographic family (name ID 16) instead where there is one. The
// table is read on its own, and failing that the face itself (kept in
// `read`).
bool listed_family_name(FcPattern *pattern, ListedFace &face, std::string &name,
                        std::vector<FontFace> &read) {
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

// Lists the fonts fontconfig knows into families, by name.
void list_families(FontService &s) {
    s.listed = true;
    FcConfig *config = load_font_config_or_exit();
    FcPattern *everything = FcPatternCreate();
    FcObjectSet *objects =
        FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_STYLE, FC_FONTFORMAT, nullptr);
    std::vector<std::tuple<ListedFace, std::string, std::vector<FontFace>>> faces;
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
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern *pattern = set->fonts[i];
            ListedFace face;
            const bool type1_copy = pattern_string(pattern, FC_FONTFORMAT) == "Type 1" &&
                                    opentype_styles.count({pattern_string(pattern, FC_FAMILY),
                                                           pattern_string(pattern, FC_STYLE)});
            // Named instances of variable fonts (index above 0xFFFF) are not
            // faces of their own to GDI; the default instance stands for them.
            if (type1_copy || !listed_face_of(pattern, face) || face.index > 0xFFFF) continue;
            std::string name;
            std::vector<FontFace> read;
            if (listed_family_name(pattern, face, name, read) && !name.empty())
                faces.emplace_back(std::move(face), std::move(name), std::move(read));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(everything);

    FcConfigDestroy(config);

    // The same fonts give the same families whatever order the caches hold.
    std::sort(faces.begin(), faces.end(),
              [](const auto &a, const auto &b) { return std::get<0>(a) < std::get<0>(b); });
    std::map<std::string, std::vector<std::size_t>> by_name;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        if (i > 0 && !(std::get<0>(faces[i - 1]) < std::get<0>(faces[i]))) continue;  // twice
        // Names that agree in their 31 bytes, ignoring case, are one family.
        by_name[folded_case(std::get<1>(faces[i]))].push_back(i);
    }
    for (auto &[folded, members] : by_name) {
        FamilySlot slot;
        slot.folded_name = folded;
        for (std::size_t i : members) {
            slot.members.push_back(std::get<0>(faces[i]));
            for (FontFace &read : std::get<2>(faces[i])) slot.read_members.push_back(read);
        }
        s.slot_by_name.emplace(folded, s.slots.size());
        s.slots.push_back(std::move(slot));
    }
}

FontService &listed_service() {
    FontService &s = service();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.listed) list_families(s);
    return s;
}

struct OpenFace {
    FT_Face face = nullptr;
    OpenFace() = default;
    explicit OpenFace(FT_Face opened) : face(opened) {}
    OpenFace(OpenFace &&other) noexcept : face(std::exchange(other.face, nullptr)) {}
    OpenFace &operator=(OpenFace &&other) noexcept {
        std::swap(face, other.face);
        return *this;
    }
    OpenFace(const OpenFace &) = delete;
    OpenFace &operator=(const OpenFace &) = delete;
    ~OpenFace() {
        if (face) FT_Done_Face(face);
    }
};

using Problems = std::vector<std::pair<std::string, std::string>>;

// What chooses a representative: read from the face's own tables where they
// tell it, else by FreeType (the face then stays open in `ft_face`). A face
// alone in its family is its representative if any is: FreeType reads it
// at once.
bool read_deciding_fields(FT_Library library, const ListedFace &listed, bool alone, FontFace &face,
                          FT_Face &ft_face, Problems &problems) {
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
        return true;
    }
    if (read_with_freetype(library, listed, face, problem, &ft_face)) return true;
    if (!problem.empty()) problems.emplace_back(listed.path, problem);
    return false;
}

// A family's faces, read, ordered and tried as its representative; null
// where none is offered. The representative's face stays open in `opened`.
std::unique_ptr<FontFamily> resolve(const FamilySlot &slot, FT_Library library, OpenFace &opened,
                                    Problems &problems) {
    std::vector<FontFace> faces;
    std::vector<OpenFace> open;  // beside faces, while the representative is chosen
    for (const ListedFace &listed : slot.members) {
        const auto read = std::find_if(
            slot.read_members.begin(), slot.read_members.end(),
            [&](const FontFace &f) { return f.file == listed.path && f.index == listed.index; });
        FontFace face;
        FT_Face ft_face = nullptr;
        if (read != slot.read_members.end())
            face = *read;
        else if (!read_deciding_fields(library, listed, slot.members.size() == 1, face, ft_face,
                                       problems))
            continue;
        // Only the best face so far stays open: a family of large faces (CJK
        // collections) would else hold them all at once.
        const std::size_t best = best_face(faces);
        const bool better = faces.empty() || representative_order(face, faces[best]);
        if (better && !faces.empty()) open[best] = OpenFace();
        faces.push_back(std::move(face));
        open.emplace_back(better ? ft_face : nullptr);
        if (!better && ft_face) FT_Done_Face(ft_face);
    }
    while (!faces.empty()) {
        const std::size_t best = best_face(faces);
        FontFace &face = faces[best];
        bool offered = true;
        if (!open[best].face) {
            FontFace full;
            FT_Face ft_face = nullptr;
            std::string problem;
            offered = read_with_freetype(library, listed_as(face), full, problem, &ft_face);
            if (!problem.empty()) problems.emplace_back(face.file, problem);
            open[best] = OpenFace(ft_face);
            // A file replaced since it was listed may hold another family.
            if (offered && folded_case(face_name(full.logfont.lfFaceName)) != slot.folded_name) {
                problems.emplace_back(face.file, kFileChanged);
                offered = false;
            }
            // Read in full, a peeked face may order otherwise: try again.
            if (offered && representative_key(full) != representative_key(face)) {
                face = std::move(full);
                continue;
            }
            if (offered) face = std::move(full);
        }
        if (offered && measures_space(open[best].face, face)) {
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
            return family;
        }
        faces.erase(faces.begin() + static_cast<std::ptrdiff_t>(best));
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(best));
    }
    return nullptr;
}

// The problems found with a family's files are told once, by the main
// thread, when it first has the family: in the order of the enumeration,
// whichever thread found them.
void tell_problems(FontService &s, FamilySlot &slot) {
    Problems problems;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (slot.problems_told) return;
        slot.problems_told = true;
        problems.swap(slot.problems);
    }
    for (const auto &[path, problem] : problems) tell_file_problem(path, problem);
}

const FontFamily *resolve_on_main_thread(std::size_t i) {
    return resolve_family(i, freetype_library());
}

// The face of fontconfig's best match for "sans-serif", matched once, when
// a name that is no family's first asks for the default family: the
// program's own run never does. The configuration is loaded again for it,
// rather than kept (with its caches) through every run. Each step fails only
// for want of memory, and fontconfig would match a pattern left half made.
void match_default_face(FontService &s) {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.default_matched) return;
    FcConfig *config = load_font_config_or_exit();
    FcPattern *wanted = FcNameParse(reinterpret_cast<const FcChar8 *>("sans-serif"));
    if (!wanted || !FcConfigSubstitute(config, wanted, FcMatchPattern)) {
        if (wanted) FcPatternDestroy(wanted);
        FcConfigDestroy(config);
        throw std::bad_alloc();
    }
    FcDefaultSubstitute(wanted);
    FcResult result = FcResultNoMatch;
    if (FcPattern *match = FcFontMatch(config, wanted, &result)) {
        listed_face_of(match, s.default_face);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(wanted);
    FcConfigDestroy(config);
    if (result == FcResultOutOfMemory) throw std::bad_alloc();
    s.default_matched = true;
}

const FontFamily *default_family() {
    FontService &s = listed_service();
    match_default_face(s);
    const ListedFace &wanted = s.default_face;
    for (std::size_t i = 0; i < s.slots.size(); ++i) {
        const auto &members = s.slots[i].members;
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
    for (std::size_t i = 0; i < s.slots.size(); ++i)
        if (const FontFamily *family = resolve_on_main_thread(i)) return family;
    return nullptr;
}

}  // namespace

std::size_t family_count() { return listed_service().slots.size(); }

const FontFamily *resolve_family(std::size_t i, FT_Library library, FT_Face *opened) {
    if (opened) *opened = nullptr;
    FontService &s = listed_service();
    if (i >= s.slots.size()) return nullptr;
    FamilySlot &slot = s.slots[i];
    bool resolved_before = false;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        s.resolved.wait(lock, [&] { return slot.state != FamilySlot::State::kResolving; });
        resolved_before = slot.state == FamilySlot::State::kResolved;
        if (!resolved_before) slot.state = FamilySlot::State::kResolving;
    }
    if (resolved_before) {
        if (library == freetype_library()) tell_problems(s, slot);
        return slot.family.get();
    }
    OpenFace face;
    Problems problems;
    std::unique_ptr<FontFamily> family;
    try {
        family = resolve(slot, library, face, problems);
        // A face that FreeType failed to read for want of memory is no face
        // missing from the family: the family is left for a later try.
        throw_if_freetype_ran_out();
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            slot.state = FamilySlot::State::kListed;
        }
        s.resolved.notify_all();
        throw;
    }
    if (opened) *opened = std::exchange(face.face, nullptr);
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        slot.family = std::move(family);
        slot.problems.insert(slot.problems.end(), problems.begin(), problems.end());
        slot.state = FamilySlot::State::kResolved;
    }
    s.resolved.notify_all();
    if (library == freetype_library()) tell_problems(s, slot);
    return slot.family.get();
}

std::uintmax_t largest_file_of(std::size_t i) {
    const FontService &s = listed_service();
    std::uintmax_t largest = 0;
    if (i < s.slots.size())
        for (const ListedFace &face : s.slots[i].members)
            largest = std::max(largest, static_cast<std::uintmax_t>(face.snapshot.size));
    return largest;
}

std::vector<const FontFamily *> vertical_families() {
    FontService &s = listed_service();
    std::vector<const FontFamily *> horizontal;
    for (std::size_t i = 0; i < s.slots.size(); ++i)
        horizontal.push_back(resolve_on_main_thread(i));
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.verticals_made) {
        s.verticals_made = true;
        for (const FontFamily *family : horizontal) {
            if (!family || !family->faces.front().cjk) continue;
            auto vertical = std::make_unique<FontFamily>(*family);
            vertical->name = ("@" + family->name).substr(0, LF_FACESIZE - 1);
            vertical->vertical = true;
            for (FontFace &face : vertical->faces)
                std::memcpy(face.logfont.lfFaceName, vertical->name.c_str(),
                            vertical->name.size() + 1);
            s.verticals.push_back(std::move(vertical));
        }
        std::stable_sort(s.verticals.begin(), s.verticals.end(),
                         [](const auto &a, const auto &b) { return family_order(*a, *b); });
        for (std::size_t i = 0; i < s.verticals.size(); ++i)
            s.vertical_by_name.emplace(folded_case(s.verticals[i]->name), i);
    }
    std::vector<const FontFamily *> verticals;
    for (const auto &family : s.verticals) verticals.push_back(family.get());
    return verticals;
}

namespace {

// The family a face name names, ignoring case; null where it names none.
const FontFamily *family_named(const char *face_name_asked) {
    FontService &s = listed_service();
    const std::string folded =
        folded_case(std::string(face_name_asked, strnlen(face_name_asked, LF_FACESIZE - 1)));
    const auto found = s.slot_by_name.find(folded);
    if (found != s.slot_by_name.end())
        if (const FontFamily *family = resolve_on_main_thread(found->second)) return family;
    if (!folded.empty() && folded[0] == '@') {
        const std::vector<const FontFamily *> verticals = vertical_families();
        const auto vertical = s.vertical_by_name.find(folded);
        if (vertical != s.vertical_by_name.end()) return verticals[vertical->second];
    }
    return nullptr;
}

}  // namespace

const FontFamily *find_family(const char *face_name_asked) {
    const FontFamily *family = family_named(face_name_asked);
    return family ? family : default_family();
}

void note_family_problem(std::size_t i, const std::string &path, const std::string &problem) {
    FontService &s = listed_service();
    if (i >= s.slots.size()) return;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.slots[i].problems_told) {
            s.slots[i].problems.emplace_back(path, problem);
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
        FT_Face ft_face = nullptr;
        std::string problem;
        if (!read_with_freetype(freetype_library(), listed_as(face), full, problem, &ft_face)) {
            if (!problem.empty()) tell_file_problem(face.file, problem);
            continue;
        }
        const bool measures = measures_space(ft_face, full);
        FT_Done_Face(ft_face);
        if (!measures) continue;
        std::memcpy(full.logfont.lfFaceName, family.name.c_str(), family.name.size() + 1);
        faces.push_back(std::move(full));
    }
    return faces;
}

const FontFace &find_face(const FontFamily &family, const LOGFONTA &logfont) {
    // As GDI's font mapper weighs them: the character set above all, then
    // slant, weight and, for bitmap faces, height (a strike bigger than asked
    // for is the worse of two equally near); faces that tie go in the
    // family's own order, so that a family's enumerated LOGFONTA realizes its
    // representative face.
    const LONG weight = logfont.lfWeight > 0 ? logfont.lfWeight : FW_NORMAL;
    const bool italic = logfont.lfItalic != 0;
    const LONG asked_height = usable_height(logfont.lfHeight);
    const LONG height = asked_height < 0 ? -asked_height : asked_height;
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
        FontService &s = listed_service();
        for (const auto &[folded, slot] : s.slot_by_name) {
            names.emplace(folded_name(folded), NamedFace{slot, "", 0});
            for (const ListedFace &face : s.slots[slot].members) {
                LookupNames found;
                if (!is_sfnt(face) ||
                    !peek_sfnt_lookup_names(FontFile(face.path), face.index, found))
                    continue;
                if (!found.second_family.empty())
                    names.emplace(folded_name(found.second_family), NamedFace{slot, "", 0});
                if (!found.full_name.empty())
                    names.emplace(folded_name(found.full_name),
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
    const auto found = other_names().equal_range(folded_name(asked));
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
