#include "realized_font.h"

#include <string>
#include <utility>

#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include "device_metrics.h"

namespace dm12_gdi {

namespace {

// Outlines hinted as the reference GDI hints them: by the font's own
// instructions where it has them, else by FreeType's auto-hinter; never from
// embedded bitmaps. The hdmx advances are GDI's rule, applied here where it
// says, not FreeType's, which would apply them by other rules of its own.
constexpr FT_Int32 kOutlineLoadFlags = FT_LOAD_NO_BITMAP | FT_LOAD_COMPUTE_METRICS;

bool select_charmap(FT_Face face, bool symbol) {
    if (symbol) {
        for (FT_Int i = 0; i < face->num_charmaps; ++i) {
            const FT_CharMap map = face->charmaps[i];
            if (map->platform_id == TT_PLATFORM_MICROSOFT && map->encoding_id == TT_MS_ID_SYMBOL_CS)
                return FT_Set_Charmap(face, map) == 0;
        }
    }
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0) return true;
    // Fonts with no Unicode map (bitmap and Type 1 fonts with encodings of
    // their own) are read through the map FreeType chose, else their first.
    if (!face->charmap && face->num_charmaps > 0)
        return FT_Set_Charmap(face, face->charmaps[0]) == 0;
    return true;
}

// The size a logical font asks of a face: pixels per em, and a stretch where
// its width is not the face's own average at that size. That average is taken
// on the em, where the enumeration's width is taken on the cell, so the two
// can differ by a pixel.
void choose_size(RealizedFont &font, const LOGFONTA &logfont) {
    const FontFace &face = *font.face;
    if (face.strike >= 0) return;
    font.pixels_per_em =
        pixels_per_em(face.units_per_em, face.cell_height, logfont.lfHeight, face.vdmx);
    font.stretch = width_stretch(
        logfont.lfWidth,
        realized_average_width(face.average_width, font.pixels_per_em, face.units_per_em));
}

// The strike of a bitmap-only TrueType face drawn at `pixels_per_em`; -1
// where it has none, and its glyphs are blank outlines.
int strike_at(FT_Face ft_face, long pixels_per_em) {
    for (FT_Int i = 0; i < ft_face->num_fixed_sizes; ++i)
        if (ft_face->available_sizes[i].y_ppem == pixels_per_em * 64) return i;
    return -1;
}

// A glyph of a bitmap-only TrueType face. To GDI these are TrueType fonts
// whose outlines are empty: at a size the font has a strike for, the
// scaler draws the strike's bitmap with the strike's own metrics (bearing,
// width, advance); at any other size, and for a glyph the strike lacks, the
// blank outline with its advance from hmtx, scaled and rounded.
bool measure_bitmap_only_glyph(const RealizedFont &font, FT_UInt glyph, ABCFLOAT &widths) {
    const FT_Face ft_face = font.ft_face.get();
    if (font.sbit_strike >= 0 && FT_Load_Glyph(ft_face, glyph, FT_LOAD_DEFAULT) == 0 &&
        ft_face->glyph->format == FT_GLYPH_FORMAT_BITMAP) {
        const FT_GlyphSlot slot = ft_face->glyph;
        const long advance = rounded_pixels(slot->advance.x);
        if (slot->bitmap.width == 0) {
            widths = blank_glyph_widths(advance, font.stretch, font.emboldened);
            return true;
        }
        const long left = slot->bitmap_left;
        const long right = left + static_cast<long>(slot->bitmap.width);
        widths = inked_glyph_widths(left * 64, right * 64, advance, font.stretch, font.emboldened);
        return true;
    }
    FT_Fixed units = 0;
    if (FT_Get_Advance(ft_face, glyph, FT_LOAD_NO_SCALE, &units) != 0) return false;
    const long advance =
        mul_div(static_cast<long>(units), font.pixels_per_em, font.face->units_per_em);
    widths = blank_glyph_widths(advance, font.stretch, font.emboldened);
    return true;
}

// Sizes `ft_face` for `font` and selects its character map; the font then
// measures with it.
bool adopt_face(RealizedFont &font, OwnedFace owned) {
    const FontFace &face = *font.face;
    font.ft_face = std::move(owned);
    const FT_Face ft_face = font.ft_face.get();
    bool sized = true;
    if (face.strike >= 0) {
        sized = FT_Select_Size(ft_face, face.strike) == 0;
    } else if (face.bitmap_only) {
        // FreeType sizes such a face only at one of its strikes; elsewhere
        // its blank glyphs need no size, their advances are scaled here.
        font.sbit_strike = strike_at(ft_face, font.pixels_per_em);
        if (font.sbit_strike >= 0) sized = FT_Select_Size(ft_face, font.sbit_strike) == 0;
    } else if (!ft_face->size || ft_face->size->metrics.x_ppem != font.pixels_per_em ||
               ft_face->size->metrics.y_ppem != font.pixels_per_em) {
        // Sizing runs the font's control-value program: not again for a face
        // already at this size (the enumeration sized it to try its space).
        sized = FT_Set_Pixel_Sizes(ft_face, 0, static_cast<FT_UInt>(font.pixels_per_em)) == 0;
    }
    return sized && select_charmap(ft_face, font.symbol);
}

// FreeType 2.12 takes a hinted glyph's advance from the hdmx table itself,
// whatever FT_LOAD_COMPUTE_METRICS says (later versions honour the flag), and
// it reads tables that GDI's rule reads as absent: records out of order, a
// count past the end, another version. It skips fixed-pitch fonts, by the
// post table it keeps in the face; marked so there (the face's flags, set
// when it was opened, stay as they were), its glyphs keep their hinted
// advances, and hdmx applies by our rule alone.
void keep_freetype_from_hdmx(FT_Face ft_face) {
    if (auto *post = static_cast<TT_Postscript *>(FT_Get_Sfnt_Table(ft_face, FT_SFNT_POST)))
        post->isFixedPitch = 1;
}

// The advances an outline TrueType face's hdmx table holds for the font's
// size.
void read_device_metrics(RealizedFont &font) {
    const FT_Face ft_face = font.ft_face.get();
    if (font.face->bitmap_only || font.face->font_type != TRUETYPE_FONTTYPE) return;
    keep_freetype_from_hdmx(ft_face);
    if (!uses_device_metrics(font.face->font_type, FT_IS_NAMED_INSTANCE(ft_face))) return;
    std::vector<unsigned char> bytes;
    if (load_sfnt_table(ft_face, TTAG_hdmx, bytes))
        font.device_advances =
            read_hdmx(bytes, static_cast<std::size_t>(ft_face->num_glyphs), font.pixels_per_em);
}

// The face's file, opened and sized on the first glyph measured. A face that
// cannot be opened or sized stays failed: every later glyph fails too,
// rather than being measured at some other size.
bool open_file_face(RealizedFont &font) {
    if (font.ft_face || font.open_failed) return font.ft_face != nullptr;
    const FontFace &face = *font.face;
    std::string problem;
    OwnedFace ft_face =
        open_face(freetype_library(), face.file, face.index, face.snapshot, problem);
    if (!ft_face) {
        if (!problem.empty()) tell_file_problem(face.file, problem);
        font.open_failed = true;
        return false;
    }
    if (!adopt_face(font, std::move(ft_face))) {
        font.ft_face.reset();
        font.open_failed = true;
        return false;
    }
    read_device_metrics(font);
    return true;
}

bool measure_loaded_glyph(RealizedFont &font, FT_UInt glyph, ABCFLOAT &widths) {
    FT_Face face = font.ft_face.get();
    if (font.face->bitmap_only) return measure_bitmap_only_glyph(font, glyph, widths);

    const bool bitmap = font.face->strike >= 0;
    if (FT_Load_Glyph(face, glyph, bitmap ? FT_LOAD_DEFAULT : kOutlineLoadFlags) != 0) return false;
    const FT_GlyphSlot slot = face->glyph;
    const long advance =
        device_advance(font.device_advances, glyph, rounded_pixels(slot->advance.x));

    if (bitmap) {
        // A bitmap face is realized at its strike, unstretched.
        widths = bitmap_glyph_widths(advance, font.emboldened);
    } else if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points > 0) {
        // The black box spans every point of the hinted outline, on the curve
        // and off it, as a glyph's bounding box is defined in the font's own
        // tables; a curve's control point may lie beyond the curve itself.
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        widths = inked_glyph_widths(box.xMin, box.xMax, advance, font.stretch, font.emboldened);
    } else if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        widths = blank_glyph_widths(advance, font.stretch, font.emboldened);
    } else {
        return false;
    }
    return true;
}

