#include "shortage.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include FT_MODULE_H

namespace dm12_gdi {

namespace {

thread_local bool allocation_failed = false;

// A block larger than any font needs is asked for only by a damaged font
// whose tables claim sizes it does not have: its failure tells of the font.
constexpr long kLargestFontBlock = 256L << 20;  // 256 MiB

void note_failure(long size) {
    if (size <= kLargestFontBlock) allocation_failed = true;
}

void *allocate(FT_Memory, long size) {
    void *block = std::malloc(static_cast<std::size_t>(size));
    if (!block) note_failure(size);
    return block;
}

void release(FT_Memory, void *block) { std::free(block); }

void *reallocate(FT_Memory, long, long new_size, void *block) {
    void *moved = std::realloc(block, static_cast<std::size_t>(new_size));
    if (!moved) note_failure(new_size);
    return moved;
}

// Shared by every thread's library: it holds no state.
FT_MemoryRec_ memory{nullptr, allocate, release, reallocate};

struct StackJob {
    const std::function<void()> *task;
    std::exception_ptr error;
};

extern "C" void *run_stack_job(void *argument) {
    auto *job = static_cast<StackJob *>(argument);
    try {
        (*job->task)();
    } catch (...) {
        job->error = std::current_exception();
    }
    return nullptr;
}

// Threads our GDI makes have kThreadStackSize; the program's own thread has
// what RLIMIT_STACK lets it grow to.
bool has_stack_room() {
    if (::syscall(SYS_gettid) != ::getpid()) return true;
    struct rlimit stack = {};
    return ::getrlimit(RLIMIT_STACK, &stack) != 0 || stack.rlim_cur == RLIM_INFINITY ||
           stack.rlim_cur >= kThreadStackSize;
}

}  // namespace

void run_with_stack_room(const std::function<void()> &task) {
    if (has_stack_room()) {
        task();
        return;
    }
    StackJob job{&task, nullptr};
    pthread_attr_t attributes;
    pthread_t thread;
    bool started = false;
    if (pthread_attr_init(&attributes) == 0) {
        started = pthread_attr_setstacksize(&attributes, kThreadStackSize) == 0 &&
                  pthread_create(&thread, &attributes, run_stack_job, &job) == 0;
        pthread_attr_destroy(&attributes);
    }
    if (!started) {
        task();
        return;
    }
    pthread_join(thread, nullptr);
    if (job.error) std::rethrow_exception(job.error);
}

bool is_shortage(int error) { return error == EMFILE || error == ENFILE || error == ENOMEM; }

void throw_shortage(int error, const std::string &what) {
    if (error == ENOMEM) throw std::bad_alloc();
    throw std::system_error(error, std::generic_category(), what);
}

std::size_t spare_descriptors(std::size_t at_most) {
    // Copies of a standard descriptor, which needs no /dev (a bare chroot
    // may have none); /dev/null where all three are closed.
    int model = -1;
    for (int standard = 0; standard <= 2 && model < 0; ++standard)
        if (::fcntl(standard, F_GETFD) != -1) model = standard;
    std::vector<int> taken;
    taken.reserve(at_most);
    while (taken.size() < at_most) {
        const int descriptor = model >= 0 ? ::fcntl(model, F_DUPFD_CLOEXEC, 0)
                                          : ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (descriptor < 0) break;
        taken.push_back(descriptor);
    }
    for (const int descriptor : taken) ::close(descriptor);
    return taken.size();
}

FT_Error new_freetype_library(FT_Library *library, FT_UInt interpreter_version) {
    const FT_Error error = FT_New_Library(&memory, library);
    if (error != 0) return error;
    FT_Add_Default_Modules(*library);
    // Set before FREETYPE_PROPERTIES is read, which may then choose another.
    FT_Property_Set(*library, "truetype", "interpreter-version", &interpreter_version);
    FT_Set_Default_Properties(*library);
    return 0;
}

// Not FT_Done_FreeType, which would free the shared allocator.
void done_freetype_library(FT_Library library) { FT_Done_Library(library); }

void throw_if_freetype_ran_out() {
    if (std::exchange(allocation_failed, false)) throw std::bad_alloc();
}

}  // namespace dm12_gdi
