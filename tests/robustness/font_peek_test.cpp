// What the enumeration reads of a font file without FreeType must be what
// FreeType reads: on every face of both committed font sets, the legacy
// family name of an sfnt, what chooses a representative among a family's
// faces (character set, slant, weight, outline kind, height), and a PCF
// face's family; and files that are not what they are asked for give false.
//
// DUMP_METRICS12_PEEK_FOLDERS (folders separated by ':') checks the fonts
// under those folders instead, such as a machine's /usr/share/fonts.

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "font_face.h"
#include "font_peek.h"

#include FT_FONT_FORMATS_H

namespace dm12_gdi {

namespace {

void add_font_files(const std::string &folder, std::vector<std::string> &files) {
    DIR *dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string path = folder + "/" + name;
        if (name[0] == '.') continue;
        if (entry->d_type == DT_DIR)
            add_font_files(path, files);
        else if (name.size() > 3 && name.substr(name.size() - 3) != ".py" &&
                 name.substr(name.size() - 3) != ".md" && name.substr(name.size() - 3) != ".in" &&
                 name.substr(name.size() - 4) != ".csv")
            files.push_back(path);
    }
    closedir(dir);
}

std::vector<std::string> font_files() {
    std::vector<std::string> files;
    std::string folders = DUMP_METRICS12_TEST_FONT_DIR ":" DUMP_METRICS12_ROBUSTNESS_FONT_DIR;
    if (const char *asked = std::getenv("DUMP_METRICS12_PEEK_FOLDERS")) folders = asked;
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        add_font_files(folders.substr(start, end - start), files);
        start = end + 1;
    }
    return files;
}

// The fields that order a family's faces, as a face read in full has them.
auto deciding_fields(const FontFace &face) {
    return std::make_tuple(face.logfont.lfCharSet, face.italic, face.bold, face.logfont.lfWeight,
                           face.logfont.lfHeight, face.font_type, face.format_rank, face.strike,
                           face.cjk, face.code_pages);
}

TEST(FontPeek, ReadsWhatFreeTypeReadsOfEveryCommittedFace) {
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    int sfnt_faces = 0, pcf_faces = 0, peeked_faces = 0;
    for (const std::string &path : font_files()) {
        const FontFile file(path);
        for (FT_Long index = 0;; ++index) {
            FT_Face ft_face = nullptr;
            if (FT_New_Face(library, path.c_str(), index, &ft_face) != 0) break;
            SCOPED_TRACE(path + " face " + std::to_string(index));
            const FT_Long faces = ft_face->num_faces;
            const std::string format = FT_Get_Font_Format(ft_face);
            const bool sfnt = FT_IS_SFNT(ft_face);
            FontFace face;
            const bool offered = read_font_face(ft_face, face);
            FT_Done_Face(ft_face);
            FontFace peeked;
            if (peek_font_face(file, index, format, peeked)) {
                EXPECT_TRUE(offered);
                if (offered) {
                    EXPECT_EQ(deciding_fields(peeked), deciding_fields(face));
                }
                ++peeked_faces;
            }
            std::string name;
            PcfStyle style;
            if (sfnt) {
                // Without a Windows family record the name is FreeType's own.
                if (peek_sfnt_family_name(file, index, name)) {
                    EXPECT_EQ(name.substr(0, LF_FACESIZE - 1), face.logfont.lfFaceName);
                    ++sfnt_faces;
                }
            } else if (format == "PCF" && offered) {
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
    std::printf("%d faces peeked\n", peeked_faces);
    if (std::getenv("DUMP_METRICS12_PEEK_FOLDERS")) return;
    EXPECT_GE(sfnt_faces, 20);
    EXPECT_EQ(pcf_faces, 2);
    EXPECT_GE(peeked_faces, 20);
}

TEST(FontPeek, MissingFilesAndFacesGiveFalse) {
    std::string name;
    PcfStyle style;
    const std::string collection =
        std::string(DUMP_METRICS12_TEST_FONT_DIR) + "/DM12Collection.ttc";
    EXPECT_TRUE(peek_sfnt_family_name(FontFile(collection), 1, name));
    EXPECT_EQ(name, "DM12 Collect Two");
    EXPECT_FALSE(peek_sfnt_family_name(FontFile(collection), 2, name));
    const FontFile missing("/nonexistent/font.ttf");
    EXPECT_FALSE(missing.is_open());
    EXPECT_FALSE(peek_sfnt_family_name(missing, 0, name));
    EXPECT_FALSE(peek_pcf_style(missing, style));
}

}  // namespace

}  // namespace dm12_gdi
