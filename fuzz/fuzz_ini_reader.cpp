// Reads arbitrary bytes as an INI file. The document's own text is a fixed point (written and
// read again it gives the same text and the same entries); an entry written into it reads back
// exactly and leaves every other entry as it was; and a port loading all its settings from the
// file (for every fourth input length) never fails, and what it loaded saves and loads again
// unchanged.
#include "FuzzCheck.h"
#include "FuzzSettings.h"

#include "framework/core/IniDocument.h"
#include "framework/core/IniFile.h"

#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace {

const std::string kSection = "ComPort1";

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

void checkDocument(const std::string &text)
{
    const IniDocument document = IniDocument::parse(text);
    const std::string written = document.toText();
    const IniDocument reread = IniDocument::parse(written);
    FUZZ_CHECK(reread.toText() == written);
    for (const std::string &key : allSettingKeys())
        FUZZ_CHECK(reread.value(kSection, key) == document.value(kSection, key));

    // An edit whose key, section and value come from the input itself.
    const std::string &tableKey = allSettingKeys()[text.size() % allSettingKeys().size()];
    const std::string key = text.size() % 3 || text.size() < 4 ? tableKey : text.substr(0, 4);
    const std::string section = text.size() % 5 || text.size() < 10 ? kSection : text.substr(4, 6);
    const std::string value = text.substr(text.size() - std::min<std::size_t>(text.size(), 16));
    IniDocument edited = document;
    edited.setValue(section, key, value);
    const IniDocument editedReread = IniDocument::parse(edited.toText());
    FUZZ_CHECK(editedReread.value(section, key) == value);
    FUZZ_CHECK(editedReread.hasSection(section));
    for (const std::string &other : allSettingKeys()) {
        if (sameName(section, kSection) && sameName(key, other))
            continue;
        FUZZ_CHECK(editedReread.value(kSection, other) == document.value(kSection, other));
    }
}

void checkPortLoad(const std::string &text)
{
    const std::string file = scratchFolder() + "/input.ini";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    TComPort loaded;
    loaded.setName(kSection);
    loaded.setSavedGroups(TSettingGroups::all());
    IniFile ini(file);
    bool raised = false;
    try {
        loaded.LoadFromIniFile(ini);
    } catch (...) {
        raised = true;
    }
    FUZZ_CHECK(!raised);

    const std::string copyFile = scratchFolder() + "/copy.ini";
    std::filesystem::remove(copyFile);
    IniFile copy(copyFile);
    loaded.SaveToIniFile(copy);
    TComPort reloaded;
    reloaded.setName(kSection);
    reloaded.setSavedGroups(TSettingGroups::all());
    reloaded.LoadFromIniFile(copy);
    FUZZ_CHECK(savedEntries(reloaded) == savedEntries(loaded));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    checkDocument(text);
    // A port load writes the file some thirty times; done for every input it would leave the
    // reader itself little time.
    if (size % 4 == 0)
        checkPortLoad(text);
    return 0;
}
