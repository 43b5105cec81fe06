// GDI's rules, as pure functions over plain data: what a face offers in, what
// GDI reports or chooses out. The rest of our GDI gathers the data (from
// fontconfig, the fonts' own tables and FreeType) and calls these; the tests
// state each rule as a table of cases. docs/gdi-rules.md gives the evidence.
#ifndef DUMP_METRICS12_GDI_RULES_H
#define DUMP_METRICS12_GDI_RULES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "gdi.h"

namespace dm12_gdi {

// --- numbers -----------------------------------------------------------------

// a * b / c rounded to nearest, halves away from zero, as Windows' MulDiv;
// -1, as MulDiv, where c is 0 or the result does not fit 32 bits.
long mul_div(long a, long b, long c);

// The height a logical font is realized at: its own, but -1 (one pixel per
// em) for a height past GDI's limit of 65535 either way.
LONG usable_height(LONG height);

// --- the device metrics of TrueType fonts ------------------------------------
// Tables a font's maker computed by running its hints: the hinted height of
// each size (VDMX) and the hinted advances of each size (hdmx). A glyph is
// hinted at every size: gasp, which may ask for no grid-fitting at some sizes,
// tells how to render on grayscale devices, and GDI's widths do not change
// with the rendering (docs/gdi-rules.md has the evidence).

// GDI reports the widths of its bi-level rasterizer, in which a font's
// instructions may move a glyph's advance ("compatible widths"); FreeType's
// TrueType interpreter version 35 emulates it (its default, 40, keeps
// advances linear). FREETYPE_PROPERTIES may still choose another.
constexpr unsigned kTrueTypeInterpreterVersion = 35;

// Whether a face's device metrics apply to it: those of TrueType outlines,
// and only at the outlines they were computed from, which a variable font's
// named instance varies.
bool uses_device_metrics(DWORD font_type, bool named_instance);

// One size of a VDMX group: its pixels per em, and the hinted top and bottom
// of all its glyphs, in pixels.
struct VdmxRecord {
    long pixels_per_em = 0;
    long y_max = 0, y_min = 0;
};

// A VDMX ratio record and its group: the aspect ratios x : y_start to
// x : y_end it is for (all 0 for any), the glyphs it was computed over (1 the
// Windows ANSI set, 0 all glyphs), and its sizes, ascending.
struct VdmxRatio {
    unsigned charset = 0;
    unsigned x_ratio = 0, y_start_ratio = 0, y_end_ratio = 0;
    std::vector<VdmxRecord> records;
};

struct VdmxTable {
    std::vector<VdmxRatio> ratios;  // in the table's order
};

// The sizes GDI takes from `vdmx` for a screen, whose pixels are square: those
// of the first ratio record that matches 1:1 and is for the Windows ANSI set
// (Windows ignores the others, in versions 0 and 1 alike); empty where none is.
std::vector<VdmxRecord> screen_vdmx(const VdmxTable &vdmx);

// Pixels per em for a logical font's height, of a face whose cell (ascent
// plus descent) and em are given in font units: a positive height is the
// cell's, a negative one the em's, zero a default size. A positive height is
// first looked up in the face's screen VDMX sizes: the first size whose hinted
// height equals it, else the one before the first that is taller; past the
// sizes either way, the cell decides.
long pixels_per_em(long units_per_em, long cell_height, LONG height,
                   const std::vector<VdmxRecord> &vdmx = {});

// A glyph's advance in pixels at a size whose hdmx record is `widths` (empty
// where the font has none for the size): the record's, for a glyph it covers;
// else `advance`, the hinted glyph's own.
long device_advance(const std::vector<unsigned char> &widths, unsigned glyph, long advance);

// A face's average width in whole pixels at `pixels_per_em`, from its average
// in font units, as a stretch is measured against: scaled by the em's scale
// as a 16.16 fraction, itself rounded, then rounded to a whole pixel. The
// Windows build under Wine measures so: with 1,000 units per em, an average of
// 350 at 30 pixels per em is 10 and one of 1,016 at 31 is 32, where exact
// scaling would give 10.5 and 31.496.
long realized_average_width(long average_width, long pixels_per_em, long units_per_em);

// --- character sets -------------------------------------------------------

// The character set of the first code-page bit of OS/2 ulCodePageRange1;
// OEM_CHARSET where none names one.
BYTE charset_of_code_pages(unsigned long code_pages);

// Where a character set comes among those a family's faces may have: by the
// order of the OS/2 code-page bits that name them (Windows-1252 first), then
// the others by number.
int charset_rank(BYTE charset);

// Whether a face of character set `own` and OS/2 code pages `code_pages`
// covers `charset`.
bool covers_charset(BYTE own, unsigned long code_pages, BYTE charset);

// Whether `charset` is a Japanese, Chinese or Korean one, whose code page
// holds double-byte characters.
bool is_cjk_charset(BYTE charset);

// Whether a logical font asks for any vertical family: the face name "@"
// alone with a CJK character set, which selects the first vertical family
// with a face in that set (test_east_asian_font_selection).
bool asks_for_any_vertical_family(const char *face_name, BYTE charset);

// --- the enumerated LOGFONTA and TEXTMETRICA ------------------------------------

// The size a scalable face is enumerated at, in pixels per em.
constexpr long kEnumeratedPixelsPerEm = 32;

// What every enumerated face reports as lfOutPrecision (OUT_STROKE_PRECIS),
// lfClipPrecision (CLIP_STROKE_PRECIS) and lfQuality (DRAFT_QUALITY).
constexpr BYTE kEnumeratedOutPrecision = 3;
constexpr BYTE kEnumeratedClipPrecision = 2;
constexpr BYTE kEnumeratedQuality = 1;

// A face as FreeType reads it: the format it names ("TrueType", "CFF",
// "Type 1", "PCF"...), whether it is an sfnt, and its outline tables.
struct FontFormat {
    std::string name;
    bool sfnt = false;
    bool cff_table = false, glyf_table = false;
};

// The font type GDI reports for a face: TRUETYPE_FONTTYPE for TrueType
// outlines (glyf), DEVICE_FONTTYPE for PostScript ones (CFF, Type 1),
// RASTER_FONTTYPE for bitmaps (PCF, BDF, FNT); 0 for a face GDI draws none of
// and does not offer: an sfnt without glyf (colour bitmap fonts, X11's .otb),
// one whose outlines are CFF2 (FreeType calls it CFF, but it has no CFF
// table), and any other format (PFR).
DWORD font_type_of(const FontFormat &format);

// A face's ascent and descent in font units, the descent positive below the
// baseline.
struct VerticalExtents {
    long ascent = 0, descent = 0;
};

// The ascent and descent of an sfnt face's cell: OS/2's usWinAscent and
// usWinDescent where it has an OS/2 table and either is nonzero, as Windows
// takes them; else `fallback`, hhea's.
VerticalExtents cell_extents(bool has_os2, long win_ascent, long win_descent,
                             const VerticalExtents &fallback);

// A face's weight: the one its tables state (OS/2 usWeightClass, an FNT
// header's weight), else FW_BOLD or FW_NORMAL by its style; `stated` is 0
// where they state none.
LONG face_weight(unsigned long stated, bool bold);

// What an sfnt face's tables give its enumerated LOGFONTA.
struct SfntFacts {
    bool has_code_pages = false;  // an OS/2 table of version 1 on
    unsigned long code_pages = 0;  // its ulCodePageRange1
    unsigned long weight_class = 0;  // OS/2 usWeightClass; 0 where there is no OS/2
    bool bold = false;  // the face's style
    long cell = 0;  // ascent plus descent (cell_extents), in font units
    long units_per_em = 0;
};

struct SfntLogfont {
    bool cjk = false;  // a CJK code page (bits 17 to 21): the face also makes an "@" family
    long cell_height = 0;  // in font units: the cell, else the em where the cell has no height
    LONG height = 0;  // lfHeight: the cell at 32 pixels per em
    LONG weight = FW_NORMAL;  // face_weight
    BYTE charset = ANSI_CHARSET;  // of the first code page; ANSI_CHARSET without code pages
};

SfntLogfont sfnt_logfont(const SfntFacts &facts);

// The average width of a face whose OS/2 table gives none (or of a variable
// font's instance, whose advances its variations change): the mean of the
// positive advances among `advances`, in font units, rounded half up, as
// OS/2 defines xAvgCharWidth; 0 where none is positive.
long mean_positive_advance(const std::vector<long> &advances);

// lfWidth of a face enumerated at lfHeight `height`: its average width's
// share of the cell, both in font units. A negative average, which no font
// should have, is taken as it stands, as the Windows build under Wine takes
// it.
LONG enumerated_width(LONG height, long average_width, long cell_height);

// A cmap subtable's platform and encoding IDs.
struct CmapEncoding {
    unsigned platform = 0, encoding = 0;
};

// The character set of a scalable face whose OS/2 code pages give
// `code_page_charset` and whose cmap has subtables `encodings`:
// SYMBOL_CHARSET where a Windows symbol subtable (3, 0) is there and no
// Windows Unicode one (3, 1 or 3, 10); else `code_page_charset`.
BYTE scalable_charset(BYTE code_page_charset, const std::vector<CmapEncoding> &encodings);

// The family bits and pitch of lfPitchAndFamily: FF_MODERN for fixed pitch;
// else from the PANOSE family kind and serif style; the IBM font class only
// where PANOSE says nothing at all (`panose` null where there is no OS/2).
BYTE pitch_and_family(bool fixed, const unsigned char *panose, int ibm_family_class);

// lfPitchAndFamily of a raster face: FIXED_PITCH or VARIABLE_PITCH, with the
// family bits of its FNT header where it has one (`fnt_pitch_and_family`),
// else FF_MODERN for a fixed pitch.
BYTE raster_pitch_and_family(bool fixed, bool has_fnt_header, BYTE fnt_pitch_and_family);

// The TEXTMETRICA enumerated with a scalable face's LOGFONTA `logfont`, of
// font type `font_type`, whose cell is `cell` and widest advance
// `max_advance` in font units: tmAscent is the ascent's share of tmHeight, so
// that the two round together (test_text_metrics: MulDiv(tmHeight, ascent,
// ascent + descent)), or the ascent scaled on its own where the cell has no
// height; the internal leading is the cell less the em. Each face reports
// tmFirstChar 32, tmLastChar 255, tmDefaultChar 31, tmBreakChar 32 and the
// screen's 96 by 96 dots per inch. tmPitchAndFamily is lfPitchAndFamily's
// family with TMPF_FIXED_PITCH (0x1) for a variable pitch, as its name does
// not say, TMPF_VECTOR (0x2), and TMPF_TRUETYPE (0x4) or TMPF_DEVICE (0x8).
TEXTMETRICA scalable_text_metrics(const LOGFONTA &logfont, DWORD font_type,
                                  const VerticalExtents &cell, long units_per_em, long max_advance);

// The TEXTMETRICA enumerated with a raster face's LOGFONTA, whose strike's
// ascent and widest glyph are given in pixels: no internal leading, and
// tmPitchAndFamily without the outline bits.
TEXTMETRICA bitmap_text_metrics(const LOGFONTA &logfont, LONG ascent, LONG max_char_width);

// --- choosing a face ----------------------------------------------------------

// The generic family whose best match a face name of no family realizes:
// GDI's fallback for an unknown name is its default sans-serif face.
constexpr const char *kDefaultGenericFamily = "sans-serif";

// What GDI weighs of a face when it chooses one of a family's faces.
struct FaceTraits {
    BYTE charset = ANSI_CHARSET;
    bool italic = false, bold = false;
    int format_rank = 0;  // format_rank: one face in several formats
    LONG weight = FW_NORMAL;
    bool bitmap = false;  // a bitmap strike, whose height counts
    LONG height = 0;
};

// Where one face comes in several formats, which stands for it first: an
// sfnt (OpenType, whatever its outlines) 0, Type 1 1, a bitmap font 2.
int format_rank(bool sfnt, DWORD font_type);

// Whether `a` comes before `b` as a family's representative: the face in
// the first character set by charset_rank (Windows-1252 first), then regular,
// bold, italic, bold italic, then OpenType before Type 1 before bitmap, the
// weight nearest 400 (the lighter on a tie), then the height: of bitmap
// faces the strike nearest 16 pixels, and else (and on a tie) the smaller
// lfHeight.
bool representative_before(const FaceTraits &a, const FaceTraits &b);

// The order of a family's faces: representative_before, and between faces
// neither comes before, by file path, then by index in the file, so that the
// same fonts give the same choice whatever order fontconfig lists them in.
bool representative_first(const FaceTraits &a, const std::string &a_file, long a_index,
                          const FaceTraits &b, const std::string &b_file, long b_index);

// Whether a face that fontconfig lists in `format` is not read at all,
// because the same family and style is also listed as an sfnt (OpenType):
// a Type 1 face, which never comes before that copy (format_rank) and whose
// files are the slowest to open by far.
bool type1_copy_left_out(const std::string &format, bool listed_as_sfnt);

// What first puts `a` before `b` as a representative: "character set",
// "style" (regular, bold, italic, bold italic), "format", "weight" or
// "height"; null where neither comes before the other.
const char *representative_criterion(const FaceTraits &a, const FaceTraits &b);

// What a logical font asks of a family's faces.
struct FaceRequest {
    BYTE charset = DEFAULT_CHARSET;
    bool italic = false;
    LONG weight = FW_NORMAL;
    LONG height = 0;  // pixels, either sign
};
FaceRequest request_of(const LOGFONTA &logfont);

// Whether `a` is nearer than `b` to what `request` asks, as GDI's font mapper
// weighs it: the character set above all, then slant, weight and, for bitmap
// faces, height (a strike bigger than asked for is the worse of two equally
// near). Faces that tie go in the family's own order.
bool nearer(const FaceRequest &request, const FaceTraits &a, const FaceTraits &b);

// Whether GDI simulates bold: FW_BOLD or heavier asked of a face lighter than
// FW_SEMIBOLD.
bool simulates_bold(LONG face_weight, LONG asked_weight);

// --- realizing a font and measuring its glyphs --------------------------------

// A horizontal stretch by num / den.
struct Stretch {
    long num = 1, den = 1;
};

// How GDI stretches a font asked for width `asked_width` (lfWidth, whose sign
// does not count) whose own average at its size is `average` whole pixels
// (realized_average_width): not at all where it asks for no width or for its
// average, or the average is not positive (a negative xAvgCharWidth, taken as
// it stands); else by the width asked over the average, the width at most
// 16384 pixels.
Stretch width_stretch(LONG asked_width, long average);

// A length in 64ths of a pixel (FreeType's hinted advances) rounded to whole
// pixels, halves up.
long rounded_pixels(long sixty_fourths);

// The A, B and C widths of a glyph whose ink runs from `left` to `right`, in
// 64ths of a pixel, and which advances `advance` whole pixels, stretched by
// `stretch`. A is the left edge taken down to a whole pixel, B the right edge
// taken up less A, at least 1, and C the advance less A and B; a stretch
// applies to those whole-pixel edges and to the advance, the left edge taken
// down again, the right one and the advance up. An emboldened glyph is inked
// one pixel wider and advances one pixel further (test_fake_bold_font).
ABCFLOAT inked_glyph_widths(long left, long right, long advance, const Stretch &stretch,
                            bool emboldened);

// A glyph without ink, advancing `advance` whole pixels before the stretch: a
// box of one pixel at the origin (A 0, B 1, C the rest of the advance); an
// emboldened one only advances a pixel further.
ABCFLOAT blank_glyph_widths(long advance, const Stretch &stretch, bool emboldened);

// A glyph of a raster font, which is never stretched: A 0, B its advance, C 0;
// emboldened, B a pixel wider.
ABCFLOAT bitmap_glyph_widths(long advance, bool emboldened);

// The character codes GDI looks `code` up as in a face's character map, in
// order: the first that maps gives the glyph, glyph 0 where none does. A
// symbol font (SYMBOL_CHARSET), whose Windows symbol cmap (3, 0) keeps its
// glyphs at U+F020 to U+F0FF, is looked up at 0xF000 + code first.
struct CodeLookup {
    std::array<unsigned, 2> codes{};
    std::size_t count = 0;
};
CodeLookup codes_to_look_up(unsigned code, bool symbol_font);

// The character set a font is realized in: `asked`, where it is not
// DEFAULT_CHARSET and a face of character set `own` and OS/2 code pages
// `code_pages` covers it (covers_charset); else the face's own.
BYTE realized_charset(BYTE asked, BYTE own, unsigned long code_pages);

// Whether GetCharABCWidthsFloatA takes codes `first` to `last`, some above
// 255, of a font realized in `charset` as double-byte codes (lead byte << 8 |
// trail byte): in a CJK character set, all of them from 0x100 to 0xFFFF and
// under one lead byte, as one call reads one lead byte (test_GetCharABCWidths:
// 0x100 and 0xFFFF succeed, 0xFF..0x100 and 0x1FF..0xFF00 fail). Other fonts
// fail such codes.
bool takes_double_byte_codes(BYTE charset, unsigned first, unsigned last);

// What a double-byte code that is no character of its code page is measured
// as: U+FFFF, a noncharacter that no font maps, so glyph 0, as a character
// the font lacks.
constexpr char32_t kNoCharacter = 0xFFFF;

// --- variable fonts -------------------------------------------------------
// Each named instance a face of its own, in a legacy family of at most four
// styles (regular, bold, italic, bold italic) named from the instance, as
// Windows 10 (1709) and later list them.

// An fvar axis, its range in user units.
struct VariationAxis {
    std::uint32_t tag = 0;
    double minimum = 0, default_value = 0, maximum = 0;
};

// An fvar named instance: its coordinates, one per axis, and its subfamily
// name in Windows-1252 (empty where its name ID has no Windows record).
struct NamedInstance {
    std::vector<double> coordinates;
    std::string subfamily;
};

// A STAT design axis: its tag and where its values' names go in a name.
struct StatAxis {
    std::uint32_t tag = 0;
    unsigned ordering = 0;
};

// A STAT axis value table of any format: formats 1 to 3 name one value of one
// axis (format 2 a range around it), format 4 a combination of axes' values.
struct StatValue {
    unsigned format = 1;
    unsigned flags = 0;  // 0x2: the name is elided
    std::string name;  // Windows-1252
    std::vector<std::pair<std::size_t, double>> axis_values;  // STAT axis index, value
    double range_minimum = 0, range_maximum = 0;  // format 2
};

struct StatTable {
    bool present = false;  // found and parsed
    bool found = false;  // found, whether or not it parsed
    std::vector<StatAxis> axes;
    std::vector<StatValue> values;
};

// What naming a variable font's instances needs of it.
struct VariableFont {
    std::string typographic_family;  // name ID 16, else 1, in Windows-1252
    std::vector<VariationAxis> axes;
    std::vector<NamedInstance> instances;
    StatTable stat;
    bool italic_file = false;  // OS/2 fsSelection's italic bit
    long weight_class = 400;  // OS/2 usWeightClass
    bool cff2_outlines = false;  // CFF2, which GDI does not draw
    // The variation tables as read before measuring: whether there is a gvar
    // that holds all it refers to, and each table (gvar, cvar, MVAR, HVAR)
    // that does not, with what is wrong (variation_checks.h).
    bool intact_gvar = false;
    std::vector<std::pair<std::string, std::string>> damaged_tables;  // tag, what is wrong
};

// One named instance as GDI reports it.
struct InstanceStyle {
    std::string family;  // the legacy family name, not yet cut to 31 bytes
    long weight = 400;  // the instance's wght coordinate, else usWeightClass
    bool bold = false;  // the bold face of its family
    bool italic = false;  // the italic face of its family
};

// What is wrong with instance `instance` (0-based) of `font`, a damaged
// font's, that GDI cannot offer it: "lies outside its axes" (FreeType would
// clamp it), "has no name" (no STAT and no subfamily name); null where
// nothing is.
const char *instance_fault(const VariableFont &font, std::size_t instance);

// What makes no named instance of `font` fit to offer, as the problem to
// tell ("its gvar table has glyph variation data past its end"); empty where
// nothing does. A damaged gvar, cvar or MVAR does: FreeType would draw glyphs
// unvaried, or leave the control values or the heights at the default's. A
// damaged HVAR does only where there is no intact gvar, whose phantom points
// FreeType then varies the advances by.
std::string variations_fault(const VariableFont &font);

// Whether the advances of `font`'s instances come from gvar's phantom points,
// as FreeType takes them where HVAR does not parse.
bool advances_from_phantom_points(const VariableFont &font);

// How instance `instance` (0-based) of `font` got its family name, for the
// trace: each STAT axis's value, its name, and whether it went into the name,
// was elided or is a style; or the fvar subfamily name, and why STAT did not
// name it.
std::string instance_naming(const VariableFont &font, std::size_t instance);

// The legacy family and style of instance `instance` (0-based) of `font`.
// With a STAT table, the family is the typographic family followed by the
// names of the STAT values the instance's coordinates match, in the axes'
// order, less elided values, wght 400 and 700 (700 makes the face bold) and
// ital 0 and 1 (1 makes it italic). Without one, it is followed by the
// instance's subfamily name less the words Regular, Bold, Italic and Oblique.
InstanceStyle instance_style(const VariableFont &font, std::size_t instance);

// The name of a CJK family's vertical family, which Windows enumerates right
// after it: "@" and the family's name, cut to a face name's 31 bytes.
std::string vertical_family_name(const std::string &family);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_GDI_RULES_H
