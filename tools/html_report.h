// The comparison of two width tables as one self-contained HTML page, to look
// at rather than read: the summary, an overview of where the rows differ (one
// line per font, one cell per code), and for each differing row a drawing of
// its widths in both tables on one pixel scale.
#ifndef DUMP_METRICS12_HTML_REPORT_H
#define DUMP_METRICS12_HTML_REPORT_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "table_comparison.h"

// What the page says about the run beside the comparison itself.
struct ReportHeading {
    std::array<std::string, 2> files;  // the tables' names as given
    double min_equal = 100.0;
    bool agree = false;
};

// At most this many differing rows are drawn, whole fonts at a time in the
// overview's order, so that a comparison where everything differs still makes
// a page a browser opens at once; the overview shows every font.
inline constexpr std::size_t kMaxDrawnRows = 3000;

// Face-label bytes (Windows-1252) as HTML text: UTF-8, with & < > " '
// escaped. Bytes Windows-1252 leaves undefined, and control bytes, are shown
// as \xNN so that no byte of the name is lost.
std::string html_of_windows1252(std::string_view bytes);

// The overview's class for a differing row: what differs, then by how much.
// 'v' the advance, 'b' the black box (advance equal), 's' only the space
// before or after; 1 at most one pixel (or only the sign of a zero), 2 at
// most three, 3 more.
std::string difference_class(const RowDifference &difference);

// The whole page, as UTF-8.
std::string html_report(const Comparison &comparison, const ReportHeading &heading);

#endif  // DUMP_METRICS12_HTML_REPORT_H
