// Font files as our GDI reads them with FreeType.
#ifndef DUMP_METRICS12_FONT_FILE_H
#define DUMP_METRICS12_FONT_FILE_H

#include <ft2build.h>
#include FT_FREETYPE_H

// The main thread's FreeType library, created on first use and released at
// exit. Worker threads each have their own.
FT_Library freetype_library();

#endif  // DUMP_METRICS12_FONT_FILE_H
