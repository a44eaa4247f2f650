#include "serial/AdapterNames.h"

#include "platform/ComNames.h"

#include <cstdlib>

#ifdef _WIN32

// Windows keeps its COM numbers with the adapter: the device is the port's own name, and there
// are no by-path or by-id names to follow.
AdapterNames adapterNames(const std::string &comName)
{
    AdapterNames names;
    if (comDeviceStatus(comName).state == ComDeviceStatus::Present)
        names.device = comDevicePath(comName);
    return names;
}

std::string comNameFor(const std::string &)
{
    return {};
}

#else

#include <dirent.h>

namespace {

constexpr int LastComNumber = 255;

std::string serialDirectory()
{
    const char *own = std::getenv("ZEPHRA_SERIAL_DIR");
    return own && *own ? own : "/dev/serial";
}

// The path with every link resolved; empty when it leads nowhere.
std::string resolved(const std::string &path)
{
    if (path.empty())
        return {};
    char *real = realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string result(real);
    std::free(real);
    return result;
}

// The link in directory that leads to device, or empty.
std::string linkTo(const std::string &directory, const std::string &device)
{
    DIR *dir = opendir(directory.c_str());
    if (!dir)
        return {};
    std::string found;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (resolved(directory + "/" + name) == device) {
            found = directory + "/" + name;
            break;
        }
    }
    closedir(dir);
    return found;
}

} // namespace

AdapterNames adapterNames(const std::string &comName)
{
    AdapterNames names;
    names.device = resolved(comDevicePath(comName));
    if (names.device.empty())
        return names;
    const std::string directory = serialDirectory();
    names.byPath = linkTo(directory + "/by-path", names.device);
    names.byId = linkTo(directory + "/by-id", names.device);
    return names;
}

std::string comNameFor(const std::string &byPath)
{
    const std::string device = resolved(byPath);
    if (device.empty())
        return {};
    for (int number = 1; number <= LastComNumber; ++number) {
        const std::string name = "COM" + std::to_string(number);
        if (resolved(comDevicePath(name)) == device)
            return name;
    }
    return {};
}

#endif
