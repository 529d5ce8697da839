#include "frontend/file_dialog_request.h"

#include "resources/string_table.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

TEST(ParseFilterText, ReadsDescriptionAndPatternPairsUpToTheDoubleBar)
{
    const std::vector<FileFilter> filters = ParseFilterText(LoadStringResource(IDS_INPUT_FILTER));
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].description, "Video files (*.avi;*.mpg;*.mpeg;*.dat;*.wmv)");
    EXPECT_EQ(filters[0].patterns, (std::vector<std::string>{"*.avi", "*.mpg", "*.mpeg", "*.dat", "*.wmv"}));
    EXPECT_EQ(filters[1].description, "All files");
    EXPECT_EQ(filters[1].patterns, std::vector<std::string>{"*.*"});
    EXPECT_TRUE(ParseFilterText("").empty());
    EXPECT_EQ(ParseFilterText("Lonely|").size(), 0u);  // a description without patterns is dropped
}

struct FilterCase {
    uint32_t filterId;
    const char* extension;
    int expectedIndex;
};

void PrintTo(const FilterCase& c, std::ostream* out)
{
    *out << "filter " << c.filterId << ", extension \"" << c.extension << "\"";
}

class FilterIndex : public ::testing::TestWithParam<FilterCase> {};

TEST_P(FilterIndex, PreselectsTheFilterThatNamesTheDefaultExtension)
{
    EXPECT_EQ(FilterIndexFor(LoadStringResource(GetParam().filterId), GetParam().extension),
              GetParam().expectedIndex);
}

INSTANTIATE_TEST_SUITE_P(FourBrowses, FilterIndex,
                         ::testing::Values(FilterCase{IDS_OUTPUT_FILTER, "wmv", 2},
                                           FilterCase{IDS_OUTPUT_FILTER, "avi", 1},
                                           FilterCase{IDS_INPUT_FILTER, "avi", 1},
                                           FilterCase{IDS_PROFILE_FILTER, "prx", 1},
                                           FilterCase{IDS_PROJECT_FILTER, "msq", 1},
                                           FilterCase{IDS_OUTPUT_FILTER, "mkv", 1},   // not named: the first
                                           FilterCase{IDS_OUTPUT_FILTER, "WMV", 1},   // case-sensitive
                                           FilterCase{IDS_OUTPUT_FILTER, "", 1}),
                         [](const ::testing::TestParamInfo<FilterCase>& info) {
                             const std::string extension = info.param.extension;
                             return "Filter" + std::to_string(info.param.filterId) + "_" +
                                    (extension.empty() ? std::string("none") : extension);
                         });

TEST(MakeFileDialogRequest, StartsInTheDocumentsFolderForAnEmptyPathElseInThePathsFolder)
{
    const std::string filter = LoadStringResource(IDS_OUTPUT_FILTER);
    const FileDialogRequest fresh = MakeFileDialogRequest(FileDialogMode::Save, "wmv", filter, "", "/home/u/Documents");
    EXPECT_EQ(fresh.mode, FileDialogMode::Save);
    EXPECT_EQ(fresh.initialFolder, "/home/u/Documents");
    EXPECT_EQ(fresh.initialFile, "");
    EXPECT_EQ(fresh.filterIndex, 2);
    EXPECT_EQ(fresh.defaultExtension, "wmv");
    EXPECT_EQ(fresh.filters.size(), 3u);

    const FileDialogRequest again =
        MakeFileDialogRequest(FileDialogMode::Open, "avi", filter, "/clips/a.avi", "/home/u/Documents");
    EXPECT_EQ(again.initialFolder, "/clips/");
    EXPECT_EQ(again.initialFile, "a.avi");

    // A bare name (a built-in profile's, say) has no folder: the dialog chooses.
    const FileDialogRequest bare = MakeFileDialogRequest(FileDialogMode::Open, "prx", filter, "Profile 1", "/docs");
    EXPECT_EQ(bare.initialFolder, "");
    EXPECT_EQ(bare.initialFile, "Profile 1");
}

}  // namespace
}  // namespace klova
