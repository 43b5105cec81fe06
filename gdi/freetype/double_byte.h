// Codes of the double-byte character sets (Japanese, Chinese, Korean) as
// GetCharABCWidthsFloatA takes them: lead byte and trail byte in one number.
#ifndef DUMP_METRICS12_DOUBLE_BYTE_H
#define DUMP_METRICS12_DOUBLE_BYTE_H

#include <vector>

#include "gdi.h"

namespace dm12_gdi {

// The Unicode characters of double-byte codes first..last (each lead byte
// << 8 | trail byte) in `charset`'s code page; a code that is no character
// there gives 0. Empty where `charset` is no CJK character set
// (is_cjk_charset) or its code page cannot be converted at all.
std::vector<char32_t> double_byte_characters(BYTE charset, unsigned first, unsigned last);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_DOUBLE_BYTE_H
