// The eight GDI calls over the script, with checked handles and a log.

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

#include "fake_gdi.h"

namespace fake_gdi {

namespace {

enum class Kind { context, font };

struct Object {
    Kind kind;
    std::string name;
    std::uintptr_t selected = 0;  // a context's font
    std::optional<std::size_t> family;  // a font's family; none: the stock face
    bool stock = false;
    bool deleted = false;  // deleted while selected: no longer live
};

constexpr std::uintptr_t kStockFont = 0x7f00;

// Handle values are never reused, not even across scripts, so that a stale
// handle is never mistaken for a live one.
std::uintptr_t g_next_value = 0x10000;

std::string hex(std::uintptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        }
    }
    return out + "\"";
}

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// GDI matches face names without regard to (ASCII) case.
bool same_name_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower_ascii(a[i]) != lower_ascii(b[i])) return false;
    return true;
}

std::string face_of(const LOGFONTA &logfont) {
    return std::string(logfont.lfFaceName, strnlen(logfont.lfFaceName, LF_FACESIZE));
}

class State {
public:
    State() {
        const char *log = std::getenv(kLogVariable);
        if (log != nullptr && *log != '\0') log_path_ = log;
        try {
            script_ = load_environment_script();
        } catch (const std::exception &error) {
            std::fprintf(stderr, "%s\n", error.what());
            std::fflush(stderr);
            std::_Exit(125);
        }
        reset();
    }

    State(const State &) = delete;
    State &operator=(const State &) = delete;

    // The log goes out through POSIX calls, not stdio: the scripted program's
    // fopen and fclose may be wrapped to log them.
    ~State() {
        if (log_path_.empty()) return;
        std::string text;
        for (const Call &call : log_) text += call.text() + "\n";
        text += "live:";
        const std::vector<std::string> live = live_names();
        if (live.empty()) text += " none";
        for (const std::string &name : live) text += " " + name;
        text += "\n";
        const int out = ::open(log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0) return;
        for (std::size_t done = 0; done < text.size();) {
            const ssize_t wrote = ::write(out, text.data() + done, text.size() - done);
            if (wrote <= 0) break;
            done += static_cast<std::size_t>(wrote);
        }
        ::close(out);
    }

    static Script load_environment_script() {
        const char *path = std::getenv(kScriptVariable);
        if (path == nullptr || *path == '\0') return Script{};
        return load_script_file(path);
    }

    void set_script(Script script) {
        script_ = std::move(script);
        reset();
    }

    const Script &script() const { return script_; }
    const std::vector<Call> &log() const { return log_; }

    std::size_t log_call(Call call) {
        log_.push_back(std::move(call));
        return log_.size() - 1;
    }
    Call &entry(std::size_t index) { return log_[index]; }

    // ---- handles

    std::uintptr_t make(Kind kind) {
        const std::uintptr_t value = g_next_value;
        g_next_value += 0x10;
        Object object{kind, "", 0, std::nullopt, false, false};
        if (kind == Kind::context) {
            object.name = "dc#" + std::to_string(++contexts_made_);
            object.selected = kStockFont;
        } else {
            object.name = "font#" + std::to_string(++fonts_made_);
        }
        objects_.emplace(value, std::move(object));
        return value;
    }

    Object *live(std::uintptr_t value, Kind kind) {
        const auto found = objects_.find(value);
        if (found == objects_.end() || found->second.kind != kind || found->second.deleted)
            return nullptr;
        return &found->second;
    }

    // The font selected in a live context (possibly one deleted since).
    const Object &font_in(const Object &context) const { return objects_.at(context.selected); }

    std::string describe(std::uintptr_t value) const {
        if (value == 0) return "NULL";
        const auto found = objects_.find(value);
        if (found != objects_.end())
            return found->second.deleted ? found->second.name + "(deleted)" : found->second.name;
        const auto gone = released_.find(value);
        if (gone != released_.end()) return gone->second + "(released)";
        return hex(value);
    }

