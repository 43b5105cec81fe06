#include "font_trace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "font_peek.h"

namespace dm12_gdi {

bool tracing() {
    static const bool on = [] {
        const char *value = std::getenv("DUMP_METRICS12_TRACE");
        return value && *value && std::strcmp(value, "0") != 0;
    }();
    return on;
}

void trace_file(const std::string &path, const std::string &what) {
    if (!tracing()) return;
    std::fprintf(stderr, "%s: font file '%s': %s\n", program_invocation_short_name, path.c_str(),
                 what.c_str());
}

namespace {

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

// How each named instance of a family got its name, and the names the cut
// to 31 bytes made one family.
std::vector<std::string> naming_trace(const std::vector<ListedFace> &members) {
    std::vector<std::string> lines;
    std::vector<std::string> full_names;
    for (const ListedFace &member : members) {
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

}  // namespace

void trace_left_out(std::vector<std::string> *trace, const std::string &path, long index,
                    const Problems &problems, std::size_t problems_before, const char *otherwise) {
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

std::string family_trace(const std::string &name, const std::vector<ListedFace> &members,
                         bool offered, const std::vector<std::string> &trace) {
    const std::string program = program_invocation_short_name;
    std::string told = program + ": family '" + name + "': " + std::to_string(members.size()) +
                       " listed, " + (offered ? "offered" : "none offered") + "\n";
    std::vector<std::string> lines = naming_trace(members);
    lines.insert(lines.end(), trace.begin(), trace.end());
    for (const std::string &line : lines) told.append(program).append(":").append(line) += '\n';
    return told;
}

}  // namespace dm12_gdi
