// The variable test fonts through FreeType alone, without our GDI: every named
// instance of expected_faces.csv opens as FreeType's named instance and has,
// hinted at several sizes, the metrics of its static twin. Where this passes
// and variable_fonts_test does not, the fault is ours, not the fonts'.

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Instance {
    std::string file;  // relative to the font folder
    long number = 0;  // 1-based, as FreeType's face index takes it
    std::string twin_file;
};

// The instances of expected_faces.csv and the files of their twins (the
// twins' own rows name the file of each twin family).
std::vector<Instance> instances() {
    const std::string dir = DUMP_METRICS12_VARIABLE_FONT_DIR;
    std::ifstream in(dir + "/expected_faces.csv");
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#' || line.rfind("family,", 0) == 0) continue;
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ',');) fields.push_back(field);
        fields.resize(10);
        rows.push_back(fields);
    }
    std::vector<Instance> out;
    std::set<std::string> seen;
    for (const auto &row : rows) {
        if (row[8].empty() || !seen.insert(row[7] + "#" + row[8]).second) continue;
        for (const auto &twin : rows)
            if (twin[0] == row[9]) out.push_back({row[7], std::stol(row[8]), twin[7]});
    }
    return out;
}

TEST(VariableFontSet, EveryNamedInstanceHasItsTwinsMetricsInFreeType) {
    FT_Library library = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    const std::string dir = DUMP_METRICS12_VARIABLE_FONT_DIR;
    const std::vector<Instance> all = instances();
    EXPECT_EQ(all.size(), 41u);
    for (const Instance &instance : all) {
        SCOPED_TRACE(instance.file + " instance " + std::to_string(instance.number) + ", twin " +
                     instance.twin_file);
        FT_Face variable = nullptr;
        FT_Face twin = nullptr;
        const FT_Long index = instance.number << 16;
        if (FT_New_Face(library, (dir + "/" + instance.file).c_str(), index, &variable) != 0 ||
            FT_New_Face(library, (dir + "/" + instance.twin_file).c_str(), 0, &twin) != 0) {
            ADD_FAILURE() << "FreeType cannot open the instance or its twin";
            if (variable) FT_Done_Face(variable);
            continue;
        }
        int differing = 0;
        for (FT_UInt ppem : {12u, 24u, 32u, 40u}) {
            FT_Set_Pixel_Sizes(variable, 0, ppem);
            FT_Set_Pixel_Sizes(twin, 0, ppem);
            for (FT_ULong code = 32; code <= 127; ++code) {
                const bool loaded = FT_Load_Char(variable, code, FT_LOAD_DEFAULT) == 0;
                const FT_Glyph_Metrics a = variable->glyph->metrics;
                const bool twin_loaded = FT_Load_Char(twin, code, FT_LOAD_DEFAULT) == 0;
                const FT_Glyph_Metrics b = twin->glyph->metrics;
                if (!loaded || !twin_loaded || a.horiBearingX != b.horiBearingX ||
                    a.width != b.width || a.horiAdvance != b.horiAdvance)
                    ++differing;
            }
        }
        EXPECT_EQ(differing, 0) << "glyphs whose metrics differ";
        FT_Done_Face(twin);
        FT_Done_Face(variable);
    }
    FT_Done_FreeType(library);
}

}  // namespace