    void release(std::uintptr_t value) {
        const auto found = objects_.find(value);
        if (found == objects_.end() || found->second.stock) return;
        released_[value] = found->second.name;
        objects_.erase(found);
    }

    bool selected_anywhere(std::uintptr_t font) const {
        return std::any_of(objects_.begin(), objects_.end(), [font](const auto &entry) {
            return entry.second.kind == Kind::context && entry.second.selected == font;
        });
    }

    // A font deleted while selected goes once no context selects it.
    void collect(std::uintptr_t font) {
        const auto found = objects_.find(font);
        if (found != objects_.end() && found->second.deleted && !selected_anywhere(font))
            release(font);
    }

    std::vector<std::string> live_names() const {
        std::vector<std::string> names;
        for (const auto &[value, object] : objects_)
            if (!object.stock && !object.deleted) names.push_back(object.name);
        return names;
    }

    std::optional<std::size_t> family_for(const LOGFONTA &logfont) const {
        for (std::size_t i = 0; i < script_.families.size(); ++i)
            if (std::memcmp(&script_.families[i].logfont, &logfont,
                            offsetof(LOGFONTA, lfFaceName) + LF_FACESIZE) == 0)
                return i;
        for (std::size_t i = 0; i < script_.families.size(); ++i)
            if (same_name_ignoring_case(script_.families[i].enumerated_name(), face_of(logfont)))
                return i;
        return std::nullopt;
    }

private:
    void reset() {
        objects_.clear();
        released_.clear();
        log_.clear();
        contexts_made_ = 0;
        fonts_made_ = 0;
        Object stock{Kind::font, "stock-font", 0, std::nullopt, true, false};
        objects_.emplace(kStockFont, std::move(stock));
    }

    Script script_;
    std::string log_path_;
    std::vector<Call> log_;
    std::map<std::uintptr_t, Object> objects_;
    std::map<std::uintptr_t, std::string> released_;
    unsigned contexts_made_ = 0;
    unsigned fonts_made_ = 0;
};

State &state() {
    static State instance;
    return instance;
}

std::uintptr_t value_of(const void *handle) { return reinterpret_cast<std::uintptr_t>(handle); }

template <typename Handle>
Handle handle_of(std::uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}

std::size_t begin_call(std::string function, std::vector<std::string> args) {
    Call call;
    call.function = std::move(function);
    call.args = std::move(args);
    return state().log_call(std::move(call));
}

void end_call(std::size_t index, std::string result, bool misuse = false) {
    Call &call = state().entry(index);
    call.result = std::move(result);
    call.misuse = misuse;
}

}  // namespace

std::string Call::text() const {
    std::string out = function + "(";
    for (std::size_t i = 0; i < args.size(); ++i) out += (i ? ", " : "") + args[i];
    out += ") -> " + result;
    if (misuse) out += " [misuse]";
    return out;
}

void set_script(Script script) { state().set_script(std::move(script)); }
const Script &script() { return state().script(); }

void load_script_from_environment() { state().set_script(State::load_environment_script()); }

const std::vector<Call> &calls() { return state().log(); }

std::vector<std::string> call_texts() {
    std::vector<std::string> texts;
    for (const Call &call : calls()) texts.push_back(call.text());
    return texts;
}

std::vector<Call> misuses() {
    std::vector<Call> found;
    for (const Call &call : calls())
        if (call.misuse) found.push_back(call);
    return found;
}

std::vector<std::string> live_handles() { return state().live_names(); }

void log_call(Call call) { state().log_call(std::move(call)); }

}  // namespace fake_gdi

using fake_gdi::Kind;
using fake_gdi::state;

