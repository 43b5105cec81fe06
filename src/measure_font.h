// Measuring one font: the widths of codes 32 to 127 as rows of the table.
#ifndef DUMP_METRICS12_MEASURE_FONT_H
#define DUMP_METRICS12_MEASURE_FONT_H

#include <cstdio>

#include "gdi.h"

// Realizes `logfont` in a measuring context of its own and writes one width
// row to `table` for every code from 32 to 127 that the platform can measure,
// and one failure line on standard output for every code it cannot. The rows
// are keyed by the realized face name followed by the tag of `font_type`.
void dump_metrics(std::FILE *table, const LOGFONTA *logfont, DWORD font_type);

// The face label's buffer, terminator included.
inline constexpr int kFaceLabelSize = 40;

// Forms the face label in `label` (kFaceLabelSize bytes): `face_name`, cut where
// it must be so that the tag of `font_type` and the terminator still fit, its
// control bytes made printable, then the tag.
void form_face_label(char *label, const char *face_name, DWORD font_type);

// Replaces each control byte of the terminated `name` (0x01 to 0x1F, 0x7F) by
// '?', as the platform writes a character it cannot show. A face name may hold
// any byte; a CR or LF would split the table's rows and the progress lines,
// and an escape would reach the terminal.
void make_printable(char *name);

#endif  // DUMP_METRICS12_MEASURE_FONT_H
