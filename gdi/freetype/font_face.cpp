// How one face of a font file looks to the enumeration: its family name, font
// type, and the logical font and text metrics GDI reports for it.

#include "font_face.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "device_metrics.h"
#include "font_names.h"
#include "font_peek.h"
#include "font_tables.h"
#include "varied_metrics.h"

#include FT_ADVANCES_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H
#include FT_FONT_FORMATS_H
#include FT_MULTIPLE_MASTERS_H
#include FT_WINFONTS_H

namespace dm12_gdi {

namespace {

// The legacy family name as the enumeration reads it: from the Windows
// records, FreeType's copy of the name table.
std::string windows_family_name(FT_Face face) {
    std::vector<NameRecord> records;
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) == 0)
            records.push_back({name.platform_id, name.encoding_id, name.language_id, name.name_id,
                               name.string, name.string_len});
    }
    return legacy_family_name(records);
}

bool has_table(FT_Face face, FT_ULong tag) {
    FT_ULong length = 0;
    return FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) == 0 && length > 0;
}

FontFormat format_of(FT_Face face) {
    FontFormat format;
    const char *name = FT_Get_Font_Format(face);
    format.name = name ? name : "";
    format.sfnt = FT_IS_SFNT(face);
    format.cff_table = has_table(face, TTAG_CFF);
    format.glyf_table = has_table(face, TTAG_glyf);
    return format;
}

std::vector<CmapEncoding> cmap_encodings(FT_Face face) {
    std::vector<CmapEncoding> encodings;
    encodings.reserve(static_cast<std::size_t>(face->num_charmaps));
    for (FT_Int i = 0; i < face->num_charmaps; ++i)
        encodings.push_back({face->charmaps[i]->platform_id, face->charmaps[i]->encoding_id});
    return encodings;
}

// What an sfnt's OS/2 code pages and weight class and its cell (ascent plus
// descent, in font units) decide of a face, whether FreeType read them or
// they were peeked. face.bold is set before.
void set_sfnt_fields(SfntFacts facts, FontFace &face) {
    facts.bold = face.bold;
    const SfntLogfont decided = sfnt_logfont(facts);
    face.cjk = decided.cjk;
    face.code_pages = facts.has_code_pages ? facts.code_pages : 0;
    face.units_per_em = facts.units_per_em;
    face.cell_height = decided.cell_height;
    LOGFONTA &lf = face.logfont;
    lf.lfHeight = decided.height;
    lf.lfWeight = decided.weight;
    lf.lfCharSet = decided.charset;
}

// The average advance of the printable ASCII glyphs, in font units: the
// stand-in for OS/2 xAvgCharWidth where a font has none.
long average_ascii_advance(FT_Face face) {
    std::vector<long> advances;
    for (FT_ULong code = 32; code < 127; ++code) {
        const FT_UInt glyph = FT_Get_Char_Index(face, code);
        FT_Fixed advance = 0;
        if (glyph != 0 && FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) == 0)
            advances.push_back(advance);
    }
    const long mean = mean_positive_advance(advances);
    return mean ? mean : face->max_advance_width / 2;
}

// The instance's normalized coordinates, avar applied.
bool blend_coordinates(FT_Face face, std::vector<double> &coordinates) {
    FT_MM_Var *variations = nullptr;
    if (FT_Get_MM_Var(face, &variations) != 0) return false;
    std::vector<FT_Fixed> blend(variations->num_axis);
    const bool read = FT_Get_Var_Blend_Coordinates(face, variations->num_axis, blend.data()) == 0;
    FT_Done_MM_Var(face->glyph->library, variations);
    for (const FT_Fixed value : blend) coordinates.push_back(static_cast<double>(value) / 65536);
    return read;
}

