// Port names given to the port component: only "COMn" (n = 1 to 255, letters in any case)
// names a device, found through the port directory's entry of that name. Every other text
// fails to open with "file not found", however it is built, and no device outside the port
// directory is ever opened through a name.
#include "serial/ComPort.h"
#include "serial/EComPort.h"

#include "SerialTestSupport.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// scratch/ports is the port directory (ZEPHRA_PORTS) with COM1 linked to one pty; a second
// pty lies outside it, linked as scratch/COM2 and as scratch/ports/nested/COM3, where only a
// name that escapes the directory could reach it.
class PortNameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "zephra-names-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_scratch = pattern;
        fs::create_directories(ports() / "nested");
        fs::create_symlink(m_inside.slavePath(), ports() / "COM1");
        fs::create_symlink(m_outside.slavePath(), m_scratch / "COM2");
        fs::create_symlink(m_outside.slavePath(), ports() / "nested/COM3");
        // Entries that name no serial device.
        std::ofstream(m_scratch / "plain") << "not a device\n";
        fs::create_symlink(m_scratch / "plain", ports() / "COM5");
        fs::create_symlink(m_scratch, ports() / "COM6");
        fs::create_symlink(m_scratch / "missing", ports() / "COM8");

        if (const char *previous = std::getenv("ZEPHRA_PORTS"))
            m_previousPorts = previous;
        setenv("ZEPHRA_PORTS", ports().c_str(), 1);

        // Every open of the outside pty's slave from now on shows here.
        m_watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(m_watch, 0);
        ASSERT_GE(inotify_add_watch(m_watch, m_outside.slavePath().c_str(), IN_OPEN), 0);
    }
    void TearDown() override
    {
        if (m_watch >= 0)
            ::close(m_watch);
        if (m_previousPorts)
            setenv("ZEPHRA_PORTS", m_previousPorts->c_str(), 1);
        else
            unsetenv("ZEPHRA_PORTS");
        std::error_code ignored;
        fs::remove_all(m_scratch, ignored);
    }

    fs::path ports() const { return m_scratch / "ports"; }
    const fs::path &scratch() const { return m_scratch; }
    const PtyPair &outside() const { return m_outside; }

    bool outsideWasOpened() const
    {
        char events[4096];
        return ::read(m_watch, events, sizeof events) > 0;
    }

    // The message Open raises for name, or empty when the port opened (it is closed again).
    std::string openFailure(const std::string &name)
    {
        m_port.setPort(name);
        try {
            m_port.Open();
        } catch (const EComPort &e) {
            EXPECT_EQ(e.ErrorCode(), EComPort::OpenFailed);
            EXPECT_FALSE(m_port.Connected());
            EXPECT_EQ(m_port.Handle(), INVALID_HANDLE_VALUE);
            return e.message();
        }
        EXPECT_TRUE(m_port.Connected());
        m_port.Close();
        return {};
    }

private:
    ReportSink m_sink;
    FakeLineInstaller m_line;
    PtyPair m_inside;
    PtyPair m_outside;
    fs::path m_scratch;
    std::optional<std::string> m_previousPorts;
    int m_watch = -1;
    TComPort m_port;
};

const std::string notFound = "Unable to open com port (win error code: 2)";

} // namespace

TEST_F(PortNameTest, OnlyComNamesOpenAndNothingOutsideThePortDirectory)
{
    // As on Windows: any letter case; the text ends at a NUL, as the system call reads it.
    for (const std::string &name : {std::string("COM1"), std::string("com1"), std::string("cOm1"),
                                    std::string("COM1\0../COM2", 12)})
        EXPECT_EQ(openFailure(name), "") << name;

    const std::string failing[] = {
        "",
        "COM",
        "COM0",
        "COM01",
        "COM001",
        "COM-1",
        "COM+1",
        "COM1 ",
        " COM1",
        "COM1.",
        "COM1:",
        "COM256",
        "COM4294967297",
        "COM2",        // a COM name with no entry: the pty linked beside the directory stays unused
        "COM17",       // a COM name the window never lists, nothing published
        "\\\\.\\COM1", // the component adds this prefix itself
        "../COM2",
        "..\\COM2",
        "COM1/../COM2",
        "COM1\\..\\COM2",
        "nested/COM3",
        "nested\\COM3",
        "./COM1",
        (scratch() / "COM2").string(),
        (ports() / "COM1").string(),
        outside().slavePath(),
        "/dev/ptmx",
        "/etc/passwd",
        std::string(10'000, 'A'),
        "COM" + std::string(10'000, '1'),
        std::string(10'000, '/'),
        "..",
        "\xFF\xFE",
    };
    for (const std::string &name : failing)
        EXPECT_EQ(openFailure(name), notFound) << "'" << name.substr(0, 40) << "'";
    // Entries of the directory that are no serial device: a plain file, a folder, a dangling
    // link.
    for (const std::string name : {"COM5", "COM6", "COM8"})
        EXPECT_EQ(openFailure(name), notFound) << name;

    EXPECT_FALSE(outsideWasOpened());

    // A COM name above 16 is still a name: once published it opens like any other.
    fs::create_symlink(outside().slavePath(), ports() / "COM17");
    EXPECT_EQ(openFailure("COM17"), "");
    EXPECT_TRUE(outsideWasOpened());
}