HDC CreateCompatibleDC(HDC dc) {
    auto &s = state();
    const std::size_t call =
        fake_gdi::begin_call("CreateCompatibleDC", {s.describe(fake_gdi::value_of(dc))});
    if (dc != nullptr && s.live(fake_gdi::value_of(dc), Kind::context) == nullptr) {
        fake_gdi::end_call(call, "NULL", true);
        return nullptr;
    }
    const std::uintptr_t made = s.make(Kind::context);
    fake_gdi::end_call(call, s.describe(made));
    return fake_gdi::handle_of<HDC>(made);
}

BOOL DeleteDC(HDC dc) {
    auto &s = state();
    const std::uintptr_t value = fake_gdi::value_of(dc);
    const std::size_t call = fake_gdi::begin_call("DeleteDC", {s.describe(value)});
    fake_gdi::Object *context = s.live(value, Kind::context);
    if (context == nullptr) {
        fake_gdi::end_call(call, "FALSE", true);
        return FALSE;
    }
    const std::uintptr_t font = context->selected;
    s.release(value);
    s.collect(font);
    fake_gdi::end_call(call, "TRUE");
    return TRUE;
}

int EnumFontFamiliesA(HDC dc, const char *family, FONTENUMPROCA proc, LPARAM lparam) {
    auto &s = state();
    const std::size_t call = fake_gdi::begin_call(
        "EnumFontFamiliesA",
        {s.describe(fake_gdi::value_of(dc)),
         family ? fake_gdi::quoted(family) : std::string("NULL"), proc ? "proc" : "NULL"});
    if (s.live(fake_gdi::value_of(dc), Kind::context) == nullptr) {
        fake_gdi::end_call(call, "0", true);
        return 0;
    }
    if (proc == nullptr) {
        fake_gdi::end_call(call, "0");
        return 0;
    }
    // A copy, so that the program sees the families as they were when it began.
    const std::vector<fake_gdi::Family> families = s.script().families;
    int result = 1;
    for (const fake_gdi::Family &f : families) {
        if (family != nullptr && !fake_gdi::same_name_ignoring_case(f.enumerated_name(), family))
            continue;
        if (f.raise_signal != 0) std::raise(f.raise_signal);
        LOGFONTA logfont = f.logfont;
        TEXTMETRICA metrics = f.metrics;
        char type[16];
        std::snprintf(type, sizeof type, "0x%lx", static_cast<unsigned long>(f.font_type));
        const std::size_t callback =
            fake_gdi::begin_call("proc", {fake_gdi::quoted(f.enumerated_name()), type});
        result = proc(&logfont, &metrics, f.font_type, lparam);
        fake_gdi::end_call(callback, std::to_string(result));
        if (result == 0) break;
    }
    fake_gdi::end_call(call, std::to_string(result));
    return result;
}

HFONT CreateFontIndirectA(const LOGFONTA *lf) {
    auto &s = state();
    const std::size_t call =
        fake_gdi::begin_call("CreateFontIndirectA",
                             {lf ? fake_gdi::quoted(fake_gdi::face_of(*lf)) : std::string("NULL")});
    if (lf == nullptr) {
        fake_gdi::end_call(call, "NULL");
        return nullptr;
    }
    const std::optional<std::size_t> family = s.family_for(*lf);
    const std::uintptr_t made = s.make(Kind::font);
    s.live(made, Kind::font)->family = family;
    fake_gdi::end_call(call, s.describe(made));
    return fake_gdi::handle_of<HFONT>(made);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    auto &s = state();
    const std::uintptr_t dc_value = fake_gdi::value_of(dc);
    const std::uintptr_t font = fake_gdi::value_of(object);
    const std::size_t call =
        fake_gdi::begin_call("SelectObject", {s.describe(dc_value), s.describe(font)});
    fake_gdi::Object *context = s.live(dc_value, Kind::context);
    if (context == nullptr || s.live(font, Kind::font) == nullptr) {
        fake_gdi::end_call(call, "NULL", true);
        return nullptr;
    }
    const std::uintptr_t previous = context->selected;
    context->selected = font;
    const std::string previous_name = s.describe(previous);
    s.collect(previous);
    fake_gdi::end_call(call, previous_name);
    return fake_gdi::handle_of<HGDIOBJ>(previous);
}