bool measure_glyph(RealizedFont &font, unsigned code, ABCFLOAT &widths) {
    if (!open_file_face(font)) return false;
    FT_Face face = font.ft_face.get();
    const CodeLookup lookup = codes_to_look_up(code, font.symbol);
    FT_UInt glyph = 0;
    for (std::size_t i = 0; i < lookup.count && glyph == 0; ++i)
        glyph = FT_Get_Char_Index(face, lookup.codes[i]);
    for (const auto &[known, result] : font.measured_glyphs) {
        if (known != glyph) continue;
        widths = result.second;
        return result.first;
    }
    const bool measured = measure_loaded_glyph(font, glyph, widths);
    font.measured_glyphs.push_back({glyph, {measured, widths}});
    return measured;
}

}  // namespace

std::unique_ptr<RealizedFont> realize_face(const FontFamily &family, const FontFace &face,
                                           const LOGFONTA &logfont) {
    auto font = std::make_unique<RealizedFont>();
    font->family = &family;
    font->face = &face;
    font->symbol = face.logfont.lfCharSet == SYMBOL_CHARSET;
    font->emboldened = simulates_bold(face.logfont.lfWeight, logfont.lfWeight);
    font->charset = realized_charset(logfont.lfCharSet, face.logfont.lfCharSet, face.code_pages);
    choose_size(*font, logfont);
    return font;
}

