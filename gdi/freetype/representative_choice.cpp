#include "representative_choice.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "font_names.h"
#include "font_trace.h"
#include "realized_font.h"

namespace dm12_gdi {

namespace {

bool representative_order(const FontFace &a, const FontFace &b) {
    return representative_first(traits_of(a), a.file, a.index, traits_of(b), b.file, b.index);
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

// The family of `faces`, `best` its representative: every face carries the
// representative's name.
std::unique_ptr<FontFamily> family_of(std::vector<FontFace> faces, std::size_t best) {
    auto family = std::make_unique<FontFamily>();
    family->name = faces[best].logfont.lfFaceName;
    family->faces.push_back(std::move(faces[best]));
    for (std::size_t i = 0; i < faces.size(); ++i)
        if (i != best) family->faces.push_back(std::move(faces[i]));
    std::sort(family->faces.begin() + 1, family->faces.end(), representative_order);
    for (FontFace &face : family->faces)
        std::memcpy(face.logfont.lfFaceName, family->name.c_str(), family->name.size() + 1);
    return family;
}

}  // namespace

std::unique_ptr<FontFamily> choose_representative(const ListedFamily &listed, FT_Library library,
                                                  OwnedFace &opened, Problems &problems,
                                                  std::vector<std::string> *trace) {
    std::vector<FontFace> faces;
    std::vector<OwnedFace> open;  // beside faces, while the representative is chosen
    for (const ListedFace &member : listed.members) {
        const auto read = std::find_if(
            listed.read_members.begin(), listed.read_members.end(),
            [&](const FontFace &f) { return f.file == member.path && f.index == member.index; });
        FontFace face;
        OwnedFace ft_face;
        const std::size_t problems_before = problems.size();
        if (read != listed.read_members.end()) {
            face = *read;
        } else if (!read_deciding_fields(library, member, listed.members.size() == 1, face, ft_face,
                                         problems)) {
            trace_left_out(trace, member.path, member.index, problems, problems_before);
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
        // A face read in full that then ranked below another is closed here.
        for (std::size_t i = 0; i < open.size(); ++i)
            if (i != best) open[i].reset();
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
                lowercase_cp1252(face_name(full.logfont.lfFaceName)) != listed.lowercase_cp1252) {
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
        if (offered && measures_space(open[best].get(), face)) {
            opened = std::move(open[best]);
            auto family = family_of(std::move(faces), best);
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

}  // namespace dm12_gdi
