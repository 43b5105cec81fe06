// A configuration that cannot be loaded ends nothing inside our GDI: the
// failure goes to the handler the program set (or to standard error), and the
// service goes on with no fonts rather than fontconfig's fall-back to others.

#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "expected_tables.h"
#include "font_config.h"

namespace dm12_gdi {

namespace {

std::vector<std::string> told;

void remember(const char *reason) { told.emplace_back(reason); }

// FONTCONFIG_FILE for one test; the private set's again afterwards, which the
// other tests of this binary read.
class ConfigNamed {
public:
    explicit ConfigNamed(const std::string &file) { setenv("FONTCONFIG_FILE", file.c_str(), 1); }
    ~ConfigNamed() { setenv("FONTCONFIG_FILE", dm12_fonts::fontconfig_file(), 1); }
    ConfigNamed(const ConfigNamed &) = delete;
    ConfigNamed &operator=(const ConfigNamed &) = delete;
};

int font_count(FcConfig *config) {
    FcPattern *everything = FcPatternCreate();
    FcObjectSet *objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet *set = FcFontList(config, everything, objects);
    const int count = set ? set->nfont : -1;
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(everything);
    return count;
}

struct FailureCase {
    const char *name;
    const char *content;  // written as the file; null: no file
    const char *reason;
};

void PrintTo(const FailureCase &c, std::ostream *out) { *out << c.name; }

const FailureCase kFailureCases[] = {
    {"Missing", nullptr, "No such file or directory"},
    {"Empty", "", "fontconfig cannot read it"},
    {"Malformed", "<fontconfig><dir>/usr/share/fonts</fontconfig>", "fontconfig cannot read it"},
};

class ConfigFailure : public ::testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override {
        told.clear();
        set_config_failure_handler(remember);
    }
    void TearDown() override {
        set_config_failure_handler(nullptr);
        std::error_code ignored;
        std::filesystem::remove(file_, ignored);
    }
    std::string file_ = (std::filesystem::temp_directory_path() /
                         ("dm12-config-" + std::to_string(::getpid()) + ".conf"))
                            .string();
};

TEST_P(ConfigFailure, IsToldToTheHandlerAndLeavesNoFonts) {
    const FailureCase &c = GetParam();
    if (c.content) std::ofstream(file_, std::ios::binary) << c.content;
    const ConfigNamed named(file_);
    FcConfig *config = load_font_config_or_report();
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(font_count(config), 0) << "another set of fonts stands for the one asked for";
    FcConfigDestroy(config);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "cannot load the fontconfig configuration '" + file_ + "': " + c.reason);
}

INSTANTIATE_TEST_SUITE_P(FontConfig, ConfigFailure, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase> &param_info) {
                             return std::string(param_info.param.name);
                         });

TEST(FontConfig, ALoadedConfigurationTellsNothing) {
    told.clear();
    set_config_failure_handler(remember);
    FcConfig *config = load_font_config_or_report();
    set_config_failure_handler(nullptr);
    ASSERT_NE(config, nullptr);
    EXPECT_GT(font_count(config), 0);
    FcConfigDestroy(config);
    EXPECT_TRUE(told.empty());
}

TEST(FontConfig, WithoutAHandlerTheFailureGoesToStandardError) {
    const ConfigNamed named("/nonexistent/dm12.conf");
    ::testing::internal::CaptureStderr();
    FcConfig *config = load_font_config_or_report();
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(config, nullptr);
    FcConfigDestroy(config);
    EXPECT_NE(err.find(": cannot load the fontconfig configuration '/nonexistent/dm12.conf': No "
                       "such file or directory\n"),
              std::string::npos)
        << err;
}

}  // namespace

}  // namespace dm12_gdi
