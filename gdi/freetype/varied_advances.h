// The advances of a variable font's glyphs at one instance, from its hmtx and
// HVAR tables as bytes: each glyph's advance plus the deltas its HVAR row
// gives at the instance's normalized coordinates. FreeType works out the
// regions' scalars again for every glyph; here they are worked out once.
#ifndef DUMP_METRICS12_VARIED_ADVANCES_H
#define DUMP_METRICS12_VARIED_ADVANCES_H

#include <vector>

namespace dm12_gdi {

// The mean of the positive advances of the first `glyphs` glyphs
// (mean_positive_advance); `metrics_count` is hhea's numberOfHMetrics and
// `coordinates` the instance's normalized coordinates (avar applied), one per
// fvar axis. False where the tables do not hold what they should.
bool mean_varied_advance(const std::vector<unsigned char> &hmtx, unsigned metrics_count,
                         unsigned glyphs, const std::vector<unsigned char> &hvar,
                         const std::vector<double> &coordinates, long &mean);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_VARIED_ADVANCES_H
