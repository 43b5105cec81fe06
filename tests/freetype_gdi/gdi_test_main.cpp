// The tests of our GDI select the private font set before the first GDI call
// (ctest sets the same through the tests' ENVIRONMENT; this covers runs by hand).

#include <gtest/gtest.h>

#include <cstdlib>

#include "expected_tables.h"

int main(int argc, char **argv) {
    setenv("FONTCONFIG_FILE", dm12_fonts::fontconfig_file(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
