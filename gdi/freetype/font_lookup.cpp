#include "font_lookup.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "font_names.h"
#include "font_peek.h"
#include "font_service.h"

namespace dm12_gdi {

namespace {

// A face name as asked, at most 31 bytes, folded as Windows compares names.
std::string folded_name(const char *face_name_asked) {
    return lowercase_cp1252(
        std::string(face_name_asked, strnlen(face_name_asked, LF_FACESIZE - 1)));
}

// The family a face name names, ignoring case; null where it names none.
const FontFamily *family_named(const char *face_name_asked) {
    const std::string folded = folded_name(face_name_asked);
    const std::size_t found = family_index(folded);
    if (found < family_count())
        if (const FontFamily *family = resolve_on_main_thread(found)) return family;
    if (!folded.empty() && folded[0] == '@')
        for (std::size_t i : families_with_vertical_name(folded))
            if (const FontFamily *vertical = vertical_family(i)) return vertical;
    return nullptr;
}

bool has_face(const ListedFamily &family, const ListedFace &wanted) {
    return std::any_of(family.members.begin(), family.members.end(), [&](const ListedFace &face) {
        return face.path == wanted.path && face.index == wanted.index;
    });
}

bool has_face(const FontFamily &family, const ListedFace &wanted) {
    return std::any_of(family.faces.begin(), family.faces.end(), [&](const FontFace &face) {
        return face.file == wanted.path && face.index == wanted.index;
    });
}

// The family of fontconfig's match for the default family, where it offers
// that face; else the first family there is. The program's own run never
// asks for it.
const FontFamily *default_family() {
    const ListedFace &wanted = default_face();
    for (std::size_t i = 0; i < family_count(); ++i) {
        if (!has_face(listed_family(i), wanted)) continue;
        const FontFamily *family = resolve_on_main_thread(i);
        if (family && has_face(*family, wanted)) return family;
    }
    for (std::size_t i = 0; i < family_count(); ++i)
        if (const FontFamily *family = resolve_on_main_thread(i)) return family;
    return nullptr;
}

// A face that an enumeration by name finds by another of its names: the
// whole family (a second language's family name), or the one face (its full
// name).
struct NamedFace {
    std::size_t family;
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
        for (std::size_t i = 0; i < family_count(); ++i) {
            const ListedFamily &family = listed_family(i);
            names.emplace(family.lowercase_cp1252, NamedFace{i, "", 0});
            for (const ListedFace &face : family.members) {
                LookupNames found;
                if (!is_sfnt(face) ||
                    !peek_sfnt_lookup_names(FontFile(face.path), face.index, found))
                    continue;
                if (!found.second_family.empty())
                    names.emplace(lowercase_cp1252(found.second_family), NamedFace{i, "", 0});
                if (!found.full_name.empty())
                    names.emplace(lowercase_cp1252(found.full_name),
                                  NamedFace{i, face.path, face.index});
            }
        }
    });
    return names;
}

}  // namespace

const FontFamily *find_family(const char *face_name_asked) {
    const FontFamily *family = family_named(face_name_asked);
    return family ? family : default_family();
}

const FontFamily *vertical_family_for(const LOGFONTA &logfont) {
    if (!asks_for_any_vertical_family(logfont.lfFaceName, logfont.lfCharSet)) return nullptr;
    for (const FontFamily *family : vertical_families())
        if (std::any_of(family->faces.begin(), family->faces.end(),
                        [&](const FontFace &face) { return has_charset(face, logfont.lfCharSet); }))
            return family;
    return nullptr;
}

std::vector<FontFace> faces_named(const char *face_name_asked) {
    if (const FontFamily *family = family_named(face_name_asked)) return complete_faces(*family);
    const auto found = other_names().equal_range(folded_name(face_name_asked));
    if (found.first == found.second) return {};
    // The first family the name finds; all of it, or the faces it names.
    const std::size_t first = found.first->second.family;
    const FontFamily *family = resolve_on_main_thread(first);
    if (!family) return {};
    std::vector<FontFace> faces = complete_faces(*family);
    const bool whole = std::any_of(found.first, found.second, [&](const auto &entry) {
        return entry.second.family == first && entry.second.file.empty();
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

const FontFace &find_face(const FontFamily &family, const LOGFONTA &logfont) {
    // Faces that tie go in the family's own order, so that a family's
    // enumerated LOGFONTA realizes its representative face.
    const FaceRequest request = request_of(logfont);
    const FontFace *best = &family.faces.front();
    for (const FontFace &face : family.faces)
        if (nearer(request, traits_of(face), traits_of(*best))) best = &face;
    return *best;
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
        if (!measures_space(ft_face.get(), full)) continue;
        std::memcpy(full.logfont.lfFaceName, family.name.c_str(), family.name.size() + 1);
        faces.push_back(std::move(full));
    }
    return faces;
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

}  // namespace dm12_gdi
