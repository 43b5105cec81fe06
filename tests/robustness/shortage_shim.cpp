// Preloaded into the real program (LD_PRELOAD) to make the machine run short
// on demand, where a limit cannot say which allocation fails:
//   DM12_FAIL_ALLOCATION=k      the k-th allocation after fontconfig has loaded
//                               its configuration and caches fails, and every
//                               one after it, as when memory has run out
//   DM12_COUNT_ALLOCATIONS=1    standard error gets the number of those
//                               allocations at exit
// fontconfig's own loading is left out: fontconfig 2.14 crashes where memory
// runs out while it reads its caches (in FcDirCacheLoad), which no caller can
// mend.
//   DM12_FAIL_THREADS=1         no thread can be created (EAGAIN)
// Not for sanitized builds, whose runtime owns malloc.
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<unsigned long> allocations{0};
std::atomic<bool> counting{false};

unsigned long number_from(const char *name) {
    const char *value = std::getenv(name);
    return value ? std::strtoul(value, nullptr, 10) : 0;
}

// Whether this allocation fails; counts it.
bool fails() {
    static const unsigned long failing = number_from("DM12_FAIL_ALLOCATION");
    if (!counting) return false;
    const unsigned long number = ++allocations;
    if (failing == 0 || number < failing) return false;
    errno = ENOMEM;
    return true;
}

struct Report {
    ~Report() {
        if (!number_from("DM12_COUNT_ALLOCATIONS")) return;
        char line[64];
        const int length =
            std::snprintf(line, sizeof line, "allocations: %lu\n", allocations.load());
        if (write(2, line, static_cast<size_t>(length)) < 0) return;
    }
} report;

}  // namespace

extern "C" {

void *malloc(size_t size) { return fails() ? nullptr : __libc_malloc(size); }
void *calloc(size_t count, size_t size) { return fails() ? nullptr : __libc_calloc(count, size); }
void *realloc(void *block, size_t size) {
    return size > 0 && fails() ? nullptr : __libc_realloc(block, size);
}
void *aligned_alloc(size_t alignment, size_t size) {
    return fails() ? nullptr : __libc_memalign(alignment, size);
}
int posix_memalign(void **block, size_t alignment, size_t size) {
    if (fails()) return ENOMEM;
    *block = __libc_memalign(alignment, size);
    return *block ? 0 : ENOMEM;
}

using FcBool = int;
FcBool FcConfigBuildFonts(void *config) {
    using Build = FcBool (*)(void *);
    static const auto build = reinterpret_cast<Build>(dlsym(RTLD_NEXT, "FcConfigBuildFonts"));
    const FcBool built = build(config);
    counting = true;
    return built;
}

int pthread_create(pthread_t *thread, const pthread_attr_t *attributes, void *(*start)(void *),
                   void *argument) {
    if (number_from("DM12_FAIL_THREADS")) return EAGAIN;
    using Create = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    static const auto create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    return create(thread, attributes, start, argument);
}
}
