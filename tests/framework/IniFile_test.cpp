#include "framework/core/IniDocument.h"
#include "framework/core/IniFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zephra-ini-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_path = m_dir + "/settings.ini";
    }

    void TearDown() override { fs::remove_all(m_dir); }

    void writeFile(const std::string &text)
    {
        std::ofstream(m_path, std::ios::binary | std::ios::trunc) << text;
    }

    std::string fileText() const
    {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_dir;
    std::string m_path;
};

const std::string kAwkward[] = {";",
                                "=",
                                "#",
                                "[",
                                "[x]",
                                "",
                                " ",
                                "  lead",
                                "trail\t ",
                                "\"quoted\"",
                                "\"",
                                "a \"b\" c",
                                "back\\slash\\",
                                "\\x41",
                                " C:\\new\\x41 ",
                                "key=value",
                                "line\r\nbreak",
                                "\r",
                                std::string("nul\0inside", 10),
                                "\x7f\x01\x1f",
                                "\xff\xfe\x80 high",
                                "; not a comment",
                                "#17"};

TEST_F(IniFileTest, AwkwardValuesReadBackExactlyThroughTheFile)
{
    IniFile ini(m_path);
    int i = 0;
    for (const std::string &value : kAwkward)
        ini.writeString("ComPort1", "Key" + std::to_string(i++), value);

    IniFile reopened(m_path);
    i = 0;
    for (const std::string &value : kAwkward)
        EXPECT_EQ(reopened.readString("ComPort1", "Key" + std::to_string(i++), "default"), value)
            << "entry " << i - 1;
}

TEST_F(IniFileTest, AwkwardSectionAndKeyNamesReadBackExactly)
{
    IniFile ini(m_path);
    for (const std::string &name : kAwkward)
        ini.writeString(name, name, "v:" + name);
    for (const std::string &name : kAwkward) {
        EXPECT_TRUE(ini.sectionExists(name));
        EXPECT_EQ(ini.readString(name, name, "missing"), "v:" + name);
    }
}

TEST_F(IniFileTest, SectionsAndKeysAreFoundInAnyLetterCase)
{
    writeFile("[ComPort1]\nPort=COM3\n");
    IniFile ini(m_path);
    EXPECT_EQ(ini.readString("COMPORT1", "port", ""), "COM3");
    EXPECT_TRUE(ini.sectionExists("comport1"));
    EXPECT_TRUE(ini.valueExists("comPort1", "PORT"));

    ini.writeString("comport1", "PORT", "COM4");
    EXPECT_EQ(fileText(), "[ComPort1]\nPort=COM4\n");
}

TEST_F(IniFileTest, ChangesKeepCommentsOtherSectionsAndLineEnds)
{
    const std::string original = "; settings\r\n"
                                 "\r\n"
                                 "[Other]\r\n"
                                 "  Name = kept as is ; trailing\r\n"
                                 "junk line without equals\r\n"
                                 "[ComPort1]\r\n"
                                 "# about the port\r\n"
                                 "Port = COM1\r\n"
                                 "; end of port\r\n"
                                 "[Last]\r\n"
                                 "x=1\r\n";
    writeFile(original);
    IniFile ini(m_path);
    EXPECT_EQ(ini.readString("Other", "Name", ""), "kept as is ; trailing");

    ini.writeString("ComPort1", "Port", "COM2");
    ini.writeString("ComPort1", "BaudRate", "9600");
    ini.writeInteger("New", "Buffer.InputSize", 1024);
    EXPECT_EQ(fileText(), "; settings\r\n"
                          "\r\n"
                          "[Other]\r\n"
                          "  Name = kept as is ; trailing\r\n"
                          "junk line without equals\r\n"
                          "[ComPort1]\r\n"
                          "# about the port\r\n"
                          "Port = COM2\r\n"
                          "BaudRate=9600\r\n"
                          "; end of port\r\n"
                          "[Last]\r\n"
                          "x=1\r\n"
                          "[New]\r\n"
                          "Buffer.InputSize=1024\r\n");

    ini.deleteKey("ComPort1", "BaudRate");
    ini.eraseSection("New");
    ini.writeString("ComPort1", "Port", "COM1");
    EXPECT_EQ(fileText(), original);
}

