// The fonts the handle tests (handles_test.cpp) realize with the fake: a
// script of two families, set afresh before each test.

#include "fake_gdi.h"
#include "handles_test.h"

namespace handles_test {

void set_up_fonts() {
    fake_gdi::Script script;
    script.families.push_back(fake_gdi::make_family("Handles Sans"));
    script.families.push_back(fake_gdi::make_family("Handles Mono"));
    script.families.back().realized_name = "Handles Mono Realized";
    fake_gdi::set_script(script);
}

LOGFONTA family_logfont(int which) {
    return fake_gdi::script().families.at(static_cast<std::size_t>(which)).logfont;
}

std::string realized_face(int which) {
    return fake_gdi::script().families.at(static_cast<std::size_t>(which)).realized();
}

}  // namespace handles_test
