// The face label: the tag of each font type, and where a long name is cut.

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected.h"
#include "measure_font.h"

namespace {

std::string form(const std::string &name, DWORD font_type) {
    char label[kFaceLabelSize + 8];
    std::memset(label, '#', sizeof label);
    form_face_label(label, name.c_str(), font_type);
    // Never past the label's buffer.
    for (std::size_t i = kFaceLabelSize; i < sizeof label; ++i) EXPECT_EQ(label[i], '#') << i;
    return std::string(label, strnlen(label, kFaceLabelSize));
}

struct TagCase {
    DWORD low_bits;
    const char *tag;
};

// The font-type tags, written out here on their own: the one check of
// font_type_tag, which the program and the other tests use.
const TagCase kTagCases[] = {
    {0, " (RAS) "}, {1, " (RAS) "}, {2, " (DEV) "}, {3, " (PLT) "}, {4, " (TT) "}, {5, ""},
    {6, " (TT) "},  {7, " (TT) "},  {8, ""},        {9, ""},        {10, ""},      {11, " (DEV) "},
    {12, ""},       {13, ""},       {14, ""},       {15, ""},
};

void PrintTo(const TagCase &c, std::ostream *out) {
    *out << "low bits " << c.low_bits << ": '" << c.tag << "'";
}

class FontTypeTag : public ::testing::TestWithParam<TagCase> {};

TEST_P(FontTypeTag, ChosenByTheLowFourBitsOnly) {
    const TagCase c = GetParam();
    for (const DWORD high : {0x0u, 0x10u, 0x20u, 0x100u, 0x8000u, 0x80000000u, 0xFFFFFFF0u}) {
        const DWORD type = c.low_bits | high;
        EXPECT_EQ(form("Face", type), std::string("Face") + c.tag)
            << "font type 0x" << std::hex << type;
    }
}

INSTANTIATE_TEST_SUITE_P(AllSixteen, FontTypeTag, ::testing::ValuesIn(kTagCases),
                         [](const ::testing::TestParamInfo<TagCase> &param_info) {
                             return "low" + std::to_string(param_info.param.low_bits);
                         });

TEST(FaceLabel, AThirtyOneByteNameFitsWithTheLongestTag) {
    const std::string name(LF_FACESIZE - 1, 'N');
    for (const DWORD type : {0u, 2u, 3u, 11u}) {  // the seven-byte tags
        const std::string label = form(name, type);
        EXPECT_EQ(label, name + expected::tag(type));
        EXPECT_EQ(label.size(), 38u);
    }
}

TEST(FaceLabel, ANameTooLongForItsTagIsCutToThirtyNineBytes) {
    const std::string name = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";  // 52 bytes
    EXPECT_EQ(form(name, RASTER_FONTTYPE), name.substr(0, 32) + " (RAS) ");
    EXPECT_EQ(form(name, DEVICE_FONTTYPE | RASTER_FONTTYPE), name.substr(0, 32) + " (PLT) ");
    EXPECT_EQ(form(name, TRUETYPE_FONTTYPE), name.substr(0, 33) + " (TT) ");
    EXPECT_EQ(form(name, 5), name.substr(0, 39));
    EXPECT_EQ(form(name, 12), name.substr(0, 39));
}

TEST(FaceLabel, CutExactlyAtTheLimit) {
    for (const DWORD type : {0u, 4u, 5u}) {
        const std::size_t room = 39 - expected::tag(type).size();
        const std::string fits(room, 'f');
        EXPECT_EQ(form(fits, type), fits + expected::tag(type));
        EXPECT_EQ(form(fits + "X", type), fits + expected::tag(type));
        EXPECT_EQ(form(fits.substr(1), type), fits.substr(1) + expected::tag(type));
    }
}

TEST(FaceLabel, AnEmptyNameGivesTheTagAlone) {
    EXPECT_EQ(form("", TRUETYPE_FONTTYPE), " (TT) ");
    EXPECT_EQ(form("", 8), "");
}

TEST(FaceLabel, EveryTypeAndLengthGivesTheTaggedLabel) {
    const std::string long_name(60, 'x');
    for (DWORD type = 0; type < 16; ++type)
        for (std::size_t length = 0; length <= long_name.size(); ++length) {
            const std::string name = long_name.substr(0, length);
            const std::string label = form(name, type);
            EXPECT_EQ(label, expected::label(name, type))
                << "type " << type << " length " << length;
            EXPECT_LE(label.size(), 39u);
        }
}

}  // namespace
