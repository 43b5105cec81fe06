// Windows' results in Wine's gdi32 test test_vdmx (which passes on Windows),
// for its font's VDMX group in a ratio record of the ANSI set: each positive
// height with the ppem it is realized at (tmHeight - tmInternalLeading), over
// the heights the group decides. The group itself is what its em heights
// reveal (asked for -ppem, the font reports tmAscent = yMax and tmDescent =
// -yMin); tests/fonts/make_fonts.py writes the same group into the test fonts.
#ifndef DUMP_METRICS12_TEST_VDMX_EXPECTATIONS_H
#define DUMP_METRICS12_TEST_VDMX_EXPECTATIONS_H

#include "gdi.h"

namespace dm12_test_vdmx {

struct HeightPpem {
    LONG height;
    long ppem;
};

// The group, ppem: yMax, yMin.
constexpr long kGroup[][3] = {
    {10, 10, -2}, {11, 11, -2}, {12, 13, -3}, {13, 13, -3}, {14, 15, -4}, {15, 16, -4},
    {16, 17, -4}, {17, 18, -4}, {18, 19, -4}, {19, 21, -4}, {20, 22, -4}, {21, 23, -4},
    {22, 23, -4}, {23, 24, -5}, {24, 26, -6}, {25, 26, -6}, {26, 27, -6}, {27, 29, -6},
    {28, 30, -6}, {29, 30, -6}, {30, 32, -6}, {31, 33, -6}, {32, 33, -7},
};

constexpr HeightPpem kWindowsHeights[] = {
    {13, 11}, {14, 11}, {15, 11},  // 11 is 13 tall, 12 is 16
    {16, 12}, {17, 13}, {18, 13},  // 12 and 13 are both 16 tall
    {19, 14}, {20, 15}, {21, 16}, {22, 17}, {23, 18},
    {24, 18}, {25, 19}, {26, 20}, {27, 21}, {28, 22},  // 21 and 22 are both 27 tall
    {29, 23}, {30, 23}, {31, 23}, {32, 24},
};

}  // namespace dm12_test_vdmx

#endif  // DUMP_METRICS12_TEST_VDMX_EXPECTATIONS_H
