// Measuring ahead of the program. While the program measures one family,
// worker threads (one per CPU the process may run on, none on one CPU)
// resolve the families the enumeration reports next and measure codes 32 to
// 127 of each representative at the size of its enumerated LOGFONTA, each
// thread with a FreeType library of its own; the program's own queries then
// find the widths ready. A worker runs at most a few families ahead, and a
// family's widths are dropped once the program has taken them (those of a
// face with a CJK code page once its "@" family has too), so memory stays
// that of a few families. The widths are those the program would measure
// itself, whatever the number of threads or their timing.
#ifndef DUMP_METRICS12_MEASURE_AHEAD_H
#define DUMP_METRICS12_MEASURE_AHEAD_H

#include <cstddef>

#include "font_service.h"
#include "realized_font.h"

namespace dm12_gdi {

// Family `i` of the enumeration, which reports the families in order, from
// the calling (main) thread: resolved, and its representative measured, here
// or by a worker. Null where the family has no face to offer.
const FontFamily *enumerated_family(std::size_t i);

// The enumeration has ended: workers stop, and widths not taken are dropped.
void end_enumeration();

// The widths prepared for `font`'s face at `font`'s size, if any: taken
// from the store.
bool take_prepared_widths(const RealizedFont &font, CodeWidths &widths);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_MEASURE_AHEAD_H
