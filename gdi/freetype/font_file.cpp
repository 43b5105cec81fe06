#include "font_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

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

// Reads exactly `size` bytes at `offset`, or fails: a file that shrank gives
// fewer.
bool read_fully(int descriptor, std::uint64_t offset, unsigned char *buffer, std::size_t size) {
    while (size > 0) {
        const ssize_t got = pread(descriptor, buffer, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        buffer += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// The stream FreeType reads a face through, and the file under it. The
// stream comes first: FreeType hands its callbacks the stream.
struct FaceStream {
    FT_StreamRec stream{};
    int descriptor = -1;
    FileSnapshot snapshot;
};

unsigned long read_stream(FT_Stream stream, unsigned long offset, unsigned char *buffer,
                          unsigned long count) {
    const auto *file = reinterpret_cast<const FaceStream *>(stream);
    // A count of 0 is a seek, which FreeType asks to succeed with 0.
    if (count == 0) return offset <= stream->size ? 0 : 1;
    if (offset >= stream->size) return 0;
    count = std::min<unsigned long>(count, stream->size - offset);
    unsigned long done = 0;
    while (done < count) {
        const ssize_t got =
            pread(file->descriptor, buffer + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;  // the file shrank: FreeType sees a short read
        done += static_cast<unsigned long>(got);
    }
    return done;
}

// FreeType closes the stream with the face, or when it cannot open one.
void close_stream(FT_Stream stream) {
    auto *file = reinterpret_cast<FaceStream *>(stream);
    close(file->descriptor);
    delete file;
}

int open_descriptor(const std::string &path, FileSnapshot &snapshot, std::string &reason) {
    int descriptor = -1;
    do descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (descriptor < 0 && errno == EINTR);
    struct stat status;
    if (descriptor < 0 || fstat(descriptor, &status) != 0) {
        reason = std::strerror(errno);
        if (descriptor >= 0) close(descriptor);
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = "not a regular file";
        close(descriptor);
        return -1;
    }
    snapshot = snapshot_of(status);
    return descriptor;
}

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

bool take_snapshot(const std::string &path, FileSnapshot &snapshot, std::string &reason) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    snapshot = snapshot_of(status);
    return true;
}

FontFile::FontFile(const std::string &path) {
    descriptor = open_descriptor(path, snapshot, reason);
}

FontFile::~FontFile() {
    if (descriptor >= 0) close(descriptor);
}

bool FontFile::read_at(std::uint64_t offset, void *buffer, std::size_t size) const {
    const auto end = static_cast<std::uint64_t>(snapshot.size);
    return descriptor >= 0 && offset <= end && size <= end - offset &&
           read_fully(descriptor, offset, static_cast<unsigned char *>(buffer), size);
}

FaceFailure open_face(FT_Library library, const std::string &path, long index,
                      const FileSnapshot &expected, FT_Face &face, std::string &reason) {
    face = nullptr;
    if (!library) return FaceFailure::kNotAFace;
    FileSnapshot seen;
    const int descriptor = open_descriptor(path, seen, reason);
    if (descriptor < 0) return FaceFailure::kUnreadable;
    if (seen != expected) {
        close(descriptor);
        reason = "changed since the fonts were listed";
        return FaceFailure::kChanged;
    }
    auto *file = new FaceStream;
    file->descriptor = descriptor;
    file->snapshot = seen;
    file->stream.size = static_cast<unsigned long>(seen.size);
    file->stream.read = read_stream;
    file->stream.close = close_stream;
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = &file->stream;
    // FreeType owns the stream from here: it closes it, face or no face.
    if (FT_Open_Face(library, &args, index, &face) != 0) {
        face = nullptr;
        return FaceFailure::kNotAFace;
    }
    face->generic.data = file;
    return FaceFailure::kNone;
}

bool face_file_unchanged(FT_Face face) {
    const auto *file = static_cast<const FaceStream *>(face->generic.data);
    struct stat status;
    return file && fstat(file->descriptor, &status) == 0 && snapshot_of(status) == file->snapshot;
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