// OS/2's usWinAscent and usWinDescent at a named instance: the file's own
// values with MVAR's deltas, as FreeType gives them in a face opened at the
// instance. A face switched to it from another instance (open_face) may
// hold the other's: FreeType 2.13 leaves one or the other as it was.
void instance_win_metrics(FT_Face face, long &ascent, long &descent) {
    std::vector<unsigned char> os2, mvar;
    std::vector<double> coordinates;
    if (!load_sfnt_table(face, TTAG_OS2, os2)) return;
    const FieldReader fields(os2);
    const long file_ascent = fields.get(os2::kWinAscent),
               file_descent = fields.get(os2::kWinDescent);
    if (!fields.ok) return;
    ascent = file_ascent;
    descent = file_descent;
    long ascent_delta = 0, descent_delta = 0;
    // A file whose MVAR does not parse offers no instance (variations_fault).
    if (!load_sfnt_table(face, TTAG_MVAR, mvar) || !blend_coordinates(face, coordinates) ||
        !varied_metric(mvar, FT_MAKE_TAG('h', 'c', 'l', 'a'), coordinates, ascent_delta) ||
        !varied_metric(mvar, FT_MAKE_TAG('h', 'c', 'l', 'd'), coordinates, descent_delta))
        return;
    ascent += ascent_delta;
    descent += descent_delta;
}

void fill_scalable(FT_Face ft_face, FontFace &face) {
    const auto *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(ft_face, FT_SFNT_OS2));
    if (os2 && os2->version == 0xFFFF) os2 = nullptr;
    const auto *hhea = static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(ft_face, FT_SFNT_HHEA));

    // FreeType's own ascender and descender where there is no hhea (Type 1).
    const VerticalExtents hhea_extents =
        hhea ? VerticalExtents{hhea->Ascender, -hhea->Descender}
             : VerticalExtents{ft_face->ascender, -ft_face->descender};
    long win_ascent = os2 ? os2->usWinAscent : 0, win_descent = os2 ? os2->usWinDescent : 0;
    if (os2 && FT_IS_NAMED_INSTANCE(ft_face))
        instance_win_metrics(ft_face, win_ascent, win_descent);
    const VerticalExtents cell =
        cell_extents(os2 != nullptr, win_ascent, win_descent, hhea_extents);
    SfntFacts facts;
    facts.has_code_pages = os2 && os2->version >= 1;
    facts.code_pages = os2 ? os2->ulCodePageRange1 : 0;
    facts.weight_class = os2 ? os2->usWeightClass : 0;
    facts.cell = cell.ascent + cell.descent;
    facts.units_per_em = ft_face->units_per_EM ? ft_face->units_per_EM : 1000;
    set_sfnt_fields(facts, face);
    face.average_width =
        os2 && os2->xAvgCharWidth != 0 ? os2->xAvgCharWidth : average_ascii_advance(ft_face);
    std::vector<unsigned char> vdmx;
    if (uses_device_metrics(face.font_type, FT_IS_NAMED_INSTANCE(ft_face)) &&
        load_sfnt_table(ft_face, TTAG_VDMX, vdmx))
        face.vdmx = screen_vdmx(read_vdmx(vdmx));

    LOGFONTA &lf = face.logfont;
    lf.lfWidth = enumerated_width(lf.lfHeight, face.average_width, face.cell_height);
    lf.lfCharSet = scalable_charset(lf.lfCharSet, cmap_encodings(ft_face));
    lf.lfPitchAndFamily = pitch_and_family(FT_IS_FIXED_WIDTH(ft_face), os2 ? os2->panose : nullptr,
                                           os2 ? os2->sFamilyClass : 0);
    face.metrics = scalable_text_metrics(lf, face.font_type, cell, face.units_per_em,
                                         ft_face->max_advance_width);
}

void set_style(bool italic, bool bold, FontFace &face) {
    face.italic = italic;
    face.bold = bold;
    face.logfont.lfItalic = italic ? 255 : 0;
}

