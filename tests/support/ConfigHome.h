// XDG_CONFIG_HOME pointed at a fresh folder of the test's own while this lives (the previous
// value is restored), so that what one test stores never reaches another test or the user's
// own settings.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class ConfigHome
{
public:
    ConfigHome()
    {
        if (const char *previous = std::getenv("XDG_CONFIG_HOME")) {
            m_hadPrevious = true;
            m_previous = previous;
        }
        // The stores sync every write to disk; on a memory file system that costs nothing,
        // which keeps the tests that save many times quick.
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = base / "zephra-store-XXXXXX";
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "cannot create a temporary folder";
        m_path = pattern;
        setenv("XDG_CONFIG_HOME", m_path.c_str(), 1);
    }
    ~ConfigHome()
    {
        if (m_hadPrevious)
            setenv("XDG_CONFIG_HOME", m_previous.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ConfigHome(const ConfigHome &) = delete;
    ConfigHome &operator=(const ConfigHome &) = delete;

    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
    bool m_hadPrevious = false;
    std::string m_previous;
};
