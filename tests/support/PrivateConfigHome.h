// XDG_CONFIG_HOME pointed at a fresh folder of the test's own while this lives, so that what
// one test stores never reaches another test or the user's own settings.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

class PrivateConfigHome
{
public:
    PrivateConfigHome()
    {
        char pattern[] = "/tmp/zephra-config-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::system_error(errno, std::generic_category(), "mkdtemp");
        m_path = pattern;
        setenv("XDG_CONFIG_HOME", pattern, 1);
    }
    ~PrivateConfigHome()
    {
        unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    PrivateConfigHome(const PrivateConfigHome &) = delete;
    PrivateConfigHome &operator=(const PrivateConfigHome &) = delete;

    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};
