#include "cli/ReplaceFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string contentOf(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

// A profile saved again replaces the old one (Windows' rename refuses an existing target).
TEST(ReplaceFile, ANewFileBesideReplacesAnExistingOne)
{
    const auto dir = std::filesystem::temp_directory_path() / "zephra-replace-test";
    std::filesystem::create_directories(dir);
    const std::string target = (dir / "link.ini").string();
    std::ofstream(target) << "old";
    const std::string fresh = createFileBeside(target);
    ASSERT_FALSE(fresh.empty());
    EXPECT_EQ(std::filesystem::path(fresh).parent_path(), dir);
    std::ofstream(fresh) << "new";
    ASSERT_TRUE(replaceFile(fresh, target));
    EXPECT_EQ(contentOf(target), "new");
    EXPECT_FALSE(std::filesystem::exists(fresh));
    std::filesystem::remove_all(dir);
}
