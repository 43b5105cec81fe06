#include "font_file.h"

namespace {

struct Library {
    FT_Library library = nullptr;
    Library() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~Library() {
        if (library) FT_Done_FreeType(library);
    }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
};

}  // namespace

FT_Library freetype_library() {
    static Library instance;
    return instance.library;
}