// FreeType's style flags of an sfnt with outlines: from OS/2 fsSelection
// (italic, oblique, bold) where there is an OS/2 table, else from head's
// macStyle.
bool peek_sfnt_face(const FontFile &file, long index, FontFace &face) {
    SfntStyle style;
    if (!peek_sfnt_style(file, index, style)) return false;
    face.font_type = style.postscript_outlines ? DEVICE_FONTTYPE : TRUETYPE_FONTTYPE;
    face.format_rank = format_rank(true, face.font_type);
    if (style.has_os2)
        set_style(style.fs_selection & (1 << 9 | 1 << 0), style.fs_selection & (1 << 5), face);
    else
        set_style(style.mac_style & 2, style.mac_style & 1, face);
    const VerticalExtents cell = cell_extents(style.has_os2, style.win_ascent, style.win_descent,
                                              {style.hhea_ascender, -style.hhea_descender});
    SfntFacts facts;
    facts.has_code_pages = style.has_os2 && style.os2_version >= 1;
    facts.code_pages = style.code_pages;
    facts.weight_class = style.has_os2 ? style.weight_class : 0;
    facts.cell = cell.ascent + cell.descent;
    facts.units_per_em = style.units_per_em;
    set_sfnt_fields(facts, face);
    return true;
}

bool peek_fnt_face(const FontFile &file, long index, FontFace &face) {
    FntStyle style;
    if (!peek_fnt_style(file, index, style)) return false;
    face.font_type = RASTER_FONTTYPE;
    face.format_rank = format_rank(false, face.font_type);
    face.strike = 0;
    // FreeType calls an FNT face bold from weight 800.
    set_style(style.italic, style.weight >= 800, face);
    face.logfont.lfWeight = face_weight(style.weight, face.bold);
    face.logfont.lfCharSet = style.charset;
    face.logfont.lfHeight = static_cast<LONG>(style.pixel_height);
    return true;
}

bool peek_pcf_face(const FontFile &file, FontFace &face) {
    PcfStyle style;
    if (!peek_pcf_style(file, style)) return false;
    face.font_type = RASTER_FONTTYPE;
    face.format_rank = format_rank(false, face.font_type);
    face.strike = 0;
    set_style(style.italic, style.bold, face);
    LOGFONTA &lf = face.logfont;
    lf.lfHeight = static_cast<LONG>(style.height);
    lf.lfWeight = face_weight(0, style.bold);
    lf.lfCharSet = ANSI_CHARSET;
    return true;
}

void fill_bitmap(FT_Face ft_face, FontFace &face) {
    // A bitmap face carries one strike in every format FreeType reads but FON,
    // whose fonts are faces of their own; a file with more strikes offers its
    // first.
    face.strike = 0;
    const FT_Bitmap_Size &size = ft_face->available_sizes[0];
    long average = size.width;
    FT_WinFNT_HeaderRec fnt;
    const bool has_fnt_header = FT_Get_WinFNT_Header(ft_face, &fnt) == 0;
    if (has_fnt_header) average = fnt.avg_width;
    LOGFONTA &lf = face.logfont;
    lf.lfHeight = size.height;
    lf.lfWidth = static_cast<LONG>(average);
    // An FNT header states the character set, weight and family that GDI
    // reports; FreeType's style flags call a face bold only from weight 800.
    const bool bold = (ft_face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    lf.lfWeight = face_weight(has_fnt_header ? fnt.weight : 0, bold);
    lf.lfCharSet = has_fnt_header ? fnt.charset : BYTE{ANSI_CHARSET};
    lf.lfPitchAndFamily = raster_pitch_and_family(FT_IS_FIXED_WIDTH(ft_face), has_fnt_header,
                                                  has_fnt_header ? fnt.pitch_and_family : 0);

    // The size metrics are the strike's only once it is selected; before, the
    // ascent read as 0.
    const bool selected = FT_Select_Size(ft_face, face.strike) == 0 && ft_face->size;
    face.metrics = bitmap_text_metrics(
        lf, static_cast<LONG>(selected ? ft_face->size->metrics.ascender / 64 : 0),
        static_cast<LONG>(size.width));
}

// The mean of the glyphs' nonzero advances in font units, as OS/2 defines
// xAvgCharWidth: at a named instance, with its variations applied. From hmtx
// and HVAR where the font has it; else each glyph is loaded at the instance.
long mean_advance(FT_Face face) {
    if (face->num_glyphs <= 0) return 0;
    const auto glyphs = static_cast<FT_UInt>(face->num_glyphs);
    std::vector<unsigned char> hmtx, hvar;
    std::vector<double> coordinates;
    const auto *hhea = static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    long mean = 0;
    if (hhea && load_sfnt_table(face, TTAG_hmtx, hmtx) && load_sfnt_table(face, TTAG_HVAR, hvar) &&
        blend_coordinates(face, coordinates) &&
        mean_varied_advance(hmtx, hhea->number_Of_HMetrics, glyphs, hvar, coordinates, mean))
        return mean;
    std::vector<FT_Fixed> advances(glyphs);
    if (FT_Get_Advances(face, 0, glyphs, FT_LOAD_NO_SCALE, advances.data()) != 0) return 0;
    return mean_positive_advance(std::vector<long>(advances.begin(), advances.end()));
}

}  // namespace

