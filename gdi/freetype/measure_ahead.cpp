#include "measure_ahead.h"

#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "font_trace.h"
#include "shortage.h"

namespace dm12_gdi {

namespace {

// How many families a worker may run ahead of the enumeration.
constexpr std::size_t kFamiliesAheadPerWorker = 3;

// FreeType holds a large font's metrics, character map and subroutines in
// memory while the face is open, read from the file (a CJK collection's are
// some 2 MiB): the families with files this large are measured one at a
// time, so that memory stays near one thread's.
constexpr std::uintmax_t kLargeFontFile = std::uintmax_t{8} << 20;  // 8 MiB

// Where the handler of a fatal signal runs when a worker's stack has
// overflowed.
constexpr std::size_t kSignalStackSize = std::size_t{64} << 10;  // 64 KiB

struct Prepared {
    CodeWidths widths;
    std::size_t family = 0;  // its index in the enumeration
    bool for_vertical = false;  // also wanted by an "@" family
};

// The workers and what they have prepared. Guarded by `mutex`: the claims,
// the store, and the enumeration's position.
struct MeasuringAhead {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<pthread_t> workers;
    bool stopping = false;
    std::size_t position = 0;  // the family the enumeration is at
    std::size_t next_unclaimed = 0;
    std::set<std::size_t> in_hand;  // claimed, not yet stored
    std::map<SizedFace, Prepared> store;
    std::mutex large_font;  // held while a family with a large file is measured

    MeasuringAhead() = default;
    MeasuringAhead(const MeasuringAhead &) = delete;
    MeasuringAhead &operator=(const MeasuringAhead &) = delete;
    ~MeasuringAhead() { stop(); }

    void stop() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (const pthread_t worker : workers) pthread_join(worker, nullptr);
        workers.clear();
        std::lock_guard<std::mutex> lock(mutex);
        stopping = false;
        store.clear();
        in_hand.clear();
        position = next_unclaimed = 0;
    }
};

MeasuringAhead &ahead() {
    // The font service first, so that it outlives the workers.
    family_count();
    static MeasuringAhead instance;
    return instance;
}

// How many workers a limit on address space (ulimit -v) leaves room for:
// each takes its stack and its share of the heap, and a worker that took the
// last of it would make the program's own thread run out where it alone would
// not.
std::size_t workers_with_room() {
    constexpr std::uintmax_t kRoomPerWorker = std::uintmax_t{64} << 20;  // 64 MiB
    struct rlimit limit = {};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return static_cast<std::size_t>(-1);
    // The pages mapped: the first number of /proc/self/statm.
    std::uintmax_t pages = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        char line[128] = "";
        if (std::fgets(line, sizeof line, statm)) pages = std::strtoumax(line, nullptr, 10);
        std::fclose(statm);
    }
    const std::uintmax_t used = pages * static_cast<std::uintmax_t>(sysconf(_SC_PAGESIZE));
    return used < limit.rlim_cur
               ? static_cast<std::size_t>((limit.rlim_cur - used) / kRoomPerWorker)
               : 0;
}

// One worker per CPU the process may run on; none where there is one. Each
// takes descriptors of its own: only as many as leave the program's own
// thread those it needs, so that the fewest descriptors a run needs do not
// grow with the CPUs.
std::size_t worker_count() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 0;
    const auto count = static_cast<std::size_t>(CPU_COUNT(&cpus));
    if (count <= 1) return 0;
    const std::size_t spare = spare_descriptors((count + 1) * kDescriptorsPerThread);
    const std::size_t fed = spare / kDescriptorsPerThread;
    return std::min({count, fed > 1 ? fed - 1 : 0, workers_with_room()});
}

// Releases a claim, whether the family was prepared or not.
void release_claim(MeasuringAhead &measuring, std::size_t i) {
    {
        std::lock_guard<std::mutex> lock(measuring.mutex);
        measuring.in_hand.erase(i);
    }
    measuring.changed.notify_all();
}

// Resolves family `i` with `library` and, where this call resolved it,
// measures its representative into the store; then releases the claim,
// also where memory or descriptors ran short (thrown on).
void prepare(MeasuringAhead &measuring, std::size_t i, FT_Library library, Caller caller) {
    std::unique_lock<std::mutex> large(measuring.large_font, std::defer_lock);
    OwnedFace opened;
    SizedFace sized;
    Prepared prepared;
    const FontFamily *family = nullptr;
    bool measured = false;
    try {
        if (largest_file_of(i) >= kLargeFontFile) large.lock();
        family = resolve_family(i, library, caller, &opened);
        if (family && opened) {
            const bool unchanged =
                measure_representative(*family, std::move(opened), sized, prepared.widths);
            // A code FreeType failed to measure for want of memory is no
            // code the font lacks.
            throw_if_freetype_ran_out();
            if (!unchanged) note_family_problem(i, family->faces.front().file, kFileChanged);
            prepared.family = i;
            measured = true;
            prepared.for_vertical = family->faces.front().cjk;
        }
        opened.reset();
        if (large.owns_lock()) large.unlock();
        if (measured) {
            std::lock_guard<std::mutex> lock(measuring.mutex);
            measuring.store.emplace(sized, prepared);
        }
    } catch (...) {
        opened.reset();
        if (large.owns_lock()) large.unlock();
        release_claim(measuring, i);
        throw;
    }
    release_claim(measuring, i);
}

