// The machine running short, told apart from a font that cannot be read.
// Memory or descriptors running out say nothing about a font: a family left
// out for them would make a table that passes for whole. They are thrown
// instead, to end the enumeration (std::bad_alloc, or std::system_error naming
// what could not be opened), and threads that measure ahead stop on them and
// leave their family to the program's own thread.
#ifndef DUMP_METRICS12_SHORTAGE_H
#define DUMP_METRICS12_SHORTAGE_H

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <functional>
#include <string>

namespace dm12_gdi {

// The stack of the threads our GDI makes, whatever `ulimit -s` says (which
// sizes new threads' stacks too): fontconfig's parsing of nested includes
// and FreeType's hinting need more than a small limit gives.
inline constexpr std::size_t kThreadStackSize = std::size_t{4} << 20;  // 4 MiB

// Runs `task` here where this thread's stack may grow to kThreadStackSize,
// else (the program's thread under a small `ulimit -s`) on a thread made for
// it with that stack, waited for, its exception thrown on here; here too
// where no thread can be made.
void run_with_stack_room(const std::function<void()> &task);

// Whether an errno from opening a file tells of the process or the system
// running short (descriptors, kernel memory), not of the file.
bool is_shortage(int error);

// Throws std::system_error for `error`, naming what could not be opened.
[[noreturn]] void throw_shortage(int error, const std::string &what);

// How many more descriptors the process may open now, up to `at_most`.
std::size_t spare_descriptors(std::size_t at_most);

// Descriptors a thread measuring fonts holds at once: the best face of a
// family so far, open for FreeType, and the file of the face being read.
inline constexpr std::size_t kDescriptorsPerThread = 2;
// Descriptors fontconfig may hold at once while it loads its configuration and
// scans folders it has no cache for (an include, a folder, a font, the cache
// it writes). Short of them it leaves fonts out without a word, and may write
// a cache without them, which later runs would believe.
inline constexpr std::size_t kDescriptorsForFontconfig = 6;

// A FreeType library like FT_Init_FreeType's, whose allocations note a
// failure for throw_if_freetype_ran_out(); released with
// done_freetype_library. FreeType reports running out of memory as a failure
// of whatever it was doing, which would pass for a font it cannot read.
// Its TrueType interpreter is `interpreter_version`, unless the environment's
// FREETYPE_PROPERTIES chooses another.
FT_Error new_freetype_library(FT_Library *library, FT_UInt interpreter_version);
void done_freetype_library(FT_Library library);

// Throws std::bad_alloc where an allocation by FreeType on this thread has
// failed since the last call: what then failed failed for want of memory.
void throw_if_freetype_ran_out();

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_SHORTAGE_H
