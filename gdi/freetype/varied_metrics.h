// A variable font's metrics at one instance, from its tables as bytes: the
// glyphs' advances from hmtx and HVAR, each plus the deltas its HVAR row gives
// at the instance's normalized coordinates (FreeType works out the regions'
// scalars again for every glyph; here they are worked out once), and the
// font-wide values MVAR varies.
#ifndef DUMP_METRICS12_VARIED_METRICS_H
#define DUMP_METRICS12_VARIED_METRICS_H

#include <cstdint>
#include <vector>

namespace dm12_gdi {

// The mean of the positive advances of the first `glyphs` glyphs
// (mean_positive_advance); `metrics_count` is hhea's numberOfHMetrics and
// `coordinates` the instance's normalized coordinates (avar applied), one per
// fvar axis. False where the tables do not hold what they should.
bool mean_varied_advance(const std::vector<unsigned char> &hmtx, unsigned metrics_count,
                         unsigned glyphs, const std::vector<unsigned char> &hvar,
                         const std::vector<double> &coordinates, long &mean);

// The delta MVAR gives the value tagged `tag` (such as 'hcla', OS/2's
// usWinAscent) at `coordinates`, rounded as FreeType rounds it: 0 where MVAR
// does not vary it. False where the table does not parse.
bool varied_metric(const std::vector<unsigned char> &mvar, std::uint32_t tag,
                   const std::vector<double> &coordinates, long &delta);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_VARIED_METRICS_H
