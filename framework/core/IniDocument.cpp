#include "framework/core/IniDocument.h"

#include "framework/core/HexPair.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isControl(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
}

std::string_view trimLeft(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trim(std::string_view s)
{
    s = trimLeft(s);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char foldChar(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldChar(a[i]) != foldChar(b[i]))
            return false;
    }
    return true;
}

// Reads a quoted text starting at s[pos] == '"'; on success pos is just past the closing quote.
bool readQuoted(std::string_view s, std::size_t &pos, std::string &out)
{
    out.clear();
    std::size_t i = pos + 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < s.size()) {
            const char next = s[i + 1];
            if (next == '\\' || next == '"') {
                out += next;
                i += 2;
                continue;
            }
            if (next == 'x' && i + 3 < s.size() && hexDigitValue(s[i + 2]) >= 0 &&
                hexDigitValue(s[i + 3]) >= 0) {
                out += static_cast<char>(hexDigitValue(s[i + 2]) * 16 + hexDigitValue(s[i + 3]));
                i += 4;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return false;
}

std::string quote(std::string_view s)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (isControl(c)) {
            const auto b = static_cast<unsigned char>(c);
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out + '"';
}

// Whether s, written bare, would read back as something else in any position.
bool needsQuotes(std::string_view s)
{
    if (s.empty())
        return false;
    if (isBlank(s.front()) || isBlank(s.back()) || s.front() == '"')
        return true;
    for (char c : s) {
        if (isControl(c))
            return true;
    }
    return false;
}

// The value of an entry from its trimmed text: unquoted when it is wholly one quoted text.
std::string decodeValue(std::string_view raw)
{
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
        std::size_t pos = 0;
        std::string out;
        if (readQuoted(raw, pos, out) && pos == raw.size())
            return out;
    }
    return std::string(raw);
}

} // namespace

std::string IniDocument::encodeSection(std::string_view name)
{
    if (name.empty() || needsQuotes(name) || name.find(']') != std::string_view::npos)
        return quote(name);
    return std::string(name);
}

std::string IniDocument::encodeKey(std::string_view key)
{
    if (key.empty() || needsQuotes(key) || key.find('=') != std::string_view::npos ||
        key.front() == ';' || key.front() == '#' || key.front() == '[')
        return quote(key);
    return std::string(key);
}

std::string IniDocument::encodeValue(std::string_view value)
{
    return needsQuotes(value) ? quote(value) : std::string(value);
}

IniDocument::Line IniDocument::parseLine(std::string text, bool crlf)
{
    Line line;
    line.text = std::move(text);
    line.crlf = crlf;
    const std::string_view full = line.text;
    const std::string_view t = trimLeft(full);
    const std::size_t start = full.size() - t.size();
    if (t.empty() || t.front() == ';' || t.front() == '#')
        return line;

    if (t.front() == '[') {
        line.kind = Kind::Section;
        std::size_t pos = 1;
        while (pos < t.size() && isBlank(t[pos]))
            ++pos;
        if (pos < t.size() && t[pos] == '"') {
            std::size_t end = pos;
            std::string name;
            if (readQuoted(t, end, name)) {
                while (end < t.size() && isBlank(t[end]))
                    ++end;
                if (end < t.size() && t[end] == ']') {
                    line.name = std::move(name);
                    return line;
                }
            }
        }
        // A header without ']' still starts a section, so its lines do not join the one before.
        line.name = std::string(trim(t.substr(1, t.find(']') - 1)));
        return line;
    }

    std::size_t equals = std::string_view::npos;
    if (t.front() == '"') {
        std::size_t end = 0;
        if (readQuoted(t, end, line.name)) {
            while (end < t.size() && isBlank(t[end]))
                ++end;
            if (end < t.size() && t[end] == '=')
                equals = end;
        }
    }
    if (equals == std::string_view::npos) {
        equals = t.find('=');
        if (equals == std::string_view::npos)
            return line;
        line.name = std::string(trim(t.substr(0, equals)));
    }
    line.kind = Kind::Entry;
    std::size_t valueStart = equals + 1;
    while (valueStart < t.size() && isBlank(t[valueStart]))
        ++valueStart;
    line.valueStart = start + valueStart;
    line.value = decodeValue(trim(t.substr(valueStart)));
    return line;
}

IniDocument IniDocument::parse(std::string_view text)
{
    IniDocument document;
    if (text.substr(0, kBom.size()) == kBom) {
        document.m_bom = true;
        text.remove_prefix(kBom.size());
    }
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const bool crlf = !raw.empty() && raw.back() == '\r';
        if (crlf)
            raw.remove_suffix(1);
        if (document.m_lines.empty())
            document.m_crlf = crlf;
        document.m_lines.push_back(parseLine(std::string(raw), crlf));
    }
    return document;
}

std::string IniDocument::toText() const
{
    std::string text = m_bom ? std::string(kBom) : std::string();
    for (const Line &line : m_lines) {
        text += line.text;
        text += line.crlf ? "\r\n" : "\n";
    }
    return text;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    bool inSection = false;
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Section)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Kind::Entry && sameName(line.name, key))
            return line.value;
    }
    return std::nullopt;
}

bool IniDocument::hasSection(std::string_view section) const
{
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Section && sameName(line.name, section))
            return true;
    }
    return false;
}

void IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string encoded = encodeValue(value);
    bool inSection = false;
    bool inFirstSection = false;
    bool found = false;
    std::size_t insertAt = m_lines.size();
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        Line &line = m_lines[i];
        if (line.kind == Kind::Section) {
            inSection = sameName(line.name, section);
            inFirstSection = inSection && !found;
            if (inFirstSection) {
                found = true;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection || line.kind != Kind::Entry)
            continue;
        if (sameName(line.name, key)) {
            line = parseLine(line.text.substr(0, line.valueStart) + encoded, line.crlf);
            return;
        }
        // A new entry goes after the section's last entry, before comments that follow it.
        if (inFirstSection)
            insertAt = i + 1;
    }
    Line entry = parseLine(encodeKey(key) + "=" + encoded, m_crlf);
    if (!found) {
        // Appended rather than "[" + name: GCC 12 at -O3 sees a false overlap in the latter.
        std::string header(1, '[');
        header += encodeSection(section);
        header += ']';
        m_lines.push_back(parseLine(header, m_crlf));
        m_lines.push_back(std::move(entry));
        return;
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

bool IniDocument::removeValue(std::string_view section, std::string_view key)
{
    bool inSection = false;
    bool removed = false;
    for (auto it = m_lines.begin(); it != m_lines.end();) {
        if (it->kind == Kind::Section)
            inSection = sameName(it->name, section);
        else if (inSection && it->kind == Kind::Entry && sameName(it->name, key)) {
            it = m_lines.erase(it);
            removed = true;
            continue;
        }
        ++it;
    }
    return removed;
}

bool IniDocument::removeSection(std::string_view section)
{
    bool inSection = false;
    bool removed = false;
    for (auto it = m_lines.begin(); it != m_lines.end();) {
        if (it->kind == Kind::Section)
            inSection = sameName(it->name, section);
        if (inSection) {
            it = m_lines.erase(it);
            removed = true;
            continue;
        }
        ++it;
    }
    return removed;
}
