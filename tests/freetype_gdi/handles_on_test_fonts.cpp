// The fonts the handle tests (handles_test.cpp) realize with our GDI: two
// families of the private font set, which main selects.

#include "gdi_objects.h"
#include "handles_test.h"

namespace handles_test {

namespace {

const char *const kFamilies[2] = {"DM12 Sans", "DM12 Mono"};

}  // namespace

void set_up_fonts() {}

LOGFONTA family_logfont(int which) { return gdi_objects::logfont_named(kFamilies[which]); }

std::string realized_face(int which) { return kFamilies[which]; }

}  // namespace handles_test
