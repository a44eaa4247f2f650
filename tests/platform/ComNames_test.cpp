// COM names and how they resolve to device paths.
#include "platform/ComNames.h"
#include "platform/posix/ComAssignment.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A scratch directory that also stands in for XDG_CONFIG_HOME and HOME while it lives.
class ScratchHome
{
public:
    ScratchHome()
    {
        std::string pattern = (fs::temp_directory_path() / "zephra-home-XXXXXX").string();
        path = mkdtemp(pattern.data());
        save("XDG_CONFIG_HOME", m_config);
        save("HOME", m_home);
        setenv("XDG_CONFIG_HOME", (path / "config").c_str(), 1);
        setenv("HOME", path.c_str(), 1);
        fs::create_directories(path / "config/zephra/ports");
    }
    ~ScratchHome()
    {
        restore("XDG_CONFIG_HOME", m_config);
        restore("HOME", m_home);
        fs::remove_all(path);
    }
    fs::path portMap() const { return path / "config/zephra/ports"; }
    void write(const fs::path &file, const std::string &text) const
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    fs::path path;

private:
    using Saved = std::pair<bool, std::string>;
    static void save(const char *name, Saved &saved)
    {
        const char *value = std::getenv(name);
        saved = {value != nullptr, value ? value : ""};
    }
    static void restore(const char *name, const Saved &saved)
    {
        if (saved.first)
            setenv(name, saved.second.c_str(), 1);
        else
            unsetenv(name);
    }
    Saved m_config, m_home;
};

} // namespace

TEST(ComNamesTest, RecognisesComNamesLikeWindows)
{
    const std::pair<const char *, int> table[] = {
        {"COM1", 1},  {"com16", 16}, {"\\\\.\\COM10", 10}, {"\\\\.\\cOm255", 255},
        {"COM0", 0},  {"COM256", 0}, {"COM01", 0},         {"COM", 0},
        {"COM1 ", 0}, {"COMX", 0},   {"\\\\?\\COM1", 0},   {"/dev/ttyS0", 0},
        {"LPT1", 0},  {"", 0},       {"COM1000", 0},       {"\\\\.\\", 0},
    };
    for (const auto &[name, number] : table)
        EXPECT_EQ(comPortNumber(name), number) << name;
}

TEST(ComNamesTest, PortDirectoryEntriesAreLinksOrFilesHoldingAPath)
{
    ScratchHome home;
    PortDirectory ports;
    ports.publishPath("/dev/ttyFAKE4", 4);
    home.write(fs::path(ports.path()) / "COM5", "  /dev/ttyFAKE5 \nignored\n");
    home.write(fs::path(ports.path()) / "COM6", "relative/device\n");
    EXPECT_EQ(comDevicePath("COM4"), "/dev/ttyFAKE4");
    EXPECT_EQ(comDevicePath("\\\\.\\com5"), "/dev/ttyFAKE5");
    EXPECT_EQ(comDevicePath("COM6"), ports.path() + "/relative/device");

    // While the directory is set it is the only source: the user's map does not count.
    home.write(home.portMap() / "COM7", "/dev/ttyMAPPED");
    EXPECT_EQ(comDevicePath("COM7"), "");
    EXPECT_EQ(comDevicePath("COM8"), "");
}

TEST(ComNamesTest, UserPortMapComesBeforeTheAutomaticAssignment)
{
    ScratchHome home;
    unsetenv("ZEPHRA_PORTS");
    home.write(home.portMap() / "COM9", "/dev/ttyMAPPED\n");
    fs::create_symlink("/dev/ttyLINKED", home.portMap() / "COM12");
    EXPECT_EQ(comDevicePath("COM9"), "/dev/ttyMAPPED");
    EXPECT_EQ(comDevicePath("com12"), "/dev/ttyLINKED");

    // Without XDG_CONFIG_HOME the map lives under ~/.config.
    unsetenv("XDG_CONFIG_HOME");
    home.write(home.path / ".config/zephra/ports/COM3", "/dev/ttyHOME");
    EXPECT_EQ(comDevicePath("COM3"), "/dev/ttyHOME");
}

TEST(ComNamesTest, AutomaticAssignmentPutsAdaptersFirstAndSkipsPhantomUarts)
{
    ScratchHome home;
    const fs::path dev = home.path / "dev";
    const fs::path sys = home.path / "sys";
    for (const char *node : {"ttyS1", "ttyUSB10", "ttyACM0", "ttyUSB2", "ttyS0", "ttyS2", "ttyX0",
                             "ttySAC0", "tty5", "console"})
        home.write(dev / node, "");
    home.write(sys / "ttyS0/type", "4\n"); // a 16550A
    home.write(sys / "ttyS1/type", "0\n"); // no UART behind this node
    home.write(sys / "ttyS2/type", "13\n");
    const std::vector<std::string> devices = serialDevices({dev.string(), sys.string()});
    const std::vector<std::string> expected = {dev / "ttyUSB2", dev / "ttyUSB10", dev / "ttyACM0",
                                               dev / "ttyS0", dev / "ttyS2"};
    EXPECT_EQ(devices, expected);

    // Numbers the port map uses are skipped; the rest are handed out in order.
    const std::map<int, std::string> assignment = assignComNumbers(devices, {1, 3});
    const std::map<int, std::string> numbered = {
        {2, devices[0]}, {4, devices[1]}, {5, devices[2]}, {6, devices[3]}, {7, devices[4]}};
    EXPECT_EQ(assignment, numbered);
}

TEST(ComNamesTest, StatusTellsWhatStandsBehindAName)
{
    ScratchHome home;
    PortDirectory ports;
    PtyPair pty;
    ports.publish(pty, 4);
    ports.publishPath(ports.path() + "/gone", 3);
    const fs::path locked = home.path / "locked";
    home.write(locked, "");
    fs::permissions(locked, fs::perms::none);
    ports.publishPath(locked.string(), 5);

    const ComDeviceStatus present = comDeviceStatus("\\\\.\\com4");
    EXPECT_EQ(present.state, ComDeviceStatus::Present);
    EXPECT_EQ(present.name, "COM4");
    EXPECT_EQ(present.path, pty.slavePath());
    EXPECT_EQ(present.mapDirectory, ports.path());

    const ComDeviceStatus missing = comDeviceStatus("COM3");
    EXPECT_EQ(missing.state, ComDeviceStatus::Missing);
    EXPECT_EQ(missing.path, ports.path() + "/gone");

    const ComDeviceStatus unmapped = comDeviceStatus("COM2");
    EXPECT_EQ(unmapped.state, ComDeviceStatus::NotMapped);
    EXPECT_EQ(unmapped.name, "COM2");
    EXPECT_EQ(unmapped.path, "");
    EXPECT_EQ(comDeviceStatus("LPT1").name, "");
    EXPECT_EQ(comDeviceStatus("LPT1").state, ComDeviceStatus::NotMapped);

    // Root may open anything, so only other users see the lock.
    EXPECT_EQ(comDeviceStatus("COM5").state,
              geteuid() == 0 ? ComDeviceStatus::Present : ComDeviceStatus::NoPermission);

    // Without the override the user's port map is where names are mapped.
    unsetenv("ZEPHRA_PORTS");
    EXPECT_EQ(comDeviceStatus("COM2").mapDirectory, home.portMap().string());
}
