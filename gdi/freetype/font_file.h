// Font files as our GDI reads them: never mapped into memory, but read with
// pread from a descriptor held open, within the size the file had when it was
// opened. A file that shrinks, is emptied, rewritten or replaced while the
// program runs then makes reads fail, never the process: a mapped page past a
// file's new end would kill it with SIGBUS. What the listing saw of each file
// (a snapshot) is checked whenever the file is opened again and once its
// glyphs are measured, so that a file changed meanwhile is never read as the
// font it was listed as.
#ifndef DUMP_METRICS12_FONT_FILE_H
#define DUMP_METRICS12_FONT_FILE_H

#include <ft2build.h>
#include FT_FREETYPE_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace dm12_gdi {

// Which file a path named, its size and its last modification.
struct FileSnapshot {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    std::int64_t modified_ns = 0;
    bool operator==(const FileSnapshot &other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified_ns == other.modified_ns;
    }
    bool operator!=(const FileSnapshot &other) const { return !(*this == other); }
};

// What is told of a file that is no longer the one listed.
inline constexpr char kFileChanged[] =
    "changed while the program ran: what it now holds is not read";

// The snapshot of the file at `path`; false, with the problem to tell, where
// there is none to take.
bool take_snapshot(const std::string &path, FileSnapshot &snapshot, std::string &problem);

// Reads of a file at offsets. FreeType and the enumeration's own reading of
// a font's tables ask for many small pieces (a field, a table's header, a
// glyph's offset, outline and metrics, each in a table of its own): they are
// served from a few windows of the file read ahead, one pread for many. The
// enumeration reads a few headers of many files: its windows are small. A
// face that FreeType reads measures its glyphs from several tables at once
// (glyf and loca; a variable font's gvar and HVAR too), where a window often
// holds the next glyphs' data as well: its windows are large. A window's
// bytes are made when it is first filled, no larger than the file.
struct ReadAhead {
    static constexpr unsigned long kPeekWindowSize = 4096;
    static constexpr unsigned long kFaceWindowSize = 65536;
    struct Window {
        unsigned long start = 0, size = 0;
        unsigned long last_used = 0;
        std::unique_ptr<unsigned char[]> bytes;
    };
    explicit ReadAhead(unsigned long window_bytes) : window_size(window_bytes) {}
    unsigned long window_size;
    int descriptor = -1;
    unsigned long size = 0;  // the file's, when opened: nothing past it is read
    unsigned long reads = 0;
    Window windows[4];
    std::size_t last_window = 0;  // the window the last read came from

    // Up to `count` bytes at `offset`; fewer past the end, or where the file
    // has shrunk since. Where memory for a window is short, the bytes are
    // read on their own.
    unsigned long read(unsigned long offset, unsigned char *buffer, unsigned long count);
};

// A font file open for reading at offsets.
struct FontFile {
    int descriptor = -1;
    FileSnapshot snapshot;  // as the file was when opened
    std::string problem;  // to tell, where it could not be opened
    mutable ReadAhead windows{ReadAhead::kPeekWindowSize};

    // Where `expected` is given, fails with kFileChanged unless the file is
    // still the one it describes.
    explicit FontFile(const std::string &path, const FileSnapshot *expected = nullptr);
    ~FontFile();
    FontFile(const FontFile &) = delete;
    FontFile &operator=(const FontFile &) = delete;

    bool is_open() const { return descriptor >= 0; }
    // `size` bytes at `offset`, all within the size seen at open.
    bool read_at(std::uint64_t offset, void *buffer, std::size_t size) const;
};

// A named instance's index, as FreeType takes it, carries its number (from
// 1) above the face's index in its file.
constexpr long kInstanceShift = 16;
inline long instance_number(long index) { return index >> kInstanceShift; }
inline long face_index(long index) { return index & 0xFFFF; }

// Closes a face that open_face opened, or keeps it for the thread's next
// named instance of the same file (open_face).
void close_face(FT_Face face);

// A FreeType face and its owner: every face our GDI opens is one of these,
// closed (with the file under it) when its owner goes.
struct FaceCloser {
    void operator()(FT_Face face) const { close_face(face); }
};
using OwnedFace = std::unique_ptr<FT_FaceRec_, FaceCloser>;

// Face `index` of the font file at `path`, opened with FreeType through a
// stream of ours that reads the file with pread. Null where the file cannot
// be read or is no longer the one `expected` describes, with the problem to
// tell, or where it holds no such face (`problem` empty).
//
// A variable font's named instances are faces of one file that differ only
// in their coordinates. The face of one that a library's thread closed last
// is kept until the thread opens another face: a named instance of the same
// file, unchanged, is then that face switched to it (FT_Set_Named_Instance),
// with a size of its own, where opening the file again would have FreeType
// read its tables, gvar's glyph offsets and, at the first glyph, all of
// HVAR again. A switched face holds what a face opened at the instance
// holds, but for the values FreeType varies by MVAR: switching DM12Schrift
// from instance 8 to 1, FreeType 2.13 keeps usWinDescent at 275 where
// opening gives 250, and 2.12 keeps the face's ascender. The enumeration
// works usWinAscent and usWinDescent out from the file's OS/2 and MVAR
// (font_face.cpp) and reads no ascender of an sfnt.
OwnedFace open_face(FT_Library library, const std::string &path, long index,
                    const FileSnapshot &expected, std::string &problem);

// Closes the face kept for `library`, if any: before the library goes.
void close_kept_face(FT_Library library);

// Whether the file under a face that open_face opened is still as it was
// when opened: false once it has been rewritten or has shrunk.
bool face_file_unchanged(FT_Face face);

// Tells the user once, on standard error, the problem with the font file at
// `path` (it cannot be read, or has changed): the fonts left out are named.
void tell_file_problem(const std::string &path, const std::string &problem);

// The main thread's FreeType library, created on first use and released at
// exit. Worker threads each have their own.
FT_Library freetype_library();

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_FILE_H
