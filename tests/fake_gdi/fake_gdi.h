// A scripted stand-in for the eight GDI calls of gdi/gdi.h, for the tests of
// the program's own logic.
//
// A script lists the font families that EnumFontFamiliesA hands over, in
// order, and for each what the platform answers about its font: the realized
// face name (GetTextFaceA), whether GetTextFaceA fails, and the widths of each
// code (chosen per code, failing per code or for every code, or a deterministic
// default otherwise).
//
// The calls keep the contract of gdi/gdi.h: handles are checked on every call,
// and a handle that is not live (never made, already released, or of the wrong
// kind) makes the call fail, never crash. Every call is logged, with handles by
// name ("dc#1", "font#2", "stock-font", "NULL", or the raw value where it is not
// a live handle), so that a test can check the order of the calls and that
// every handle made was released.
//
// Tests set the script in-process with set_script(). A program run as a
// subprocess (dump_metrics12_scripted) reads it instead from the file named by
// the environment variable FAKE_GDI_SCRIPT (no variable: no family), and where
// FAKE_GDI_LOG names a file, writes the log of its calls there when it exits,
// one call a line, then one line "live: <handles>" ("live: none" when every
// handle made was released).
#ifndef DUMP_METRICS12_FAKE_GDI_H
#define DUMP_METRICS12_FAKE_GDI_H

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "gdi.h"

namespace fake_gdi {

inline constexpr char kScriptVariable[] = "FAKE_GDI_SCRIPT";
inline constexpr char kLogVariable[] = "FAKE_GDI_LOG";

// The face of the font a new context has selected, and of a logical font whose
// record matches no scripted family.
inline constexpr char kStockFaceName[] = "System";

struct Family {
    LOGFONTA logfont{};  // the representative record EnumFontFamiliesA hands over
    TEXTMETRICA metrics{};  // and its metrics
    DWORD font_type = TRUETYPE_FONTTYPE;

    // What GetTextFaceA answers for the family's font; the enumerated name when
    // unset. May be longer than LF_FACESIZE - 1.
    std::optional<std::string> realized_name;
    bool text_face_fails = false;  // GetTextFaceA returns 0 for the family's font

    bool all_codes_fail = false;  // every GetCharABCWidthsFloatA fails
    std::set<unsigned> failing_codes;  // a range holding one of these fails
    std::map<unsigned, ABCFLOAT> widths;  // chosen widths; default_widths() otherwise
    // Where nonzero, the enumeration raises this signal in the process just
    // before it hands the family over: a run interrupted at a known point.
    int raise_signal = 0;

    std::string enumerated_name() const;  // lfFaceName up to its terminator
    std::string realized() const;  // what GetTextFaceA reports, in full
};

// Field by field (the records byte by byte, widths bit by bit).
bool operator==(const Family &a, const Family &b);
inline bool operator!=(const Family &a, const Family &b) { return !(a == b); }

// A family named `enumerated_name` (at most LF_FACESIZE - 1 bytes; longer throws
// std::invalid_argument), with plausible record and metrics for an ANSI font.
Family make_family(std::string_view enumerated_name, DWORD font_type = TRUETYPE_FONTTYPE);

struct Script {
    std::vector<Family> families;

    // For the subprocess only (dump_metrics12_scripted): where nonzero, closing
    // the table fails with this errno (the stream is closed all the same).
    int fclose_error = 0;
};

bool operator==(const Script &a, const Script &b);
inline bool operator!=(const Script &a, const Script &b) { return !(a == b); }

// The default widths: a function of the seed and the code only, exact in
// binary (multiples of 1/8), with A and C of either sign. The stock font uses
// seed 0, family i of the script seed i + 1.
ABCFLOAT default_widths(unsigned seed, unsigned code);

// What the fake answers for `code` of family `family` of `script`: the chosen
// or default widths, or nothing where the code fails.
std::optional<ABCFLOAT> scripted_widths(const Script &script, std::size_t family, unsigned code);

// The script text: one directive a line, a family's directives after its
// "family" line; blank lines and lines starting with '#' are skipped.
//   family <name>                the enumerated face name (rest of the line)
//   realized <name>              GetTextFaceA's answer for its font
//   type <n>                     the font type (decimal or 0x hex, any bits)
//   charset <n>                  lfCharSet and tmCharSet
//   textface fails               GetTextFaceA fails for its font
//   fail <code>                  that code fails
//   fail all                     every code fails
//   width <code> <A> <B> <C>     chosen widths (strtof syntax, hex floats too)
//   raise <signal>               the signal raised before it is handed over
//   fclose-error <errno>         before the first family: see Script
// Names take the escapes \\ and \xHH (two hex digits); a name ends at the end of
// the line.
Script parse_script(std::string_view text);  // throws std::runtime_error naming the line
std::string format_script(const Script &script);  // parse_script(format_script(s)) == s
Script load_script_file(const std::string &path);  // throws std::runtime_error
void write_script_file(const std::string &path, const Script &script);  // throws

// One logged call. Callbacks into the program's FONTENUMPROCA are logged as
// "proc", and in the subprocess the program's fopen and fclose as "fopen" and
// "fclose" (where the linker can wrap them).
struct Call {
    std::string function;
    std::vector<std::string> args;
    std::string result;
    bool misuse = false;  // failed on a handle that was not a live one of its kind

    std::string text() const;  // "SelectObject(dc#1, font#1) -> stock-font"
};

// Replaces the script and forgets every handle and the log. Handles made before
// are never live again.
void set_script(Script script);
const Script &script();

// Reads the script from the file that FAKE_GDI_SCRIPT names (none: an empty
// script) and sets it. Done by the first call when no script was set in-process.
// Throws std::runtime_error if the file cannot be read or parsed.
void load_script_from_environment();

const std::vector<Call> &calls();
std::vector<std::string> call_texts();
std::vector<Call> misuses();

// Names of the contexts and fonts made and not yet released (the stock font is
// never one). A font deleted while still selected counts as released.
std::vector<std::string> live_handles();

// For the subprocess's stdio wrappers: appends a call to the log.
void log_call(Call call);

}  // namespace fake_gdi

#endif  // DUMP_METRICS12_FAKE_GDI_H
