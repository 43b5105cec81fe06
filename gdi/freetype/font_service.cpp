// The font service's lasting state: the families the listing found, each
// resolved once, by whichever thread asks first, under one lock.

#include "font_service.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "font_trace.h"
#include "representative_choice.h"
#include "shortage.h"

namespace dm12_gdi {

namespace {

// A family as the listing knows it, and once resolved, what it offers.
struct FamilySlot {
    ListedFamily listed;
    enum class State { kListed, kResolving, kResolved } state = State::kListed;
    std::unique_ptr<FontFamily> family;  // null when resolved to nothing
    std::unique_ptr<FontFamily> vertical;  // its "@" family, where it has one
    // Font files of the family that could not be read, or changed while the
    // program ran, and why: told on the main thread, in the order of the
    // families, whichever thread found them.
    Problems problems;
    bool problems_told = false;
    // What DUMP_METRICS12_TRACE asks told of the family: its faces, the one
    // chosen and why, each left out and why.
    std::vector<std::string> trace;
};

struct FontService {
    bool listed = false;
    std::vector<FamilySlot> slots;  // in enumeration order
    std::map<std::string, std::size_t> slot_by_name;  // by folded name
    // The family each "@" name would be the vertical family of, folded: a
    // look-up of an "@" family resolves that family alone.
    std::multimap<std::string, std::size_t> slot_by_vertical_name;
    bool default_matched = false;  // the default family is matched when first wanted
    ListedFace default_face;
    std::mutex mutex;  // guards the slots' states and families
    std::condition_variable resolved;

    FontService() = default;
    FontService(const FontService &) = delete;
    FontService &operator=(const FontService &) = delete;
};

FontService &service() {
    // The FreeType library first, so that it outlives the families' faces.
    freetype_library();
    static FontService instance;
    return instance;
}

FontService &listed_service() {
    FontService &fonts = service();
    std::lock_guard<std::mutex> lock(fonts.mutex);
    if (fonts.listed) return fonts;
    for (ListedFamily &family : list_families()) {
        fonts.slots.emplace_back();
        fonts.slots.back().listed = std::move(family);
    }
    for (std::size_t i = 0; i < fonts.slots.size(); ++i) {
        const std::string &folded = fonts.slots[i].listed.lowercase_cp1252;
        fonts.slot_by_name.emplace(folded, i);
        fonts.slot_by_vertical_name.emplace(vertical_family_name(folded), i);
    }
    fonts.listed = true;
    return fonts;
}

// The problems found with a family's files are told once, by the main
// thread, when it first has the family: in the order of the enumeration,
// whichever thread found them.
void tell_problems(FontService &fonts, FamilySlot &slot) {
    Problems problems;
    std::vector<std::string> trace;
    {
        std::lock_guard<std::mutex> lock(fonts.mutex);
        if (slot.problems_told) return;
        slot.problems_told = true;
        problems.swap(slot.problems);
        trace.swap(slot.trace);
    }
    for (const auto &[path, problem] : problems) tell_file_problem(path, problem);
    if (!tracing()) return;
    const std::string told =
        family_trace(slot.family ? slot.family->name : slot.listed.lowercase_cp1252,
                     slot.listed.members, slot.family != nullptr, trace);
    std::fputs(told.c_str(), stderr);
}

// The "@" family of a family whose representative has a CJK code page: the
// same faces and widths under the "@" name.
std::unique_ptr<FontFamily> vertical_of(const FontFamily &family) {
    auto vertical = std::make_unique<FontFamily>(family);
    vertical->name = vertical_family_name(family.name);
    vertical->vertical = true;
    for (FontFace &face : vertical->faces)
        std::memcpy(face.logfont.lfFaceName, vertical->name.c_str(), vertical->name.size() + 1);
    return vertical;
}

}  // namespace

void start_font_service() { service(); }

std::size_t family_count() { return listed_service().slots.size(); }

const ListedFamily &listed_family(std::size_t i) { return listed_service().slots.at(i).listed; }

std::size_t family_index(const std::string &folded) {
    const FontService &fonts = listed_service();
    const auto found = fonts.slot_by_name.find(folded);
    return found != fonts.slot_by_name.end() ? found->second : fonts.slots.size();
}

std::vector<std::size_t> families_with_vertical_name(const std::string &folded) {
    const FontService &fonts = listed_service();
    std::vector<std::size_t> found;
    const auto [first, last] = fonts.slot_by_vertical_name.equal_range(folded);
    for (auto slot = first; slot != last; ++slot) found.push_back(slot->second);
    return found;
}

const ListedFace &default_face() {
    FontService &fonts = listed_service();
    std::lock_guard<std::mutex> lock(fonts.mutex);
    if (!fonts.default_matched) {
        fonts.default_face = match_default_face();
        fonts.default_matched = true;
    }
    return fonts.default_face;
}

const FontFamily *resolve_family(std::size_t i, FT_Library library, Caller caller,
                                 OwnedFace *opened) {
    if (opened) opened->reset();
    FontService &fonts = listed_service();
    if (i >= fonts.slots.size()) return nullptr;
    FamilySlot &slot = fonts.slots[i];
    bool resolved_before = false;
    {
        std::unique_lock<std::mutex> lock(fonts.mutex);
        fonts.resolved.wait(lock, [&] { return slot.state != FamilySlot::State::kResolving; });
        resolved_before = slot.state == FamilySlot::State::kResolved;
        if (!resolved_before) slot.state = FamilySlot::State::kResolving;
    }
    if (resolved_before) {
        if (caller == Caller::kMainThread) tell_problems(fonts, slot);
        return slot.family.get();
    }
    OwnedFace face;
    Problems problems;
    std::vector<std::string> trace;
    std::unique_ptr<FontFamily> family;
    try {
        family = choose_representative(slot.listed, library, face, problems,
                                       tracing() ? &trace : nullptr);
        // A face that FreeType failed to read for want of memory is no face
        // missing from the family: the family is left for a later try.
        throw_if_freetype_ran_out();
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(fonts.mutex);
            slot.state = FamilySlot::State::kListed;
        }
        fonts.resolved.notify_all();
        throw;
    }
    std::unique_ptr<FontFamily> vertical =
        family && family->faces.front().cjk ? vertical_of(*family) : nullptr;
    if (opened) *opened = std::move(face);
    {
        std::lock_guard<std::mutex> lock(fonts.mutex);
        slot.family = std::move(family);
        slot.vertical = std::move(vertical);
        slot.problems.insert(slot.problems.end(), problems.begin(), problems.end());
        slot.trace = std::move(trace);
        slot.state = FamilySlot::State::kResolved;
    }
    fonts.resolved.notify_all();
    if (caller == Caller::kMainThread) tell_problems(fonts, slot);
    return slot.family.get();
}

