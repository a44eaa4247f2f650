// The manual pages against the programs' tables: each names every command, option and setting
// its program has, and none that it lacks.
#include "cli/CommandLine.h"
#include "protocol/SettingTable.h"
#include "simulator/SimOptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>

namespace {

// The first group of each match of pattern in a page (or its section), groff's "\-" read as "-".
std::set<std::string> inPage(const char *page, const char *pattern, const char *section = "")
{
    std::ifstream file(std::string(ZEPHRA_SOURCE_DIR "/packaging/") + page);
    std::string text{std::istreambuf_iterator<char>(file), {}};
    text = std::regex_replace(text.substr(text.find(section)), std::regex(R"(\\-)"), "-");
    text = text.substr(0, text.find(".SH", *section ? 1 : text.size()));
    std::set<std::string> found;
    const std::regex match(pattern);
    for (std::sregex_iterator i(text.begin(), text.end(), match); i != std::sregex_iterator(); ++i)
        found.insert((*i)[1]);
    return found;
}

template<typename Rows, typename Name> std::set<std::string> names(Rows rows, Name name)
{
    std::set<std::string> found;
    for (const auto &row : rows)
        found.emplace(row.*name);
    return found;
}

} // namespace

TEST(ManPages, NameWhatTheTablesHoldAndNothingElse)
{
    const char *const option = R"((--[a-z][a-z0-9-]*))";
    EXPECT_EQ(inPage("zephra-cli.1.in", R"(\.B zephra-cli ([a-z]+))"),
              names(cli::commandRows(), &cli::CommandRow::name));
    EXPECT_EQ(inPage("zephra-cli.1.in", option), names(cli::optionRows(), &cli::OptionRow::name));
    EXPECT_EQ(inPage("zephra-cli.1.in", R"(\.TP\n\.B ([a-z-]+)\n)", ".SH SETTINGS"),
              names(settingRows(), &SettingRow::word));
    EXPECT_EQ(inPage("zephra-sim.1.in", option), names(simOptions(), &SimOption::name));
}
