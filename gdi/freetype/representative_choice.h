// A family's representative: its faces read as far as GDI's order of them
// needs, the first in that order that can be measured read in full and kept
// open, the others after it in GDI's order.
#ifndef DUMP_METRICS12_REPRESENTATIVE_CHOICE_H
#define DUMP_METRICS12_REPRESENTATIVE_CHOICE_H

#include <memory>
#include <string>
#include <vector>

#include "font_listing.h"

namespace dm12_gdi {

// `listed`'s faces, read, ordered and tried as its representative, with
// `library`; null where none is offered. The representative's face stays
// open in `opened`, and no other. Problems with the files go to `problems`,
// and where `trace` is given, what chose the representative and what left
// faces out.
std::unique_ptr<FontFamily> choose_representative(const ListedFamily &listed, FT_Library library,
                                                  OwnedFace &opened, Problems &problems,
                                                  std::vector<std::string> *trace);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_REPRESENTATIVE_CHOICE_H
