#include "font_file.h"

#include FT_MULTIPLE_MASTERS_H
#include FT_SIZES_H

#include <errno.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <set>

#include "gdi_rules.h"
#include "shortage.h"

namespace dm12_gdi {

namespace {

FileSnapshot snapshot_of(const struct stat &status) {
    FileSnapshot snapshot;
    snapshot.device = status.st_dev;
    snapshot.inode = status.st_ino;
    snapshot.size = status.st_size;
    snapshot.modified_ns =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    return snapshot;
}

// The stream FreeType reads a face through, and the file under it. The
// stream comes first: FreeType hands its callbacks the stream.
struct FaceStream {
    FT_StreamRec stream{};
    ReadAhead windows{ReadAhead::kFaceWindowSize};
    FileSnapshot snapshot;
    std::string path;
    FT_Library library = nullptr;  // the library the face was opened in
};

// The named instance of a variable font that each library's thread closed
// last, kept for its next named instance of the same file (open_face). One
// slot a library, in a table that needs no destruction: the main thread's
// library goes at exit, after anything else. A library finding no free slot
// keeps nothing.
struct KeptFace {
    FT_Library library;
    FT_Face face;
};
constexpr std::size_t kKeptFaces = 64;
std::mutex kept_mutex;
KeptFace kept_faces[kKeptFaces];

// Takes the face kept for `library`, if any.
FT_Face take_kept_face(FT_Library library) {
    std::lock_guard<std::mutex> lock(kept_mutex);
    for (KeptFace &kept : kept_faces)
        if (kept.library == library) {
            kept.library = nullptr;
            return std::exchange(kept.face, nullptr);
        }
    return nullptr;
}

// Keeps `face` for `library`; false where no slot is free.
bool keep_face(FT_Library library, FT_Face face) {
    std::lock_guard<std::mutex> lock(kept_mutex);
    for (KeptFace &kept : kept_faces)
        if (!kept.library) {
            kept = {library, face};
            return true;
        }
    return false;
}

bool is_named_instance_of_variable_font(FT_Face face) {
    return FT_HAS_MULTIPLE_MASTERS(face) && instance_number(face->face_index) > 0;
}

// The kept face switched to named instance `index` of `path`, where it is a
// face of that file in `library`, and the file is still the one `expected`
// describes; else null, and the kept face is closed.
FT_Face kept_face_at(FT_Library library, const std::string &path, long index,
                     const FileSnapshot &expected) {
    FT_Face face = take_kept_face(library);
    if (!face) return nullptr;
    const auto *file = static_cast<const FaceStream *>(face->generic.data);
    struct stat status;
    const bool same_file =
        instance_number(index) > 0 && file->library == library && file->path == path &&
        face_index(face->face_index) == face_index(index) && file->snapshot == expected &&
        stat(path.c_str(), &status) == 0 && snapshot_of(status) == expected;
    // A fresh size, so that sizing runs the control-value program with the
    // instance's control values, as it does in a face just opened.
    FT_Size size = nullptr;
    if (same_file &&
        FT_Set_Named_Instance(face, static_cast<FT_UInt>(instance_number(index))) == 0 &&
        FT_New_Size(face, &size) == 0) {
        FT_Size used = face->size;
        FT_Activate_Size(size);
        FT_Done_Size(used);
        return face;
    }
    FT_Done_Face(face);
    throw_if_freetype_ran_out();
    return nullptr;
}

// Up to `count` bytes at `offset`; fewer where the file shrank, which
// FreeType sees as a short read.
unsigned long read_file(int descriptor, unsigned long offset, unsigned char *buffer,
                        unsigned long count) {
    unsigned long done = 0;
    while (done < count) {
        const ssize_t got =
            pread(descriptor, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<unsigned long>(got);
    }
    return done;
}

unsigned long read_stream(FT_Stream stream, unsigned long offset, unsigned char *buffer,
                          unsigned long count) {
    // A count of 0 is a seek, which FreeType asks to succeed with 0.
    if (count == 0) return offset <= stream->size ? 0 : 1;
    return reinterpret_cast<FaceStream *>(stream)->windows.read(offset, buffer, count);
}

// FreeType closes the stream with the face, or when it cannot open one.
void close_stream(FT_Stream stream) {
    auto *file = reinterpret_cast<FaceStream *>(stream);
    close(file->windows.descriptor);
    delete file;
}

std::string cannot_read(const char *reason) { return std::string("cannot be read: ") + reason; }

// The file at `path` opened, its snapshot taken; where `expected` is given,
// only if the file is still the one it describes.
int open_descriptor(const std::string &path, const FileSnapshot *expected, FileSnapshot &snapshot,
                    std::string &problem) {
    int descriptor = -1;
    // Never blocking: a FIFO put where a font was would wait for a writer
    // for ever. A regular file reads as it would without O_NONBLOCK.
    do descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0 && is_shortage(errno))
        throw_shortage(errno, "cannot open font file '" + path + "'");
    struct stat status;
    if (descriptor < 0 || fstat(descriptor, &status) != 0) {
        problem = cannot_read(std::strerror(errno));
        if (descriptor >= 0) close(descriptor);
        return -1;
    }
    snapshot = snapshot_of(status);
    if (!S_ISREG(status.st_mode) || (expected && snapshot != *expected)) {
        problem = S_ISREG(status.st_mode) ? kFileChanged : cannot_read("not a regular file");
        close(descriptor);
        return -1;
    }
    return descriptor;
}

// FreeType allocates a face's tables when it opens the face and frees them
// when it closes it, family after family; some are megabytes (a CJK font's
// glyph offsets and metrics). By default glibc maps such blocks anew and
// trims the heap after each, and the kernel faults every page in again: a
// heap kept for them costs the same memory at its peak and none of that
// work.
// Under a limit on address space (ulimit -v), the heap grows by at most a
// sixteenth of it at a time: glibc asks for the pad with every growth, and
// fails the allocation where the limit refuses it.
void keep_heap_between_faces() {
    constexpr int kMiB = 1024 * 1024;
    int top_pad = 64 * kMiB;
    struct rlimit address_space = {};
    if (getrlimit(RLIMIT_AS, &address_space) == 0 && address_space.rlim_cur != RLIM_INFINITY)
        top_pad =
            static_cast<int>(std::min<rlim_t>(rlim_t{64} * kMiB, address_space.rlim_cur / 16));
    mallopt(M_MMAP_THRESHOLD, 32 * kMiB);
    mallopt(M_TRIM_THRESHOLD, 64 * kMiB);
    mallopt(M_TOP_PAD, top_pad);
}

struct Library {
    FT_Library library = nullptr;
    Library() {
        keep_heap_between_faces();
        if (new_freetype_library(&library, kTrueTypeInterpreterVersion) != 0) library = nullptr;
    }
    ~Library() {
        close_kept_face(library);
        if (library) done_freetype_library(library);
    }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;
};

}  // namespace

unsigned long ReadAhead::read(unsigned long offset, unsigned char *buffer, unsigned long count) {
    if (count == 0 || offset >= size) return 0;
    count = std::min(count, size - offset);
    // FreeType reads a variable font's HVAR a delta at a time: the window
    // last read from usually holds the next few bytes too.
    Window &last = windows[last_window];
    if (offset >= last.start && offset - last.start <= last.size &&
        count <= last.size - (offset - last.start)) {
        last.last_used = ++reads;
        const unsigned char *from = last.bytes.get() + (offset - last.start);
        if (count <= 4)
            for (unsigned long i = 0; i < count; ++i) buffer[i] = from[i];
        else
            std::memcpy(buffer, from, count);
        return count;
    }
    if (count > window_size) return read_file(descriptor, offset, buffer, count);
    // The window that holds the bytes, else the one least recently used,
    // read again from `offset`.
    Window *window = &windows[0];
    for (Window &candidate : windows) {
        if (offset >= candidate.start && offset + count <= candidate.start + candidate.size) {
            window = &candidate;
            break;
        }
        if (candidate.last_used < window->last_used) window = &candidate;
    }
    if (offset < window->start || offset + count > window->start + window->size) {
        const unsigned long capacity = std::min(window_size, size);
        if (!window->bytes) window->bytes.reset(new (std::nothrow) unsigned char[capacity]);
        if (!window->bytes) return read_file(descriptor, offset, buffer, count);
        window->start = offset;
        window->size =
            read_file(descriptor, offset, window->bytes.get(), std::min(capacity, size - offset));
    }
    window->last_used = ++reads;
    last_window = static_cast<std::size_t>(window - windows);
    const unsigned long available = std::min(count, window->start + window->size - offset);
    std::memcpy(buffer, window->bytes.get() + (offset - window->start), available);
    return available;
}

bool take_snapshot(const std::string &path, FileSnapshot &snapshot, std::string &problem) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        problem = cannot_read(std::strerror(errno));
        return false;
    }
    snapshot = snapshot_of(status);
    return true;
}

