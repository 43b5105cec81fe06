// What each implementation of gdi.h that runs the handle tests
// (handles_test.cpp) gives them: the fake over a script, and our GDI over the
// private font set. Each test binary that compiles handles_test.cpp defines
// these.
#ifndef DUMP_METRICS12_TESTS_HANDLES_HANDLES_TEST_H
#define DUMP_METRICS12_TESTS_HANDLES_HANDLES_TEST_H

#include <string>

#include "gdi.h"

namespace handles_test {

// Called before each test: fonts of at least two families to realize.
void set_up_fonts();

// A logical font of one of two different families (`which` is 0 or 1), and
// the face name GetTextFaceA reports once it is selected.
LOGFONTA family_logfont(int which);
std::string realized_face(int which);

}  // namespace handles_test

#endif  // DUMP_METRICS12_TESTS_HANDLES_HANDLES_TEST_H
