#include "platform/ComNames.h"

#include "platform/posix/ComAssignment.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string comName(int number)
{
    return "COM" + std::to_string(number);
}

std::string joined(const std::string &directory, const std::string &path)
{
    if (path.empty() || path.front() == '/')
        return path;
    return directory + "/" + path;
}

// The device path an entry of a port directory names, or empty.
std::string entryTarget(const std::string &directory, const std::string &name)
{
    const std::string entry = directory + "/" + name;
    struct stat info
    {
    };
    if (lstat(entry.c_str(), &info) != 0)
        return {};
    if (S_ISLNK(info.st_mode)) {
        std::string target(4096, '\0');
        const ssize_t length = readlink(entry.c_str(), target.data(), target.size());
        if (length <= 0)
            return {};
        target.resize(std::size_t(length));
        return joined(directory, target);
    }
    if (S_ISCHR(info.st_mode))
        return entry;
    if (!S_ISREG(info.st_mode))
        return {};
    std::ifstream file(entry);
    std::string line;
    std::getline(file, line);
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    line.erase(line.begin(), std::find_if(line.begin(), line.end(), notSpace));
    line.erase(std::find_if(line.rbegin(), line.rend(), notSpace).base(), line.end());
    if (isRemotePortText(line))
        return line;
    return joined(directory, line);
}

std::string portsOverride()
{
    const char *ports = std::getenv("ZEPHRA_PORTS");
    return ports ? ports : "";
}

std::string portMapDirectory()
{
    // Relative values are invalid by the XDG rules and are ignored.
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return std::string(config) + "/zephra/ports";
    const char *home = std::getenv("HOME");
    std::string base = home && home[0] ? home : "";
    if (base.empty()) {
        passwd entry{};
        passwd *user = nullptr;
        std::vector<char> buffer(16384);
        if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &user) == 0 && user &&
            user->pw_dir)
            base = user->pw_dir;
    }
    if (base.empty())
        return {};
    return base + "/.config/zephra/ports";
}

std::string canonical(const std::string &path)
{
    char *resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string automaticPath(int number, const std::string &mapDirectory)
{
    std::set<int> taken;
    std::set<std::string> mapped;
    if (!mapDirectory.empty()) {
        if (DIR *dir = opendir(mapDirectory.c_str())) {
            while (const dirent *entry = readdir(dir)) {
                const int mappedNumber = comPortNumber(entry->d_name);
                if (mappedNumber == 0 || entry->d_name != comName(mappedNumber))
                    continue;
                taken.insert(mappedNumber);
                const std::string target = entryTarget(mapDirectory, entry->d_name);
                if (!target.empty())
                    mapped.insert(canonical(target));
            }
            closedir(dir);
        }
    }
    std::vector<std::string> devices = serialDevices();
    std::erase_if(devices,
                  [&](const std::string &device) { return mapped.count(canonical(device)) > 0; });
    const std::map<int, std::string> assignment = assignComNumbers(devices, taken);
    const auto it = assignment.find(number);
    return it == assignment.end() ? std::string() : it->second;
}

// The number after a device name's prefix, or -1 when the rest is not all digits.
long suffixNumber(const std::string &name, const std::string &prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    const std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    return std::strtol(digits.c_str(), nullptr, 10);
}

// Only a UART that answered its probe at boot has a type; the other ttyS nodes are
// placeholders. sysfs tells without opening the port (opening would raise DTR).
bool uartExists(const SerialDeviceRoots &roots, const std::string &name)
{
    std::ifstream typeFile(roots.sysClassTty + "/" + name + "/type");
    int type = 0;
    if (typeFile >> type)
        return type != PORT_UNKNOWN;
    const int fd =
        ::open((roots.dev + "/" + name).c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

} // namespace

std::string comDevicePath(std::string_view name)
{
    const int number = comPortNumber(name);
    if (number == 0)
        return {};
    const std::string ports = portsOverride();
    if (!ports.empty())
        return entryTarget(ports, comName(number));
    const std::string mapDirectory = portMapDirectory();
    if (!mapDirectory.empty()) {
        std::string mapped = entryTarget(mapDirectory, comName(number));
        if (!mapped.empty())
            return mapped;
    }
    return automaticPath(number, mapDirectory);
}

ComDeviceStatus comDeviceStatus(std::string_view name)
{
    ComDeviceStatus status;
    status.mapDirectory = portsOverride();
    if (status.mapDirectory.empty())
        status.mapDirectory = portMapDirectory();
    const int number = comPortNumber(name);
    if (number == 0)
        return status;
    status.name = comName(number);
    status.path = comDevicePath(name);
    if (status.path.empty())
        return status;
    status.remote = remotePortAddress(status.path);
    if (!status.remote && isRemotePortText(status.path)) {
        status.state = ComDeviceStatus::BadEntry;
        status.fault = remotePortFault(status.path);
        return status;
    }
    if (status.remote) {
        status.state = ComDeviceStatus::Present;
        return status;
    }
    struct stat info
    {
    };
    if (stat(status.path.c_str(), &info) != 0) {
        status.state = errno == EACCES ? ComDeviceStatus::NoPermission : ComDeviceStatus::Missing;
        return status;
    }
    // The effective ids decide, as they do for open(); root passes whatever the mode says.
    const bool denied = faccessat(AT_FDCWD, status.path.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
                        (errno == EACCES || errno == EPERM);
    status.state = denied ? ComDeviceStatus::NoPermission : ComDeviceStatus::Present;
    return status;
}

std::vector<std::string> serialDevices(const SerialDeviceRoots &roots)
{
    const std::string prefixes[] = {"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::pair<long, std::string>> groups[3];
    if (DIR *dir = opendir(roots.dev.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            for (int group = 0; group < 3; ++group) {
                const long number = suffixNumber(name, prefixes[group]);
                if (number >= 0) {
                    groups[group].emplace_back(number, name);
                    break;
                }
            }
        }
        closedir(dir);
    }
    std::vector<std::string> devices;
    for (int group = 0; group < 3; ++group) {
        std::sort(groups[group].begin(), groups[group].end());
        for (const auto &[number, name] : groups[group]) {
            if (group == 2 && !uartExists(roots, name))
                continue;
            devices.push_back(roots.dev + "/" + name);
        }
    }
    return devices;
}

std::map<int, std::string> assignComNumbers(const std::vector<std::string> &devices,
                                            const std::set<int> &taken)
{
    std::map<int, std::string> assignment;
    int number = 1;
    for (const std::string &device : devices) {
        while (taken.count(number))
            ++number;
        if (number > MaxComNumber)
            break;
        assignment.emplace(number++, device);
    }
    return assignment;
}
