// DUMP_METRICS12_TRACE, set and not 0, has our GDI tell on standard error,
// family by family, the faces it found, the one it chose and why, each it
// left out and why, and how each named instance got its name, as FreeType's
// FT2_DEBUG and fontconfig's FC_DEBUG tell what they do. Font files that no
// family shows are told once each, as the listing reads them.
#ifndef DUMP_METRICS12_FONT_TRACE_H
#define DUMP_METRICS12_FONT_TRACE_H

#include <cstddef>
#include <string>
#include <vector>

#include "face_reading.h"

namespace dm12_gdi {

// Whether the trace is on.
bool tracing();

// Tells, under the trace, what became of a font file the listing read that
// no family shows.
void trace_file(const std::string &path, const std::string &what);

// Notes in `trace` (where the trace is on, else null) a face left out and
// why: the problem last noted, if noting it was what failed, else
// `otherwise`.
void trace_left_out(std::vector<std::string> *trace, const std::string &path, long index,
                    const Problems &problems, std::size_t problems_before,
                    const char *otherwise = "no outlines or bitmaps that GDI draws");

// Notes in `trace` the representative of `family` and the order of its
// other faces, each with the criterion that put it there and its size.
void trace_chosen(std::vector<std::string> *trace, const FontFamily &family, FT_Library library);

// What the trace tells of a family: `name`, its `members` as listed, whether
// it is offered, how its named instances got their names, and `trace`.
std::string family_trace(const std::string &name, const std::vector<ListedFace> &members,
                         bool offered, const std::vector<std::string> &trace);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_TRACE_H
