#include "platform/posix/RegistryKeyFile.h"
#include "platform/posix/RegistryStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace {

std::string randomBytes(std::mt19937 &random, std::size_t size)
{
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

RegistryKeyData randomKey(std::mt19937 &random)
{
    RegistryKeyData key{"HKEY_CURRENT_USER\\" + randomBytes(random, random() % 20), {}};
    const int count = static_cast<int>(random() % 8);
    for (int i = 0; i < count; ++i)
        key.setValue("v" + std::to_string(i) + randomBytes(random, random() % 6),
                     static_cast<DWORD>(random()), randomBytes(random, random() % 40));
    return key;
}

// An independent CRC-32, to build files that pass the checksum but lie about their lengths.
std::uint32_t crc32(const std::string &bytes)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int bit = 0; bit < 8; ++bit)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void putU32(std::string &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(v >> (8 * i));
}

TEST(RegistryKeyFile, RandomKeysSurviveEncodeAndDecode)
{
    std::mt19937 random(1);
    for (int round = 0; round < 500; ++round) {
        const RegistryKeyData key = randomKey(random);
        const std::optional<RegistryKeyData> decoded = decodeRegistryKey(encodeRegistryKey(key));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->path, key.path);
        ASSERT_EQ(decoded->values.size(), key.values.size());
        for (std::size_t i = 0; i < key.values.size(); ++i) {
            EXPECT_EQ(decoded->values[i].name, key.values[i].name);
            EXPECT_EQ(decoded->values[i].type, key.values[i].type);
            EXPECT_EQ(decoded->values[i].data, key.values[i].data);
        }
    }
}

TEST(RegistryKeyFile, DamagedOrRandomBytesAreRejectedWithoutCrashing)
{
    std::mt19937 random(2);
    const std::string magic("ZREGKEY\x01", 8);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = randomBytes(random, random() % 200);
        if (round % 2)
            bytes = magic + bytes;
        EXPECT_FALSE(decodeRegistryKey(bytes)) << round;
    }
    for (int round = 0; round < 1000; ++round) {
        const std::string good = encodeRegistryKey(randomKey(random));
        std::string flipped = good;
        flipped[random() % flipped.size()] ^= static_cast<char>(1 + random() % 255);
        EXPECT_FALSE(decodeRegistryKey(flipped));
        EXPECT_FALSE(decodeRegistryKey(good.substr(0, random() % good.size())));
        EXPECT_FALSE(decodeRegistryKey(good + randomBytes(random, 1 + random() % 8)));
    }
}

TEST(RegistryKeyFile, LengthsBeyondTheFileAreRejectedEvenWithAGoodChecksum)
{
    auto sealed = [](std::string body) {
        putU32(body, crc32(body));
        return body;
    };
    std::string header("ZREGKEY\x01", 8);
    putU32(header, 4);
    header += "HKCU";

    std::string hugeCount = header;
    putU32(hugeCount, 0xFFFFFFFFu);
    EXPECT_FALSE(decodeRegistryKey(sealed(hugeCount)));

    std::string hugeData = header;
    putU32(hugeData, 1);
    putU32(hugeData, 1);
    hugeData += "v";
    putU32(hugeData, REG_SZ);
    putU32(hugeData, 0xFFFFFFF0u);
    hugeData += "abc";
    EXPECT_FALSE(decodeRegistryKey(sealed(hugeData)));

    std::string twice = header;
    putU32(twice, 2);
    for (const char *name : {"Port", "PORT"}) {
        putU32(twice, 4);
        twice += name;
        putU32(twice, REG_SZ);
        putU32(twice, 0);
    }
    EXPECT_FALSE(decodeRegistryKey(sealed(twice)));

    std::string fine = header;
    putU32(fine, 0);
    EXPECT_TRUE(decodeRegistryKey(sealed(fine)));
}

TEST(RegistryKeyFile, FileNamesFoldCaseAndLongPathsStayDistinct)
{
    const RegistryKeyPath mixed{"HKEY_CURRENT_USER", {"Software", "Zephra"}};
    const RegistryKeyPath lower{"HKEY_CURRENT_USER", {"software", "ZEPHRA"}};
    EXPECT_EQ(registryKeyFileName(mixed), registryKeyFileName(lower));
    EXPECT_NE(registryKeyFileName(mixed),
              registryKeyFileName(RegistryKeyPath{"HKEY_LOCAL_MACHINE", {"Software", "Zephra"}}));

    const std::string longName(255, 'x');
    const std::string a =
        registryKeyFileName(RegistryKeyPath{"HKEY_CURRENT_USER", {longName, "y"}});
    const std::string b =
        registryKeyFileName(RegistryKeyPath{"HKEY_CURRENT_USER", {longName, "z"}});
    EXPECT_NE(a, b);
    EXPECT_LE(a.size(), 255u);
}

} // namespace
