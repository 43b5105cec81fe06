// What the enumeration reads of a font file without FreeType must be what
// FreeType reads: on every face of both committed font sets, the legacy
// family name of an sfnt, and a PCF face's family, slant, weight and strike
// height; and files that are not what they are asked for give false.

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "font_face.h"
#include "font_peek.h"

#include FT_FONT_FORMATS_H

namespace {

std::vector<std::string> font_files() {
    std::vector<std::string> files;
    for (const char *folder : {DUMP_METRICS12_TEST_FONT_DIR, DUMP_METRICS12_ROBUSTNESS_FONT_DIR}) {
        DIR *dir = opendir(folder);
        if (!dir) continue;
        while (const dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name[0] != '.' && name.size() > 3 && name.substr(name.size() - 3) != ".py" &&
                name.substr(name.size() - 3) != ".md" && name.substr(name.size() - 3) != ".in" &&
                name.substr(name.size() - 4) != ".csv")
                files.push_back(std::string(folder) + "/" + name);
        }
        closedir(dir);
    }
    return files;
}

TEST(FontPeek, ReadsWhatFreeTypeReadsOfEveryCommittedFace) {
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    int sfnt_faces = 0, pcf_faces = 0;
    for (const std::string &file : font_files()) {
        for (FT_Long index = 0;; ++index) {
            FT_Face ft_face = nullptr;
            if (FT_New_Face(library, file.c_str(), index, &ft_face) != 0) break;
            SCOPED_TRACE(file + " face " + std::to_string(index));
            const FT_Long faces = ft_face->num_faces;
            const std::string format = FT_Get_Font_Format(ft_face);
            const bool sfnt = FT_IS_SFNT(ft_face);
            FontFace face;
            const bool offered = read_font_face(ft_face, face);
            FT_Done_Face(ft_face);
            std::string name;
            PcfStyle style;
            if (sfnt) {
                ASSERT_TRUE(offered);
                // Without a Windows family record the name is FreeType's own.
                if (peek_sfnt_family_name(file, index, name)) {
                    EXPECT_EQ(name.substr(0, LF_FACESIZE - 1), face.logfont.lfFaceName);
                    ++sfnt_faces;
                }
            } else if (format == "PCF") {
                ASSERT_TRUE(offered);
                ASSERT_TRUE(peek_pcf_style(file, style));
                EXPECT_EQ(style.family, face.logfont.lfFaceName);
                EXPECT_EQ(style.italic, face.italic);
                EXPECT_EQ(style.bold, face.bold);
                EXPECT_EQ(style.height, face.logfont.lfHeight);
                ++pcf_faces;
            } else {
                EXPECT_FALSE(peek_pcf_style(file, style)) << "not a PCF font";
                EXPECT_FALSE(peek_sfnt_family_name(file, index, name)) << "not an sfnt";
            }
            if (index + 1 >= faces) break;
        }
    }
    FT_Done_FreeType(library);
    EXPECT_GE(sfnt_faces, 20);
    EXPECT_EQ(pcf_faces, 2);
}

TEST(FontPeek, MissingFilesAndFacesGiveFalse) {
    std::string name;
    PcfStyle style;
    const std::string collection =
        std::string(DUMP_METRICS12_TEST_FONT_DIR) + "/DM12Collection.ttc";
    EXPECT_TRUE(peek_sfnt_family_name(collection, 1, name));
    EXPECT_EQ(name, "DM12 Collect Two");
    EXPECT_FALSE(peek_sfnt_family_name(collection, 2, name));
    EXPECT_FALSE(peek_sfnt_family_name("/nonexistent/font.ttf", 0, name));
    EXPECT_FALSE(peek_pcf_style("/nonexistent/font.pcf.gz", style));
}

}  // namespace
