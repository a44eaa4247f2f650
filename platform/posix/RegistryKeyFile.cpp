#include "platform/posix/RegistryKeyFile.h"

#include <array>
#include <cstdint>
#include <unordered_set>

namespace {

// "ZREGKEY" plus the format version.
constexpr std::string_view kMagic{"ZREGKEY\x01", 8};
constexpr std::size_t kMaxPathLength = 1u << 20;

constexpr std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

std::uint32_t crc32(std::string_view bytes)
{
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes)
        c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void putU32(std::string &out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putBytes(std::string &out, std::string_view bytes)
{
    putU32(out, static_cast<std::uint32_t>(bytes.size()));
    out.append(bytes);
}

// Reads from the undecoded rest; every length is checked against what is left before use.
class Reader
{
public:
    explicit Reader(std::string_view bytes) : m_rest(bytes) {}

    bool u32(std::uint32_t &v)
    {
        if (m_rest.size() < 4)
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_rest[i])) << (8 * i);
        m_rest.remove_prefix(4);
        return true;
    }

    bool bytes(std::string &out, std::size_t maxLength)
    {
        std::uint32_t length = 0;
        if (!u32(length) || length > maxLength || length > m_rest.size())
            return false;
        out.assign(m_rest.substr(0, length));
        m_rest.remove_prefix(length);
        return true;
    }

    bool atEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
};

char foldChar(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool sameRegistryName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldChar(a[i]) != foldChar(b[i]))
            return false;
    }
    return true;
}

std::string foldRegistryName(std::string_view name)
{
    std::string folded(name);
    for (char &c : folded)
        c = foldChar(c);
    return folded;
}

const RegistryValue *RegistryKeyData::findValue(std::string_view name) const
{
    for (const RegistryValue &value : values) {
        if (sameRegistryName(value.name, name))
            return &value;
    }
    return nullptr;
}

void RegistryKeyData::setValue(std::string_view name, DWORD type, std::string data)
{
    for (RegistryValue &value : values) {
        if (sameRegistryName(value.name, name)) {
            value.type = type;
            value.data = std::move(data);
            return;
        }
    }
    values.push_back(RegistryValue{std::string(name), type, std::move(data)});
}

bool RegistryKeyData::removeValue(std::string_view name)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (sameRegistryName(it->name, name)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

std::string encodeRegistryKey(const RegistryKeyData &key)
{
    std::string out(kMagic);
    putBytes(out, key.path);
    putU32(out, static_cast<std::uint32_t>(key.values.size()));
    for (const RegistryValue &value : key.values) {
        putBytes(out, value.name);
        putU32(out, value.type);
        putBytes(out, value.data);
    }
    putU32(out, crc32(out));
    return out;
}

std::optional<RegistryKeyData> decodeRegistryKey(std::string_view bytes)
{
    if (bytes.size() < kMagic.size() + 4 || bytes.substr(0, kMagic.size()) != kMagic)
        return std::nullopt;
    const std::string_view body = bytes.substr(0, bytes.size() - 4);
    Reader trailer(bytes.substr(body.size()));
    std::uint32_t storedCrc = 0;
    if (!trailer.u32(storedCrc) || storedCrc != crc32(body))
        return std::nullopt;

    Reader in(body.substr(kMagic.size()));
    RegistryKeyData key;
    std::uint32_t count = 0;
    if (!in.bytes(key.path, kMaxPathLength) || !in.u32(count))
        return std::nullopt;
    // No reserve(count): the count is untrusted; each value must really be present.
    std::unordered_set<std::string> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        RegistryValue value;
        if (!in.bytes(value.name, kMaxRegistryValueName) || !in.u32(value.type) ||
            !in.bytes(value.data, body.size()))
            return std::nullopt;
        if (!seen.insert(foldRegistryName(value.name)).second)
            return std::nullopt;
        key.values.push_back(std::move(value));
    }
    if (!in.atEnd())
        return std::nullopt;
    return key;
}
