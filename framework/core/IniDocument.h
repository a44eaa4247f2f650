// The text of an INI file as lines, with lookup and change of entries by section and key in any
// letter case (ASCII). Lines that are not changed (comments, blank lines, other sections, lines
// that are no entry) are written back as they were read. Pure code, no file access.
//
// Layout: "[Section]" headers and "Key=Value" entries; lines starting with ';' or '#' are
// comments. A value runs from after the first '=' to the line end, blanks around it trimmed;
// ';' or '#' inside a value is part of it. Where a name or value could not be read back as
// written (blanks at its ends, a leading '"', control bytes; in a key also '=' or a leading
// ';', '#' or '['; in a section name also ']'; an empty key or section name) it is written in
// double quotes with \\, \" and \xHH escapes. Reading takes a value that is wholly enclosed in
// quotes as quoted (so "quoted" values of other writers lose their quotes); other backslashes
// inside quotes stay as they are.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniDocument
{
public:
    static IniDocument parse(std::string_view text);
    std::string toText() const;

    // The first entry of that key in the first section of that name that holds it.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Replaces the entry that value() finds, else adds one at the end of the first section of
    // that name, else adds the section at the end of the document.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    bool hasSection(std::string_view section) const;
    // Removes every entry of that key in sections of that name; false when there was none.
    bool removeValue(std::string_view section, std::string_view key);
    // Removes every section of that name with all lines up to the next section header.
    bool removeSection(std::string_view section);

    // The forms written for a name or value; exposed for tests of the quoting rule.
    static std::string encodeSection(std::string_view name);
    static std::string encodeKey(std::string_view key);
    static std::string encodeValue(std::string_view value);

private:
    enum class Kind { Other, Section, Entry };
    struct Line
    {
        Kind kind = Kind::Other;
        std::string text;           // without its line end
        bool crlf = false;          // ended in "\r\n"
        std::string name;           // section name or key, unquoted
        std::string value;          // entry value, unquoted
        std::size_t valueStart = 0; // where the value's text begins in text
    };

    static Line parseLine(std::string text, bool crlf);

    std::vector<Line> m_lines;
    bool m_crlf = false; // line end for new lines, taken from the first line
    bool m_bom = false;  // the file began with a UTF-8 byte order mark
};