void work(MeasuringAhead &measuring, std::size_t families, std::size_t window) {
    FT_Library library = nullptr;
    if (new_freetype_library(&library, kTrueTypeInterpreterVersion) != 0) return;
    try {
        for (;;) {
            std::size_t i = 0;
            {
                std::unique_lock<std::mutex> lock(measuring.mutex);
                measuring.changed.wait(lock, [&] {
                    return measuring.stopping || measuring.next_unclaimed >= families ||
                           measuring.next_unclaimed < measuring.position + window;
                });
                if (measuring.stopping || measuring.next_unclaimed >= families) break;
                i = measuring.next_unclaimed++;
                measuring.in_hand.insert(i);
            }
            prepare(measuring, i, library, Caller::kWorker);
        }
    } catch (const std::exception &) {  // NOLINT(bugprone-empty-catch)
        // Short of memory or descriptors, this worker stops, and leaves the
        // family it had to the program's own thread, which has the last word.
    }
    close_kept_face(library);
    done_freetype_library(library);
}

struct WorkerStart {
    MeasuringAhead *measuring;
    std::size_t families, window;
};

extern "C" void *run_worker(void *argument) {
    const WorkerStart start = *static_cast<WorkerStart *>(argument);
    delete static_cast<WorkerStart *>(argument);
    // The fatal-signal handler's stack, should this thread's overflow.
    const std::unique_ptr<char[]> signal_stack(new (std::nothrow) char[kSignalStackSize]);
    if (signal_stack) {
        stack_t stack{};
        stack.ss_sp = signal_stack.get();
        stack.ss_size = kSignalStackSize;
        sigaltstack(&stack, nullptr);
    }
    work(*start.measuring, start.families, start.window);
    if (signal_stack) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    }
    return nullptr;
}

// Starts up to `wanted` workers; fewer, or none, where the system cannot
// make more threads (a limit on processes, on memory): the table is the same.
void start_workers(MeasuringAhead &measuring, std::size_t wanted, std::size_t families) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return;
    pthread_attr_setstacksize(&attributes, kThreadStackSize);
    for (std::size_t w = 0; w < wanted; ++w) {
        auto *start =
            new (std::nothrow) WorkerStart{&measuring, families, kFamiliesAheadPerWorker * wanted};
        pthread_t worker;
        if (!start || pthread_create(&worker, &attributes, run_worker, start) != 0) {
            delete start;
            break;
        }
        measuring.workers.push_back(worker);
    }
    pthread_attr_destroy(&attributes);
}

}  // namespace

const FontFamily *enumerated_family(std::size_t i) {
    MeasuringAhead &measuring = ahead();
    const std::size_t families = family_count();
    bool mine = false;
    std::vector<SizedFace> unused;
    {
        std::unique_lock<std::mutex> lock(measuring.mutex);
        if (i == 0 && measuring.workers.empty() && !measuring.stopping) {
            const std::size_t workers = worker_count();
            // Each thread would get a malloc arena of its own, and glibc keeps
            // an arena's freed pages: memory would grow with the threads.
            if (workers > 0) mallopt(M_ARENA_MAX, 1);
            measuring.workers.reserve(workers);
            start_workers(measuring, workers, families);
        }
        measuring.position = i;
        // Widths of families passed that nobody took are not wanted now,
        // but those an "@" family will ask for. The enumeration realizes each
        // family at the face and size they were measured at: widths left
        // over are a fault of ours, which cost a second measuring.
        for (auto entry = measuring.store.begin(); entry != measuring.store.end();) {
            if (entry->second.family >= i || entry->second.for_vertical) {
                ++entry;
                continue;
            }
            if (tracing()) unused.push_back(entry->first);
            entry = measuring.store.erase(entry);
        }
        if (i >= measuring.next_unclaimed) {
            measuring.next_unclaimed = i + 1;
            measuring.in_hand.insert(i);
            mine = true;
        }
    }
    measuring.changed.notify_all();
    for (const SizedFace &sized : unused)
        trace_file(sized.file, "widths measured ahead at " + std::to_string(sized.pixels_per_em) +
                                   " pixels per em, not taken by the font realized");
    if (mine) {
        run_with_stack_room(
            [&] { prepare(measuring, i, freetype_library(), Caller::kMainThread); });
    } else {
        std::unique_lock<std::mutex> lock(measuring.mutex);
        measuring.changed.wait(lock, [&] { return measuring.in_hand.count(i) == 0; });
    }
    return resolve_family(i, freetype_library(), Caller::kMainThread);
}

void end_enumeration() { ahead().stop(); }

bool take_prepared_widths(const RealizedFont &font, CodeWidths &widths) {
    MeasuringAhead &measuring = ahead();
    std::lock_guard<std::mutex> lock(measuring.mutex);
    const auto entry = measuring.store.find(sized_face_of(font));
    if (entry == measuring.store.end()) return false;
    widths = entry->second.widths;
    if (!entry->second.for_vertical || font.family->vertical) measuring.store.erase(entry);
    return true;
}

}  // namespace dm12_gdi
