// The platform's graphics and font services, as the program sees them.
//
// On Windows this is the real GDI. Elsewhere the same names are declared here
// and one of two libraries provides them: our own font service over fontconfig
// and FreeType (library gdi_freetype), or a scripted fake for the program's
// tests (library fake_gdi). The program includes this header and nothing else
// of the platform.
//
// The contract, as GDI keeps it:
//
//   CreateCompatibleDC(NULL)  a new memory device context with a default font
//                             selected; NULL on failure.
//   DeleteDC(dc)              releases a context; FALSE if dc is not one.
//   EnumFontFamiliesA(dc, NULL, proc, lparam)
//                             calls proc once per font family, synchronously,
//                             with the family's representative LOGFONTA, its
//                             TEXTMETRICA and font type, and lparam; goes on
//                             while proc returns nonzero; returns the last
//                             value proc returned (1 when there is no family,
//                             0 when dc is not a context). The TEXTMETRICA's
//                             tmAscent is MulDiv(tmHeight, ascent, ascent +
//                             descent) of the font's own.
//   EnumFontFamiliesA(dc, name, proc, lparam)
//                             calls proc once per face that the name finds,
//                             under its family's name: every face of the
//                             family so named; else of the family whose name
//                             in a second language (the smallest language ID
//                             besides the legacy name's) it is; else the face
//                             whose full name (name ID 4, its first 31 bytes)
//                             it is. Names compare ignoring case, whatever the
//                             locale. Returns as above (1 when none is found).
//   CreateFontIndirectA(logfont)
//                             a logical font; NULL for a NULL record. A
//                             height past 65535 either way is realized as -1.
//                             FW_BOLD or more of a face lighter than semibold
//                             is simulated: every advance a pixel wider. "@"
//                             alone with a CJK character set chooses a
//                             vertical family with a face in that set.
//   SelectObject(dc, obj)     selects a font into dc and returns the object
//                             selected before; NULL if either is not one.
//   DeleteObject(obj)         releases a font; FALSE if obj is not one. A font
//                             still selected into a context stays usable there
//                             until it is deselected.
//   GetTextFaceA(dc, n, buf)  copies at most n - 1 bytes of the face name of
//                             the font selected in dc and a terminator; returns
//                             the bytes copied without the terminator, 0 on
//                             failure (buf is then left as it was).
//   GetCharABCWidthsFloatA(dc, first, last, abc)
//                             the A, B and C widths of codes first..last in the
//                             context's logical units; nonzero on success, 0 for
//                             a bad context, a NULL record, first > last, or a
//                             glyph that cannot be read. Codes above 255 are
//                             double-byte codes (lead byte << 8 | trail byte)
//                             of a font realized in a Japanese, Chinese or
//                             Korean character set, first and last with one
//                             lead byte; for other fonts last > 255 fails.
//
// Handles are checked on every call: anything that is not a live handle of the
// right kind makes the call fail, never crash.
#ifndef DUMP_METRICS12_GDI_H
#define DUMP_METRICS12_GDI_H

#ifdef _WIN32

#include <windows.h>

#else

#include <cstdint>

typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::intptr_t LPARAM;  // signed, as wide as a pointer
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned int UINT;
typedef char CHAR;

typedef struct HDC__ *HDC;
typedef struct HFONT__ *HFONT;
typedef void *HGDIOBJ;

#define CALLBACK
#define FALSE 0
#define TRUE 1

#define LF_FACESIZE 32

#define RASTER_FONTTYPE 0x0001
#define DEVICE_FONTTYPE 0x0002
#define TRUETYPE_FONTTYPE 0x0004

#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define HANGEUL_CHARSET 129
#define JOHAB_CHARSET 130
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define GREEK_CHARSET 161
#define TURKISH_CHARSET 162
#define VIETNAMESE_CHARSET 163
#define HEBREW_CHARSET 177
#define ARABIC_CHARSET 178
#define BALTIC_CHARSET 186
#define RUSSIAN_CHARSET 204
#define THAI_CHARSET 222
#define EASTEUROPE_CHARSET 238
#define OEM_CHARSET 255

#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50

#define FW_NORMAL 400
#define FW_BOLD 700

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct ABCFLOAT {
    float abcfA;
    float abcfB;
    float abcfC;
};

typedef int(CALLBACK *FONTENUMPROCA)(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM);

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int EnumFontFamiliesA(HDC dc, const char *family, FONTENUMPROCA proc, LPARAM lparam);
HFONT CreateFontIndirectA(const LOGFONTA *logfont);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int GetTextFaceA(HDC dc, int count, char *face);
BOOL GetCharABCWidthsFloatA(HDC dc, UINT first, UINT last, ABCFLOAT *widths);

// Not GDI: a font service of our own can fail as a whole where GDI cannot (its
// fontconfig configuration cannot be loaded), and no call above can carry
// that. It then calls the handler set here with what failed and why, and
// goes on with no fonts; the program decides what follows. Without a handler
// the reason goes to standard error.
typedef void (*FontServiceFailureHandler)(const char *reason);
void SetFontServiceFailureHandler(FontServiceFailureHandler handler);

#endif  // _WIN32

#endif  // DUMP_METRICS12_GDI_H