TEST_F(IniFileTest, OrdinaryFilesReadSensibly)
{
    writeFile("\xEF\xBB\xBF[ Main ]\n"
              "path = \"C:\\Program Files\\App\"\n"
              "title=\"say \\\"hi\\\"\"\n"
              "half=\"open\n"
              "\"spaced key\" = 5\n"
              "empty=\n"
              "dup=first\n"
              "dup=second\n");
    IniFile ini(m_path);
    EXPECT_EQ(ini.readString("Main", "path", ""), "C:\\Program Files\\App");
    EXPECT_EQ(ini.readString("Main", "title", ""), "say \"hi\"");
    EXPECT_EQ(ini.readString("Main", "half", ""), "\"open");
    EXPECT_EQ(ini.readInteger("Main", "spaced key", 0), 5);
    EXPECT_EQ(ini.readString("Main", "empty", "default"), "");
    EXPECT_EQ(ini.readString("Main", "dup", ""), "first");

    ini.writeString("Main", "dup", "changed");
    EXPECT_EQ(ini.readString("Main", "dup", ""), "changed");
    EXPECT_EQ(fileText().substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(IniFileTest, MissingEntriesAndNonNumbersGiveTheDefault)
{
    IniFile ini(m_path);
    EXPECT_EQ(ini.readString("ComPort1", "Port", "COM1"), "COM1");
    EXPECT_EQ(ini.readInteger("ComPort1", "CustomBaudRate", 9600), 9600);
    EXPECT_FALSE(ini.sectionExists("ComPort1"));
    EXPECT_FALSE(fs::exists(m_path));

    ini.writeInteger("ComPort1", "Negative", -1);
    ini.writeInteger("ComPort1", "Smallest", INT32_MIN);
    EXPECT_EQ(ini.readString("ComPort1", "Negative", ""), "-1");
    EXPECT_EQ(ini.readInteger("ComPort1", "Negative", 0), -1);
    EXPECT_EQ(ini.readInteger("ComPort1", "Smallest", 0), INT32_MIN);

    const std::pair<std::string, std::int32_t> cases[] = {
        {" 1025 ", 1025}, {"+7", 7},          {"abc", 42}, {"12abc", 42}, {"", 42},
        {"-", 42},        {"2147483648", 42}, {"1e3", 42}, {"0x10", 42},  {"2147483647", INT32_MAX},
        {"- 1", 42},      {"\t12\t", 12}};
    for (const auto &[text, expected] : cases) {
        ini.writeString("Numbers", "n", text);
        EXPECT_EQ(ini.readInteger("Numbers", "n", 42), expected) << '"' << text << '"';
    }
}

TEST_F(IniFileTest, FailedSaveLeavesTheOldFileWhole)
{
    IniFile ini(m_path);
    ini.writeString("ComPort1", "Port", "COM1");
    const std::string before = fileText();

    // A file size limit makes writing the temporary file fail, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string message;
    try {
        ini.writeString("ComPort1", "Big", std::string(4096, 'x'));
    } catch (const EIniFileException &e) {
        message = e.message();
    }
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_EQ(message, "Failed to write the INI file '" + m_path + "'");
    EXPECT_EQ(fileText(), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(IniFileTest, AFileThatCannotBeReadIsNeverOverwritten)
{
    writeFile("[ComPort1]\nPort=COM1\n");
    fs::resize_file(m_path, IniFile::kMaxFileSize + 1);
    IniFile ini(m_path);
    EXPECT_EQ(ini.readString("ComPort1", "Port", "default"), "default");
    EXPECT_THROW(ini.writeString("ComPort1", "Port", "COM2"), EIniFileException);
    EXPECT_EQ(fs::file_size(m_path), std::uintmax_t(IniFile::kMaxFileSize + 1));
}

TEST(IniDocument, RandomTextNeverBreaksLookupsAndWritesAlwaysReadBack)
{
    std::mt19937 random(3);
    // Bytes that matter to the layout turn up far more often than in plain random data.
    const std::string alphabet = "[]=;#\"\\x \t\r\n\0aA1";
    auto randomText = [&](std::size_t size) {
        std::string text(size, '\0');
        for (char &c : text)
            c = random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
        return text;
    };
    for (int round = 0; round < 3000; ++round) {
        IniDocument document = IniDocument::parse(randomText(random() % 120));
        const std::string section = randomText(random() % 6);
        const std::string key = randomText(random() % 6);
        const std::string value = randomText(random() % 12);
        (void)document.value(section, key);
        document.setValue(section, key, value);
        const IniDocument reread = IniDocument::parse(document.toText());
        ASSERT_EQ(reread.value(section, key), value) << "round " << round;
        ASSERT_TRUE(reread.hasSection(section));
    }
}

} // namespace
