// The GDI calls the program makes, over our font service. Device contexts and
// fonts are handles into tables of live objects, checked on every call, so a
// stale or made-up handle fails the call rather than touching memory. The
// calls are meant for one thread, as the program uses them.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "double_byte.h"
#include "font_config.h"
#include "font_lookup.h"
#include "gdi.h"
#include "measure_ahead.h"
#include "shortage.h"

// The calls below are the platform's, global; what answers them is ours.
using namespace dm12_gdi;  // NOLINT(google-build-using-namespace)

namespace {

enum HandleKind : std::uintptr_t { kDeviceContext = 1, kFont = 2 };

// A handle is its kind in the low two bits, the slot's generation above them,
// and the slot's index above that: a slot reused by a later object gets a new
// generation, so a handle to the earlier one no longer matches.
constexpr unsigned kGenerationBits = 14;
constexpr std::uintptr_t kGenerationMask = (std::uintptr_t{1} << kGenerationBits) - 1;

template <typename Object>
struct HandleTable {
    struct Slot {
        std::uintptr_t generation = 0;
        std::unique_ptr<Object> object;
    };
    HandleKind kind;
    std::vector<Slot> slots;
    std::vector<std::size_t> free_slots;

    std::uintptr_t add(std::unique_ptr<Object> object) {
        std::size_t index = slots.size();
        if (free_slots.empty()) {
            slots.emplace_back();
        } else {
            index = free_slots.back();
            free_slots.pop_back();
        }
        slots[index].object = std::move(object);
        return (index << (kGenerationBits + 2)) | (slots[index].generation << 2) | kind;
    }

    Slot *slot_of(std::uintptr_t handle) {
        if ((handle & 3) != kind) return nullptr;
        const std::size_t index = handle >> (kGenerationBits + 2);
        if (index >= slots.size()) return nullptr;
        Slot &slot = slots[index];
        if (!slot.object || slot.generation != ((handle >> 2) & kGenerationMask)) return nullptr;
        return &slot;
    }

    Object *find(std::uintptr_t handle) {
        Slot *slot = slot_of(handle);
        return slot ? slot->object.get() : nullptr;
    }

