#include "measure_ahead.h"

#include <malloc.h>
#include <sched.h>

#include <condition_variable>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// How many families a worker may run ahead of the enumeration.
constexpr std::size_t kFamiliesAheadPerWorker = 3;

// FreeType holds a large font's metrics, character map and subroutines in
// memory while the face is open, read from the file (a CJK collection's are
// some 2 MiB): the families with files this large are measured one at a
// time, so that memory stays near one thread's.
constexpr std::uintmax_t kLargeFontFile = std::uintmax_t{8} << 20;  // 8 MiB

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
    std::vector<std::thread> workers;
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
        for (std::thread &worker : workers) worker.join();
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

// One worker per CPU the process may run on; none where there is one.
std::size_t worker_count() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (sched_getaffinity(0, sizeof cpus, &cpus) != 0) return 0;
    const int count = CPU_COUNT(&cpus);
    return count > 1 ? static_cast<std::size_t>(count) : 0;
}

// Resolves family `i` with `library` and, where this call resolved it,
// measures its representative into the store; then releases the claim.
void prepare(MeasuringAhead &m, std::size_t i, FT_Library library) {
    std::unique_lock<std::mutex> large(m.large_font, std::defer_lock);
    if (largest_file_of(i) >= kLargeFontFile) large.lock();
    FT_Face opened = nullptr;
    const FontFamily *family = resolve_family(i, library, &opened);
    SizedFace sized;
    Prepared prepared;
    if (family && opened) {
        if (!measure_representative(*family, opened, sized, prepared.widths))
            note_family_problem(i, family->faces.front().file, kFileChanged);
        prepared.family = i;
        prepared.for_vertical = family->faces.front().cjk;
    } else if (opened) {
        FT_Done_Face(opened);
    }
    if (large.owns_lock()) large.unlock();
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        if (family && opened) m.store.emplace(sized, prepared);
        m.in_hand.erase(i);
    }
    m.changed.notify_all();
}

void work(MeasuringAhead &m, std::size_t families, std::size_t window) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return;
    for (;;) {
        std::size_t i = 0;
        {
            std::unique_lock<std::mutex> lock(m.mutex);
            m.changed.wait(lock, [&] {
                return m.stopping || m.next_unclaimed >= families ||
                       m.next_unclaimed < m.position + window;
            });
            if (m.stopping || m.next_unclaimed >= families) break;
            i = m.next_unclaimed++;
            m.in_hand.insert(i);
        }
        prepare(m, i, library);
    }
    FT_Done_FreeType(library);
}

}  // namespace

const FontFamily *enumerated_family(std::size_t i) {
    MeasuringAhead &m = ahead();
    const std::size_t families = family_count();
    bool mine = false;
    {
        std::unique_lock<std::mutex> lock(m.mutex);
        if (i == 0 && m.workers.empty() && !m.stopping) {
            const std::size_t workers = worker_count();
            // Each thread would get a malloc arena of its own, and glibc keeps
            // an arena's freed pages: memory would grow with the threads.
            if (workers > 0) mallopt(M_ARENA_MAX, 1);
            for (std::size_t w = 0; w < workers; ++w)
                m.workers.emplace_back(work, std::ref(m), families,
                                       kFamiliesAheadPerWorker * workers);
        }
        m.position = i;
        // Widths of families passed that nobody took are not wanted now,
        // but those an "@" family will ask for.
        for (auto entry = m.store.begin(); entry != m.store.end();)
            entry = entry->second.family < i && !entry->second.for_vertical ? m.store.erase(entry)
                                                                            : std::next(entry);
        if (i >= m.next_unclaimed) {
            m.next_unclaimed = i + 1;
            m.in_hand.insert(i);
            mine = true;
        }
    }
    m.changed.notify_all();
    if (mine) {
        prepare(m, i, freetype_library());
    } else {
        std::unique_lock<std::mutex> lock(m.mutex);
        m.changed.wait(lock, [&] { return m.in_hand.count(i) == 0; });
    }
    return resolve_family(i, freetype_library());
}

void end_enumeration() { ahead().stop(); }

bool take_prepared_widths(const RealizedFont &font, CodeWidths &widths) {
    MeasuringAhead &m = ahead();
    std::lock_guard<std::mutex> lock(m.mutex);
    const auto entry = m.store.find(sized_face_of(font));
    if (entry == m.store.end()) return false;
    widths = entry->second.widths;
    if (!entry->second.for_vertical || font.family->vertical) m.store.erase(entry);
    return true;
}