BOOL DeleteObject(HGDIOBJ object) {
    auto &s = state();
    const std::uintptr_t value = fake_gdi::value_of(object);
    const std::size_t call = fake_gdi::begin_call("DeleteObject", {s.describe(value)});
    fake_gdi::Object *font = s.live(value, Kind::font);
    if (font == nullptr) {
        fake_gdi::end_call(call, "FALSE", true);
        return FALSE;
    }
    if (font->stock) {
        fake_gdi::end_call(call, "TRUE (stock object, kept)");
    } else if (s.selected_anywhere(value)) {
        font->deleted = true;
        fake_gdi::end_call(call, "TRUE (still selected)");
    } else {
        s.release(value);
        fake_gdi::end_call(call, "TRUE");
    }
    return TRUE;
}

int GetTextFaceA(HDC dc, int count, char *face) {
    auto &s = state();
    const std::size_t call = fake_gdi::begin_call(
        "GetTextFaceA",
        {s.describe(fake_gdi::value_of(dc)), std::to_string(count), face ? "buf" : "NULL"});
    const fake_gdi::Object *context = s.live(fake_gdi::value_of(dc), Kind::context);
    if (context == nullptr) {
        fake_gdi::end_call(call, "0", true);
        return 0;
    }
    const fake_gdi::Object &font = s.font_in(*context);
    std::string name = fake_gdi::kStockFaceName;
    if (font.family) {
        const fake_gdi::Family &family = s.script().families.at(*font.family);
        if (family.text_face_fails) {
            fake_gdi::end_call(call, "0 (scripted failure)");
            return 0;
        }
        name = family.realized();
    }
    if (face == nullptr) {  // GDI's query: the size the name needs
        const int needed = static_cast<int>(name.size() + 1);
        fake_gdi::end_call(call, std::to_string(needed));
        return needed;
    }
    if (count <= 0) {
        fake_gdi::end_call(call, "0");
        return 0;
    }
    const std::size_t copied = std::min(name.size(), static_cast<std::size_t>(count - 1));
    std::memcpy(face, name.data(), copied);
    face[copied] = '\0';
    fake_gdi::end_call(call,
                       std::to_string(copied) + " " + fake_gdi::quoted(name.substr(0, copied)));
    return static_cast<int>(copied);
}

// The scripted service never fails as a whole; not a GDI call, so not logged.
void SetFontServiceFailureHandler(FontServiceFailureHandler) {}

BOOL GetCharABCWidthsFloatA(HDC dc, UINT first, UINT last, ABCFLOAT *widths) {
    auto &s = state();
    const std::size_t call = fake_gdi::begin_call(
        "GetCharABCWidthsFloatA", {s.describe(fake_gdi::value_of(dc)), std::to_string(first),
                                   std::to_string(last), widths ? "abc" : "NULL"});
    const fake_gdi::Object *context = s.live(fake_gdi::value_of(dc), Kind::context);
    if (context == nullptr) {
        fake_gdi::end_call(call, "FALSE", true);
        return FALSE;
    }
    if (widths == nullptr || first > last || last > 255) {
        fake_gdi::end_call(call, "FALSE");
        return FALSE;
    }
    const fake_gdi::Object &font = s.font_in(*context);
    std::vector<ABCFLOAT> measured;
    for (UINT code = first; code <= last; ++code) {
        if (!font.family) {
            measured.push_back(fake_gdi::default_widths(0, code));
            continue;
        }
        const std::optional<ABCFLOAT> scripted =
            fake_gdi::scripted_widths(s.script(), *font.family, code);
        if (!scripted) {
            fake_gdi::end_call(call, "FALSE (scripted failure)");
            return FALSE;
        }
        measured.push_back(*scripted);
    }
    std::copy(measured.begin(), measured.end(), widths);
    fake_gdi::end_call(call, "TRUE");
    return TRUE;
}
