#include "platform/posix/RegistryStore.h"
#include "platform/win32reg.h"
#include "tests/support/ConfigHome.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class RegistryApi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Zephra Test", 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &m_key,
                                  nullptr),
                  ERROR_SUCCESS);
    }

    void TearDown() override { RegCloseKey(m_key); }

    fs::path store() const { return fs::path(m_home.path()) / "zephra" / "registry"; }

    LONG set(HKEY key, const char *name, DWORD type, const std::string &data)
    {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                              static_cast<DWORD>(data.size()));
    }

    // Reads a whole value through a fresh handle, so the bytes come from the key file.
    std::string get(const char *path, const char *name, DWORD &type)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key), ERROR_SUCCESS);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        std::string data(size, '\0');
        EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()),
                                   &size),
                  ERROR_SUCCESS);
        data.resize(size);
        RegCloseKey(key);
        return data;
    }

    std::vector<std::string> storeFiles() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(store()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    ConfigHome m_home;
    HKEY m_key = nullptr;
};

TEST_F(RegistryApi, CreateReportsNewThenExistingKeyAndMakesTheKeysAbove)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A\\B\\C", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "a\\b\\c", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A\\b", 0, KEY_READ, &key), ERROR_SUCCESS);
    HKEY below = nullptr;
    EXPECT_EQ(RegOpenKeyExA(key, "C", 0, KEY_READ, &below), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(below), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(key, "D", 0, KEY_READ, &below), LONG(ERROR_FILE_NOT_FOUND));
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, &key),
              LONG(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryApi, ValuesKeepTheirTypeAndExactBytes)
{
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte += static_cast<char>(b);
    const std::string withNul("ab\0cd\xff", 6);
    const std::string minusOne("\xff\xff\xff\xff", 4);

    ASSERT_EQ(set(m_key, "Binary", REG_BINARY, everyByte), ERROR_SUCCESS);
    ASSERT_EQ(set(m_key, "Text", REG_SZ, withNul), ERROR_SUCCESS);
    ASSERT_EQ(set(m_key, "Number", REG_DWORD, minusOne), ERROR_SUCCESS);
    ASSERT_EQ(set(m_key, "Odd", 0x1234, "x"), ERROR_SUCCESS);
    ASSERT_EQ(set(m_key, "Empty", REG_NONE, ""), ERROR_SUCCESS);
    ASSERT_EQ(set(m_key, nullptr, REG_SZ, std::string("default\0", 8)), ERROR_SUCCESS);

    DWORD type = 0;
    EXPECT_EQ(get("Software\\Zephra Test", "Binary", type), everyByte);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(get("SOFTWARE\\zephra test", "TEXT", type), withNul);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(get("Software\\Zephra Test", "Number", type), minusOne);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(get("Software\\Zephra Test", "Odd", type), "x");
    EXPECT_EQ(type, 0x1234u);
    EXPECT_EQ(get("Software\\Zephra Test", "Empty", type), "");
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(get("Software\\Zephra Test", "", type), std::string("default\0", 8));

    // Replacing a value changes its type and size too.
    ASSERT_EQ(set(m_key, "number", REG_SZ, std::string("9\0", 2)), ERROR_SUCCESS);
    EXPECT_EQ(get("Software\\Zephra Test", "Number", type), std::string("9\0", 2));
    EXPECT_EQ(type, REG_SZ);
}

