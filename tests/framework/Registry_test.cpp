#include "framework/core/Registry.h"
#include "tests/support/ConfigHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class RegistryObject : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_registry.openKey("Software\\Zephra\\Port", true)); }

    void TearDown() override { m_registry.closeKey(); }

    void setRaw(const char *name, DWORD type, const std::string &data)
    {
        ASSERT_EQ(RegSetValueExA(m_registry.currentKey(), name, 0, type,
                                 reinterpret_cast<const BYTE *>(data.data()),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }

    std::string raw(const char *name, DWORD &type)
    {
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExA(m_registry.currentKey(), name, nullptr, &type, nullptr, &size),
                  ERROR_SUCCESS);
        std::string data(size, '\0');
        EXPECT_EQ(RegQueryValueExA(m_registry.currentKey(), name, nullptr, &type,
                                   reinterpret_cast<BYTE *>(data.data()), &size),
                  ERROR_SUCCESS);
        return data;
    }

    template<typename Call> std::string failure(Call call)
    {
        try {
            call();
        } catch (const ERegistryException &e) {
            return e.message();
        }
        return "no exception";
    }

    ConfigHome m_home;
    Registry m_registry{HKEY_CURRENT_USER};
};

TEST_F(RegistryObject, TextIsStoredAsZeroTerminatedStringAndReadBack)
{
    m_registry.writeString("Port", "COM1");
    DWORD type = 0;
    EXPECT_EQ(raw("Port", type), std::string("COM1\0", 5));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(m_registry.readString("port"), "COM1");

    m_registry.writeString("Empty", "");
    EXPECT_EQ(raw("Empty", type), std::string("\0", 1));
    EXPECT_EQ(m_registry.readString("Empty"), "");

    // Reading cuts at the first zero byte; expandable strings come back unexpanded.
    setRaw("Cut", REG_SZ, std::string("ab\0cd", 5));
    EXPECT_EQ(m_registry.readString("Cut"), "ab");
    setRaw("Unterminated", REG_SZ, "xyz");
    EXPECT_EQ(m_registry.readString("Unterminated"), "xyz");
    setRaw("Expand", REG_EXPAND_SZ, std::string("%HOME%\\x\0", 9));
    EXPECT_EQ(m_registry.readString("Expand"), "%HOME%\\x");
}

TEST_F(RegistryObject, MissingOrEmptyTextReadsAsEmptyAndOtherTypesAreRefused)
{
    EXPECT_EQ(m_registry.readString("Nothing"), "");
    setRaw("Sized0", REG_BINARY, "");
    EXPECT_EQ(m_registry.readString("Sized0"), "");

    m_registry.writeInteger("BaudRate", 9600);
    EXPECT_EQ(failure([&] { m_registry.readString("BaudRate"); }),
              "Invalid data type for 'BaudRate'");
    setRaw("Blob", REG_BINARY, "COM1");
    EXPECT_EQ(failure([&] { m_registry.readString("Blob"); }), "Invalid data type for 'Blob'");
}

TEST_F(RegistryObject, IntegersAreFourByteDwordsInTwosComplement)
{
    m_registry.writeInteger("Timeouts.ReadInterval", -1);
    DWORD type = 0;
    EXPECT_EQ(raw("Timeouts.ReadInterval", type), std::string("\xff\xff\xff\xff", 4));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(m_registry.readInteger("Timeouts.ReadInterval"), -1);

    for (std::int32_t value : {0, 19200, INT32_MIN, INT32_MAX}) {
        m_registry.writeInteger("Value", value);
        EXPECT_EQ(m_registry.readInteger("Value"), value);
    }
    setRaw("LittleEndian", REG_DWORD, std::string("\x01\x02\x00\x00", 4));
    EXPECT_EQ(m_registry.readInteger("LittleEndian"), 0x0201);
}

TEST_F(RegistryObject, UnreadableIntegersRaiseTheirMessages)
{
    EXPECT_EQ(failure([&] { m_registry.readInteger("CustomBaudRate"); }),
              "Failed to get data for 'CustomBaudRate'");
    m_registry.writeString("BaudRate", "Custom");
    EXPECT_EQ(failure([&] { m_registry.readInteger("BaudRate"); }),
              "Invalid data type for 'BaudRate'");
    setRaw("Wide", REG_DWORD, std::string(8, '\0'));
    EXPECT_EQ(failure([&] { m_registry.readInteger("Wide"); }), "Failed to get data for 'Wide'");
    setRaw("Short", REG_DWORD, std::string(2, '\0'));
    EXPECT_EQ(failure([&] { m_registry.readInteger("Short"); }), "Failed to get data for 'Short'");
}

TEST_F(RegistryObject, WritesThatFailRaiseSetDataFailed)
{
    Registry readOnly(HKEY_CURRENT_USER);
    ASSERT_TRUE(readOnly.openKeyReadOnly("Software\\Zephra\\Port"));
    EXPECT_EQ(failure([&] { readOnly.writeString("Port", "COM2"); }),
              "Failed to set data for 'Port'");
    EXPECT_EQ(failure([&] { readOnly.writeInteger("Buffer.InputSize", 1024); }),
              "Failed to set data for 'Buffer.InputSize'");
}

TEST_F(RegistryObject, OpensKeysRelativeOrFromTheRootAndReportsValues)
{
    EXPECT_EQ(m_registry.currentPath(), "Software\\Zephra\\Port");
    EXPECT_FALSE(m_registry.openKey("Missing", false));
    EXPECT_EQ(m_registry.currentPath(), "Software\\Zephra\\Port");

    ASSERT_TRUE(m_registry.openKey("Child", true));
    EXPECT_EQ(m_registry.currentPath(), "Software\\Zephra\\Port\\Child");
    m_registry.writeString("Where", "child");
    ASSERT_TRUE(m_registry.openKey("\\Software\\Zephra", false));
    EXPECT_EQ(m_registry.currentPath(), "Software\\Zephra");
    EXPECT_TRUE(m_registry.keyExists("Port\\Child"));
    EXPECT_FALSE(m_registry.keyExists("Child"));

    Registry other(HKEY_CURRENT_USER);
    ASSERT_TRUE(other.openKey("software\\zephra\\port\\child", false));
    EXPECT_TRUE(other.valueExists("WHERE"));
    EXPECT_EQ(other.readString("Where"), "child");
    EXPECT_TRUE(other.deleteValue("Where"));
    EXPECT_FALSE(other.valueExists("Where"));
    EXPECT_FALSE(other.deleteValue("Where"));

    Registry elsewhere(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(elsewhere.keyExists("Software\\Zephra"));
}

} // namespace
