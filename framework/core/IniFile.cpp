#include "framework/core/IniFile.h"

#include "framework/core/Format.h"
#include "framework/core/IniDocument.h"
#include "framework/core/WholeFile.h"

#include <functional>
#include <mutex>
#include <optional>

namespace {

std::mutex &writeMutex()
{
    static std::mutex mutex;
    return mutex;
}

IniDocument readDocument(const std::string &fileName)
{
    const std::optional<std::string> text = readWholeFile(fileName, IniFile::kMaxFileSize);
    return IniDocument::parse(text ? *text : std::string());
}

// Applies change() to the file as it is now and saves the result, unless change() reports that
// nothing changed. A file that exists but cannot be read is never overwritten.
void changeFile(const std::string &fileName, const std::function<bool(IniDocument &)> &change)
{
    std::lock_guard<std::mutex> guard(writeMutex());
    const std::optional<std::string> text = readWholeFile(fileName, IniFile::kMaxFileSize);
    if (!text)
        throw EIniFileException(formatText("Failed to read the INI file '%s'", fileName.c_str()));
    IniDocument document = IniDocument::parse(*text);
    if (!change(document))
        return;
    if (!replaceWholeFile(fileName, document.toText()))
        throw EIniFileException(formatText("Failed to write the INI file '%s'", fileName.c_str()));
}

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    std::int64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t(1) << 31)
            return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

IniFile::IniFile(std::string fileName) : m_fileName(std::move(fileName)) {}

std::string IniFile::readString(const std::string &section, const std::string &key,
                                const std::string &defaultValue) const
{
    return readDocument(m_fileName).value(section, key).value_or(defaultValue);
}

void IniFile::writeString(const std::string &section, const std::string &key,
                          const std::string &value)
{
    changeFile(m_fileName, [&](IniDocument &document) {
        if (document.value(section, key) == value)
            return false;
        document.setValue(section, key, value);
        return true;
    });
}

std::int32_t IniFile::readInteger(const std::string &section, const std::string &key,
                                  std::int32_t defaultValue) const
{
    const std::optional<std::string> text = readDocument(m_fileName).value(section, key);
    if (!text)
        return defaultValue;
    return parseInteger(*text).value_or(defaultValue);
}

void IniFile::writeInteger(const std::string &section, const std::string &key, std::int32_t value)
{
    writeString(section, key, std::to_string(value));
}

bool IniFile::sectionExists(const std::string &section) const
{
    return readDocument(m_fileName).hasSection(section);
}

bool IniFile::valueExists(const std::string &section, const std::string &key) const
{
    return readDocument(m_fileName).value(section, key).has_value();
}

void IniFile::deleteKey(const std::string &section, const std::string &key)
{
    changeFile(m_fileName,
               [&](IniDocument &document) { return document.removeValue(section, key); });
}

void IniFile::eraseSection(const std::string &section)
{
    changeFile(m_fileName, [&](IniDocument &document) { return document.removeSection(section); });
}
