// What is wrong with a variable font's variation tables (gvar, cvar, HVAR,
// MVAR), found from their bytes before any glyph is measured. FreeType reads
// a glyph's variations only when it loads that glyph and skips what it cannot
// read, so a table cut short would draw some glyphs unvaried, or leave the
// control values or the metrics at the default's, without a word. Each check
// gives null where the table holds all it refers to, else what does not, to
// follow "its <tag> table ".
#ifndef DUMP_METRICS12_VARIATION_CHECKS_H
#define DUMP_METRICS12_VARIATION_CHECKS_H

#include <cstddef>
#include <vector>

namespace dm12_gdi {

// How many of gvar's first bytes gvar_damage needs: its header and glyph
// offsets, as its 20-byte header `header` says.
std::size_t gvar_start_size(const std::vector<unsigned char> &header);

// gvar, of `length` bytes, whose first bytes `start` holds (gvar_start_size
// of them, or all the table has where it is shorter), for a font of `glyphs`
// glyphs (maxp) and `axes` axes (fvar).
const char *gvar_damage(const std::vector<unsigned char> &start, std::size_t length,
                        std::size_t glyphs, std::size_t axes);

// cvar, HVAR and MVAR, whole, for a font of `axes` axes.
const char *cvar_damage(const std::vector<unsigned char> &table, std::size_t axes);
const char *hvar_damage(const std::vector<unsigned char> &table, std::size_t axes);
const char *mvar_damage(const std::vector<unsigned char> &table, std::size_t axes);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_VARIATION_CHECKS_H