    void remove(std::uintptr_t handle) {
        Slot *slot = slot_of(handle);
        if (!slot) return;
        slot->object.reset();
        slot->generation = (slot->generation + 1) & kGenerationMask;
        free_slots.push_back(static_cast<std::size_t>(slot - slots.data()));
    }
};

struct FontObject {
    LOGFONTA logfont{};
    bool stock = false;
    int selections = 0;  // contexts it is selected into
    bool deleted = false;  // deleted while selected: goes when last deselected
    bool realize_tried = false;
    std::unique_ptr<RealizedFont> realized;
    // Widths of codes 32 to 127 measured ahead, taken on the first query.
    bool prepared_looked_up = false;
    bool has_prepared = false;
    CodeWidths prepared;
};

struct DeviceContext {
    std::uintptr_t font = 0;
};

struct Handles {
    HandleTable<DeviceContext> contexts{kDeviceContext, {}, {}};
    HandleTable<FontObject> fonts{kFont, {}, {}};
    std::uintptr_t default_font = 0;
};

Handles &handles() {
    // The font service first, so that it outlives the fonts realized here,
    // which point into its families.
    start_font_service();
    static Handles instance;
    return instance;
}

std::uintptr_t value_of(const void *handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// The font every new context starts with: the default family at the default
// size. Like GDI's stock objects it is never deleted.
std::uintptr_t default_font(Handles &live) {
    if (!live.default_font) {
        auto font = std::make_unique<FontObject>();
        font->stock = true;
        live.default_font = live.fonts.add(std::move(font));
    }
    return live.default_font;
}

void deselect(Handles &live, std::uintptr_t font_handle) {
    FontObject *font = live.fonts.find(font_handle);
    if (!font) return;
    --font->selections;
    if (font->deleted && font->selections == 0) live.fonts.remove(font_handle);
}

// The font selected into a context, realized on first use.
FontObject *selected_font_object(HDC dc) {
    Handles &live = handles();
    const DeviceContext *context = live.contexts.find(value_of(dc));
    if (!context) return nullptr;
    FontObject *font = live.fonts.find(context->font);
    if (!font) return nullptr;
    if (!font->realize_tried) {
        font->realize_tried = true;
        font->realized = realize_font(font->logfont);
    }
    return font->realized ? font : nullptr;
}

RealizedFont *selected_font(HDC dc) {
    FontObject *font = selected_font_object(dc);
    return font ? font->realized.get() : nullptr;
}

// A code's widths: those measured ahead where there are some, else measured
// now.
bool widths_of(FontObject &font, unsigned code, ABCFLOAT &widths) {
    if (!font.prepared_looked_up) {
        font.prepared_looked_up = true;
        font.has_prepared = take_prepared_widths(*font.realized, font.prepared);
    }
    if (font.has_prepared && code >= 32 && code <= 127) {
        widths = font.prepared.widths[code - 32];
        return font.prepared.measured[code - 32];
    }
    if (glyph_widths(*font.realized, code, widths)) return true;
    // Not a code the font lacks where FreeType ran out of memory measuring it.
    throw_if_freetype_ran_out();
    return false;
}

}  // namespace

HDC CreateCompatibleDC(HDC) {
    Handles &live = handles();
    auto context = std::make_unique<DeviceContext>();
    context->font = default_font(live);
    ++live.fonts.find(context->font)->selections;
    return reinterpret_cast<HDC>(live.contexts.add(std::move(context)));
}

BOOL DeleteDC(HDC dc) {
    Handles &live = handles();
    const DeviceContext *context = live.contexts.find(value_of(dc));
    if (!context) return FALSE;
    const std::uintptr_t font = context->font;
    live.contexts.remove(value_of(dc));
    deselect(live, font);
    return TRUE;
}

namespace {

int report(const FontFace &face, FONTENUMPROCA proc, LPARAM lparam) {
    const LOGFONTA logfont = face.logfont;
    const TEXTMETRICA metrics = face.metrics;
    return proc(&logfont, &metrics, face.font_type, lparam);
}

// Every face the name finds, in full.
int enumerate_family(const char *family_name, FONTENUMPROCA proc, LPARAM lparam) {
    const std::string name(family_name, strnlen(family_name, LF_FACESIZE - 1));
    int result = 1;
    for (const FontFace &face : faces_named(name.c_str())) {
        result = report(face, proc, lparam);
        if (result == 0) return 0;
    }
    return result;
}

}  // namespace

int EnumFontFamiliesA(HDC dc, const char *family_name, FONTENUMPROCA proc, LPARAM lparam) {
    if (!proc || !handles().contexts.find(value_of(dc))) return 0;
    if (family_name) return enumerate_family(family_name, proc, lparam);
    // The representative face of each family, each "@" family right after
    // its horizontal one; each is resolved and measured as the enumeration
    // comes to it.
    int result = 1;
    for (std::size_t i = 0; i < family_count() && result != 0; ++i) {
        if (const FontFamily *family = enumerated_family(i))
            result = report(family->faces.front(), proc, lparam);
        if (result != 0)
            if (const FontFamily *vertical = vertical_family(i))
                result = report(vertical->faces.front(), proc, lparam);
    }
    end_enumeration();
    return result;
}

HFONT CreateFontIndirectA(const LOGFONTA *logfont) {
    if (!logfont) return nullptr;
    auto font = std::make_unique<FontObject>();
    font->logfont = *logfont;
    font->logfont.lfFaceName[LF_FACESIZE - 1] = '\0';
    return reinterpret_cast<HFONT>(handles().fonts.add(std::move(font)));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Handles &live = handles();
    DeviceContext *context = live.contexts.find(value_of(dc));
    FontObject *font = live.fonts.find(value_of(object));
    if (!context || !font || font->deleted) return nullptr;
    const std::uintptr_t previous = context->font;
    ++font->selections;
    context->font = value_of(object);
    deselect(live, previous);
    return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ object) {
    Handles &live = handles();
    FontObject *font = live.fonts.find(value_of(object));
    if (!font || font->deleted) return FALSE;
    if (font->stock) return TRUE;
    if (font->selections > 0)
        font->deleted = true;
    else
        live.fonts.remove(value_of(object));
    return TRUE;
}

int GetTextFaceA(HDC dc, int count, char *face) {
    RealizedFont *font = selected_font(dc);
    if (!font) return 0;
    const std::string &name = font->family->name;
    if (!face) return static_cast<int>(name.size()) + 1;
    if (count <= 0) return 0;
    const std::size_t copied = std::min(name.size(), static_cast<std::size_t>(count) - 1);
    std::memcpy(face, name.data(), copied);
    face[copied] = '\0';
    return static_cast<int>(copied);
}

namespace {

// Codes above 255: the characters that double-byte codes stand for in the
// font's code page, where it takes them (takes_double_byte_codes).
BOOL double_byte_widths(RealizedFont &font, UINT first, UINT last, ABCFLOAT *widths) {
    if (!takes_double_byte_codes(font.charset, first, last)) return FALSE;
    const std::vector<char32_t> characters = double_byte_characters(font.charset, first, last);
    if (characters.size() != last - first + 1) return FALSE;
    for (std::size_t i = 0; i < characters.size(); ++i)
        if (!glyph_widths(font, characters[i] ? characters[i] : kNoCharacter, widths[i]))
            return FALSE;
    return TRUE;
}

}  // namespace

void SetFontServiceFailureHandler(FontServiceFailureHandler handler) {
    set_config_failure_handler(handler);
}

BOOL GetCharABCWidthsFloatA(HDC dc, UINT first, UINT last, ABCFLOAT *widths) {
    if (!widths || first > last) return FALSE;
    FontObject *font = selected_font_object(dc);
    if (!font) return FALSE;
    if (last > 255) return double_byte_widths(*font->realized, first, last, widths);
    for (UINT code = first; code <= last; ++code)
        if (!widths_of(*font, code, widths[code - first])) return FALSE;
    return TRUE;
}
