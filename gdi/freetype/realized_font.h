// A logical font realized as a FreeType face at its size, and the ABC widths
// of its glyphs.
#ifndef DUMP_METRICS12_REALIZED_FONT_H
#define DUMP_METRICS12_REALIZED_FONT_H

#include <array>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "font_face.h"
#include "font_file.h"

namespace dm12_gdi {

// The widths of codes 32 to 127 of one face at one size.
struct CodeWidths {
    std::array<ABCFLOAT, 96> widths{};
    std::array<bool, 96> measured{};  // false where the glyph could not be read
};

// A face at a size: what a glyph's widths depend on.
struct SizedFace {
    std::string file;
    FT_Long index = 0;
    long pixels_per_em = 0, stretch_num = 1, stretch_den = 1;
    bool emboldened = false;
    bool operator<(const SizedFace &other) const {
        return std::tie(file, index, pixels_per_em, stretch_num, stretch_den, emboldened) <
               std::tie(other.file, other.index, other.pixels_per_em, other.stretch_num,
                        other.stretch_den, other.emboldened);
    }
};

struct RealizedFont {
    const FontFamily *family = nullptr;
    const FontFace *face = nullptr;
    std::unique_ptr<FontFace> own_face;  // where `face` was read for this font alone
    OwnedFace ft_face;  // opened on the first glyph not measured before
    bool open_failed = false;
    bool symbol = false;  // codes are looked up at 0xF000 + code first
    long pixels_per_em = 0;
    int sbit_strike = -1;  // bitmap-only TrueType faces: the strike drawn, if any
    // A horizontal stretch, applied to the glyph's box in whole pixels and to
    // its advance.
    Stretch stretch;
    // Bold asked of a face that is not: GDI simulates it, each glyph inked one
    // pixel wider and advancing one pixel further.
    bool emboldened = false;
    // Outline TrueType faces: the hinted advances the font holds for this
    // size (hdmx), if any.
    std::vector<unsigned char> device_advances;
    // The character set the font is realized in: the one asked for where the
    // face covers it, else the face's own.
    BYTE charset = ANSI_CHARSET;
    // Glyphs measured before, by index: codes the font lacks all measure
    // glyph 0, and some fonts map several codes to one glyph.
    std::vector<std::pair<FT_UInt, std::pair<bool, ABCFLOAT>>> measured_glyphs;
};

// `face` of `family` sized for `logfont`. The face's file is opened when a
// glyph is first measured.
std::unique_ptr<RealizedFont> realize_face(const FontFamily &family, const FontFace &face,
                                           const LOGFONTA &logfont);

// The A, B and C widths of `code` in pixels; false where the font file or the
// glyph cannot be read.
bool glyph_widths(RealizedFont &font, unsigned code, ABCFLOAT &widths);

// The face and size `font` measures.
SizedFace sized_face_of(const RealizedFont &font);

// Measures codes 32 to 127 of `family`'s representative at the size of its
// own LOGFONTA as a realized font measures them, with `ft_face`, open; `sized` receives the face
// and size. False where the face's file changed while it was measured: nothing is then measured.
bool measure_representative(const FontFamily &family, OwnedFace ft_face, SizedFace &sized,
                            CodeWidths &widths);

// Whether `face`, open as `ft_face`, measures the space at its enumerated
// size as a realized font would: a face that cannot is not offered.
bool measures_space(FT_Face ft_face, const FontFace &face);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_REALIZED_FONT_H