bool load_sfnt_table(FT_Face face, FT_ULong tag, std::vector<unsigned char> &bytes) {
    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) != 0 || length == 0) return false;
    bytes.resize(length);
    return FT_Load_Sfnt_Table(face, tag, 0, bytes.data(), &length) == 0;
}

void set_instance_style(const InstanceStyle &style, FontFace &face) {
    const std::string family = face_name(style.family);
    std::memcpy(face.logfont.lfFaceName, family.c_str(), family.size() + 1);
    set_style(style.italic, style.bold, face);
    face.logfont.lfWeight = static_cast<LONG>(style.weight);
    face.metrics.tmWeight = face.logfont.lfWeight;
    face.metrics.tmItalic = face.logfont.lfItalic;
}

void set_instance_width(FT_Face ft_face, FontFace &face) {
    const long average = mean_advance(ft_face);
    if (average <= 0 || face.cell_height <= 0) return;
    face.average_width = average;
    face.logfont.lfWidth = enumerated_width(face.logfont.lfHeight, average, face.cell_height);
    face.metrics.tmAveCharWidth = face.logfont.lfWidth;
}

bool peek_font_face(const FontFile &file, long index, const std::string &format, FontFace &face) {
    face = FontFace{};
    face.index = index;
    face.snapshot = file.snapshot;
    face.complete = false;
    face.format = format;
    if (format == "TrueType" || format == "CFF")
        return peek_sfnt_face(file, face_index(index), face);
    if (format == "Windows FNT") return peek_fnt_face(file, index, face);
    if (format == "PCF") return peek_pcf_face(file, face);
    return false;
}

bool has_charset(const FontFace &face, BYTE charset) {
    return covers_charset(face.logfont.lfCharSet, face.code_pages, charset);
}

FaceTraits traits_of(const FontFace &face) {
    FaceTraits traits;
    traits.charset = face.logfont.lfCharSet;
    traits.italic = face.italic;
    traits.bold = face.bold;
    traits.format_rank = face.format_rank;
    traits.weight = face.logfont.lfWeight;
    traits.bitmap = face.strike >= 0;
    traits.height = face.logfont.lfHeight;
    return traits;
}

bool read_font_face(FT_Face ft_face, FontFace &face) {
    const DWORD font_type = font_type_of(format_of(ft_face));
    if (font_type == 0) return false;
    face.font_type = font_type;
    if (face.font_type == RASTER_FONTTYPE && ft_face->num_fixed_sizes < 1) return false;

    std::string family = FT_IS_SFNT(ft_face) ? windows_family_name(ft_face) : std::string();
    if (family.empty() && ft_face->family_name) family = ft_face->family_name;
    if (family.empty()) return false;
    family = face_name(family);

    LOGFONTA &lf = face.logfont;
    std::memcpy(lf.lfFaceName, family.c_str(), family.size() + 1);
    face.italic = (ft_face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    face.bold = (ft_face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    face.format_rank = format_rank(FT_IS_SFNT(ft_face), face.font_type);
    face.bitmap_only = face.font_type == TRUETYPE_FONTTYPE && !FT_IS_SCALABLE(ft_face);
    lf.lfItalic = face.italic ? 255 : 0;
    lf.lfOutPrecision = kEnumeratedOutPrecision;
    lf.lfClipPrecision = kEnumeratedClipPrecision;
    lf.lfQuality = kEnumeratedQuality;

    if (face.font_type == RASTER_FONTTYPE)
        fill_bitmap(ft_face, face);
    else
        fill_scalable(ft_face, face);
    return true;
}

}  // namespace dm12_gdi