TEST_F(RegistryApi, QueryReportsSizeAsksForMoreDataAndMissesDeletedValues)
{
    ASSERT_EQ(set(m_key, "Port", REG_SZ, std::string("COM12\0", 6)), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(m_key, "Port", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(RegQueryValueExA(m_key, "Port", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);

    BYTE buffer[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
    size = 5;
    type = 0;
    EXPECT_EQ(RegQueryValueExA(m_key, "Port", nullptr, &type, buffer, &size),
              LONG(ERROR_MORE_DATA));
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(buffer[0], '#');

    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(m_key, "Port", nullptr, &type, buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), 6), std::string("COM12\0", 6));
    EXPECT_EQ(buffer[6], '#');

    EXPECT_EQ(RegDeleteValueA(m_key, "PORT"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(m_key, "Port", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegDeleteValueA(m_key, "Port"), LONG(ERROR_FILE_NOT_FOUND));
}

TEST_F(RegistryApi, RejectsBadHandlesArgumentsAndMissingAccess)
{
    HKEY bogus = reinterpret_cast<HKEY>(std::uintptr_t(0x7777));
    DWORD size = 0;
    BYTE byte = 0;
    EXPECT_EQ(set(nullptr, "x", REG_SZ, "x"), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(set(bogus, "x", REG_SZ, "x"), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(bogus), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegQueryValueExA(key, "x", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_INVALID_HANDLE));

    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(m_key, "x", &reserved, nullptr, nullptr, &size),
              LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegQueryValueExA(m_key, "x", nullptr, nullptr, &byte, nullptr),
              LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegSetValueExA(m_key, "x", 0, REG_BINARY, nullptr, 1), LONG(ERROR_NOACCESS));
    EXPECT_EQ(RegSetValueExA(m_key, "x", 1, REG_BINARY, &byte, 1), LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, nullptr),
              LONG(ERROR_INVALID_PARAMETER));

    HKEY readOnly = nullptr;
    HKEY writeOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Zephra Test", 0, KEY_READ, &readOnly),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Zephra Test", 0, KEY_WRITE, &writeOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(set(readOnly, "x", REG_SZ, "x"), LONG(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteValueA(readOnly, "x"), LONG(ERROR_ACCESS_DENIED));
    EXPECT_EQ(set(writeOnly, "x", REG_SZ, "x"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(writeOnly, "x", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_ACCESS_DENIED));
    RegCloseKey(readOnly);
    RegCloseKey(writeOnly);
}

TEST_F(RegistryApi, KeyNamesNeverLeaveTheStoreFolder)
{
    const char *names[] = {
        "..",     "..\\..\\..\\escaped", "/etc/evil", "a/b/../../c", "%2e%2e", ".",
        "x\x01y", "\xc3\xa9t\xc3\xa9"};
    for (const char *name : names) {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExA(m_key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS)
            << name;
        EXPECT_EQ(set(key, "Name", REG_SZ, name), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    for (const char *name : names) {
        DWORD type = 0;
        EXPECT_EQ(get(("Software\\Zephra Test\\" + std::string(name)).c_str(), "Name", type), name);
    }
    // Everything lives as plain files directly in the store folder.
    for (const auto &entry : fs::recursive_directory_iterator(m_home.path())) {
        if (entry.is_directory()) {
            EXPECT_TRUE(entry.path() == fs::path(m_home.path()) / "zephra" ||
                        entry.path() == store())
                << entry.path();
        } else {
            EXPECT_EQ(entry.path().parent_path(), store()) << entry.path();
        }
    }
}

TEST_F(RegistryApi, BadKeyPathsAreRefusedAndLongOnesWork)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Software", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              LONG(ERROR_BAD_PATHNAME));
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\\\Zephra Test", 0, KEY_READ, &key),
              LONG(ERROR_BAD_PATHNAME));
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, std::string(256, 'k').c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              LONG(ERROR_INVALID_PARAMETER));

    std::string deep;
    for (int level = 0; level < 8; ++level)
        deep += (level ? "\\" : "") + std::string(255, char('a' + level));
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, deep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(set(key, "v", REG_SZ, "deep"), ERROR_SUCCESS);
    RegCloseKey(key);
    DWORD type = 0;
    EXPECT_EQ(get(deep.c_str(), "v", type), "deep");
    for (const std::string &name : storeFiles())
        EXPECT_LE(name.size(), 255u);
}

TEST_F(RegistryApi, FailedWriteLeavesTheOldKeyWhole)
{
    ASSERT_EQ(set(m_key, "Port", REG_SZ, std::string("COM1\0", 5)), ERROR_SUCCESS);

    // A file size limit makes the temporary file's write fail, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const LONG rc = set(m_key, "Big", REG_BINARY, std::string(64 * 1024, 'x'));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_NE(rc, ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(get("Software\\Zephra Test", "Port", type), std::string("COM1\0", 5));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(m_key, "Big", nullptr, nullptr, nullptr, &size),
              LONG(ERROR_FILE_NOT_FOUND));
    for (const std::string &name : storeFiles())
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
}

TEST_F(RegistryApi, DamagedKeyFileGivesAnErrorAndCanBeWrittenAgain)
{
    ASSERT_EQ(set(m_key, "Port", REG_SZ, "COM1"), ERROR_SUCCESS);
    const fs::path file =
        store() /
        registryKeyFileName(RegistryKeyPath{"HKEY_CURRENT_USER", {"Software", "Zephra Test"}});
    ASSERT_TRUE(fs::exists(file));

    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string junk(random() % 300, '\0');
        for (char &c : junk)
            c = static_cast<char>(random());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << junk;
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(m_key, "Port", nullptr, nullptr, nullptr, &size),
                  LONG(ERROR_BADDB));
    }

    ASSERT_EQ(set(m_key, "Port", REG_SZ, "COM2"), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(get("Software\\Zephra Test", "Port", type), "COM2");
    EXPECT_TRUE(fs::exists(file.string() + ".corrupt"));
}

TEST_F(RegistryApi, ConcurrentWritersToOneKeyLoseNothing)
{
    constexpr int kPerThread = 60;
    auto writer = [&](char tag) {
        HKEY key = nullptr;
        ASSERT_EQ(
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Zephra Test", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
        for (int i = 0; i < kPerThread; ++i) {
            const std::string name = tag + std::to_string(i);
            EXPECT_EQ(set(key, name.c_str(), REG_SZ, name), ERROR_SUCCESS);
            DWORD size = 0;
            EXPECT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();
    for (char tag : {'a', 'b'}) {
        for (int i = 0; i < kPerThread; ++i) {
            DWORD type = 0;
            const std::string name = tag + std::to_string(i);
            EXPECT_EQ(get("Software\\Zephra Test", name.c_str(), type), name);
        }
    }
}

} // namespace