FontFile::FontFile(const std::string &path, const FileSnapshot *expected) {
    descriptor = open_descriptor(path, expected, snapshot, problem);
    windows.descriptor = descriptor;
    windows.size = descriptor >= 0 ? static_cast<unsigned long>(snapshot.size) : 0;
}

FontFile::~FontFile() {
    if (descriptor >= 0) close(descriptor);
}

bool FontFile::read_at(std::uint64_t offset, void *buffer, std::size_t size) const {
    return descriptor >= 0 && size <= windows.size && offset <= windows.size - size &&
           windows.read(offset, static_cast<unsigned char *>(buffer), size) == size;
}

OwnedFace open_face(FT_Library library, const std::string &path, long index,
                    const FileSnapshot &expected, std::string &problem) {
    problem.clear();
    if (!library) throw std::bad_alloc();  // FreeType could not start: it had no memory
    if (FT_Face kept = kept_face_at(library, path, index, expected)) return OwnedFace(kept);
    auto *file = new FaceStream;  // before the descriptor, which it would else leak
    FileSnapshot seen;
    int descriptor = -1;
    try {
        descriptor = open_descriptor(path, &expected, seen, problem);
    } catch (...) {
        delete file;
        throw;
    }
    if (descriptor < 0) {
        delete file;
        return nullptr;
    }
    file->windows.descriptor = descriptor;
    file->windows.size = static_cast<unsigned long>(seen.size);
    file->snapshot = seen;
    file->path = path;
    file->library = library;
    file->stream.size = static_cast<unsigned long>(seen.size);
    file->stream.read = read_stream;
    file->stream.close = close_stream;
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = &file->stream;
    // FreeType owns the stream from here: it closes it, face or no face.
    FT_Face face = nullptr;
    if (FT_Open_Face(library, &args, index, &face) != 0) {
        throw_if_freetype_ran_out();
        return nullptr;
    }
    face->generic.data = file;
    return OwnedFace(face);
}

void close_face(FT_Face face) {
    if (!face) return;
    const auto *file = static_cast<const FaceStream *>(face->generic.data);
    if (is_named_instance_of_variable_font(face) && file) {
        close_kept_face(file->library);
        if (keep_face(file->library, face)) return;
    }
    FT_Done_Face(face);
}

void close_kept_face(FT_Library library) {
    if (FT_Face face = take_kept_face(library)) FT_Done_Face(face);
}

bool face_file_unchanged(FT_Face face) {
    const auto *file = static_cast<const FaceStream *>(face->generic.data);
    struct stat status;
    return file && fstat(file->windows.descriptor, &status) == 0 &&
           snapshot_of(status) == file->snapshot;
}

void tell_file_problem(const std::string &path, const std::string &problem) {
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard<std::mutex> lock(mutex);
    if (!told.insert(path).second) return;
    std::fprintf(stderr, "%s: font file '%s' %s\n", program_invocation_short_name, path.c_str(),
                 problem.c_str());
}

FT_Library freetype_library() {
    static Library instance;
    return instance.library;
}

}  // namespace dm12_gdi