bool glyph_widths(RealizedFont &font, unsigned code, ABCFLOAT &widths) {
    // A glyph measured now is checked against the file: once it has changed,
    // this and every later glyph fail rather than be read from another font.
    const std::size_t known = font.measured_glyphs.size();
    const bool measured = measure_glyph(font, code, widths);
    if (font.measured_glyphs.size() == known || face_file_unchanged(font.ft_face.get()))
        return measured;
    tell_file_problem(font.face->file, kFileChanged);
    font.ft_face.reset();
    font.open_failed = true;
    font.measured_glyphs.clear();
    return false;
}

SizedFace sized_face_of(const RealizedFont &font) {
    return {font.face->file,  font.face->index, font.pixels_per_em,
            font.stretch.num, font.stretch.den, font.emboldened};
}

bool measure_representative(const FontFamily &family, OwnedFace ft_face, SizedFace &sized,
                            CodeWidths &widths) {
    const FontFace &face = family.faces.front();
    const auto font = realize_face(family, face, face.logfont);
    sized = sized_face_of(*font);
    // A face that cannot be sized measures nothing.
    if (!adopt_face(*font, std::move(ft_face))) return face_file_unchanged(font->ft_face.get());
    read_device_metrics(*font);
    for (unsigned code = 32; code <= 127; ++code)
        widths.measured[code - 32] = measure_glyph(*font, code, widths.widths[code - 32]);
    // Whatever was read after the file changed may be another font's.
    if (face_file_unchanged(font->ft_face.get())) return true;
    widths.measured.fill(false);
    return false;
}

bool measures_space(FT_Face ft_face, const FontFace &face) {
    RealizedFont font;
    font.face = &face;
    font.symbol = face.logfont.lfCharSet == SYMBOL_CHARSET;
    choose_size(font, face.logfont);
    ABCFLOAT widths{};
    // The face stays the caller's, also where memory runs out on the way.
    struct Lent {
        RealizedFont &font;
        ~Lent() { static_cast<void>(font.ft_face.release()); }
    } lent{font};
    return adopt_face(font, OwnedFace(ft_face)) && measure_glyph(font, ' ', widths);
}

}  // namespace dm12_gdi
