// A TrueType font's device metrics, read from its VDMX and hdmx tables into
// the plain data GDI's rules take. A table that does not parse (cut
// short, counts past its end, sizes out of order or outside their group) reads
// as absent: the font is then measured as a font without it.
#ifndef DUMP_METRICS12_DEVICE_METRICS_H
#define DUMP_METRICS12_DEVICE_METRICS_H

#include <cstddef>
#include <vector>

#include "gdi_rules.h"

namespace dm12_gdi {

// The VDMX table in `bytes`; no ratio where it does not parse.
VdmxTable read_vdmx(const std::vector<unsigned char> &bytes);

// The widths of the hdmx record for `pixels_per_em` of a font of
// `glyph_count` glyphs, one per glyph; empty where the table has no record for
// the size or does not parse.
std::vector<unsigned char> read_hdmx(const std::vector<unsigned char> &bytes,
                                     std::size_t glyph_count, long pixels_per_em);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_DEVICE_METRICS_H