const FontFamily *resolve_on_main_thread(std::size_t i) {
    return resolve_family(i, freetype_library(), Caller::kMainThread);
}

std::uintmax_t largest_file_of(std::size_t i) {
    const FontService &fonts = listed_service();
    std::uintmax_t largest = 0;
    if (i < fonts.slots.size())
        for (const ListedFace &face : fonts.slots[i].listed.members)
            largest = std::max(largest, static_cast<std::uintmax_t>(face.snapshot.size));
    return largest;
}

const FontFamily *vertical_family(std::size_t i) {
    FontService &fonts = listed_service();
    if (i >= fonts.slots.size() || !resolve_on_main_thread(i)) return nullptr;
    std::lock_guard<std::mutex> lock(fonts.mutex);
    return fonts.slots[i].vertical.get();
}

std::vector<const FontFamily *> vertical_families() {
    FontService &fonts = listed_service();
    for (std::size_t i = 0; i < fonts.slots.size(); ++i) resolve_on_main_thread(i);
    std::lock_guard<std::mutex> lock(fonts.mutex);
    std::vector<const FontFamily *> verticals;
    for (const FamilySlot &slot : fonts.slots)
        if (slot.vertical) verticals.push_back(slot.vertical.get());
    return verticals;
}

void note_family_problem(std::size_t i, const std::string &path, const std::string &problem) {
    FontService &fonts = listed_service();
    if (i >= fonts.slots.size()) return;
    {
        std::lock_guard<std::mutex> lock(fonts.mutex);
        if (!fonts.slots[i].problems_told) {
            fonts.slots[i].problems.emplace_back(path, problem);
            return;
        }
    }
    tell_file_problem(path, problem);
}

}  // namespace dm12_gdi
