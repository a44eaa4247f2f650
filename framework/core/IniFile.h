// The INI file object that settings storage writes to and reads from: text and integer entries
// by section and key, both found in any letter case, values kept byte for byte (layout and
// quoting in IniDocument.h). Every call takes the file as it is on disk at that moment; every
// change rewrites the whole file atomically (temporary file, flush, rename), so a crash during a
// save leaves the old file whole, and keeps the file's other sections and comments.
// Failed changes raise EIniFileException. Any thread; changes within the process are serialised.
#pragma once

#include "framework/core/Exception.h"

#include <cstdint>
#include <string>

class EIniFileException : public Exception
{
public:
    using Exception::Exception;
};

class IniFile
{
public:
    // fileName in the file system's 8-bit encoding; the file need not exist yet.
    explicit IniFile(std::string fileName);

    const std::string &fileName() const { return m_fileName; }

    // The entry's value, or defaultValue when the entry (or the file) is missing or unreadable.
    std::string readString(const std::string &section, const std::string &key,
                           const std::string &defaultValue) const;
    // Creates or replaces the entry.
    void writeString(const std::string &section, const std::string &key, const std::string &value);

    // The entry read as a decimal 32-bit integer (blanks around it allowed), or defaultValue when
    // the entry is missing or is not such a number.
    std::int32_t readInteger(const std::string &section, const std::string &key,
                             std::int32_t defaultValue) const;
    // Writes the value as decimal text.
    void writeInteger(const std::string &section, const std::string &key, std::int32_t value);

    bool sectionExists(const std::string &section) const;
    bool valueExists(const std::string &section, const std::string &key) const;
    // Removes the entry (nothing happens when it is missing).
    void deleteKey(const std::string &section, const std::string &key);
    // Removes the section with all its lines (nothing happens when it is missing).
    void eraseSection(const std::string &section);

    // Files larger than this are not read (reads give defaults, changes raise).
    static constexpr std::int64_t kMaxFileSize = 16 << 20;

private:
    std::string m_fileName;
};
