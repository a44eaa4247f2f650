// A simulated module reachable by COM name, for tests of anything that opens ports by name:
// a private port directory, ZEPHRA_PORTS pointing at it, and a SimulatedModule served on a
// pseudo-terminal and published there (as COM1 unless told otherwise). Everything is undone
// on destruction: the link and the directory are removed and ZEPHRA_PORTS is restored.
// The device can also be lost and brought back while a test runs, as a cable that is pulled
// and plugged in again.
// Made and destroyed on the test's main thread; module() and port() are thread-safe. The
// loss calls may come from another thread while the main thread is blocked in the window;
// bringBack() replaces port(), so no other thread may be using it then.
#pragma once

#include "simulator/SimulatedModule.h"
#include "simulator/SimulatorPort.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

class SimulatorEnvironment
{
public:
    explicit SimulatorEnvironment(const std::string &comName = "COM1");
    ~SimulatorEnvironment();
    SimulatorEnvironment(const SimulatorEnvironment &) = delete;
    SimulatorEnvironment &operator=(const SimulatorEnvironment &) = delete;

    SimulatedModule &module() { return m_module; }
    SimulatorPort &port() { return *m_port; }
    const std::string &portDirectory() const { return m_directory; }
    const std::string &comName() const { return m_comName; }
    // DIR/COMn, the path the port layer resolves the COM name to.
    std::string publishedPath() const { return m_directory + "/" + m_comName; }

    // The far end closes now: the window's side of the pty hangs up; the COM name is left
    // pointing at the dead device.
    void closeFarEnd();
    // The device vanishes: its COM name is removed, then the far end closes.
    void vanish();
    // The same module (settings, switch, faults and log kept) comes back on a new pty,
    // published under the same COM name.
    void bringBack();

private:
    std::string m_directory;
    std::string m_comName;
    std::optional<std::string> m_savedPorts; // ZEPHRA_PORTS before we set it
    SimulatedModule m_module;
    std::unique_ptr<SimulatorPort> m_port;
};

// GoogleTest fixture around one SimulatorEnvironment per test.
class SimulatorFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    SimulatedModule &module() { return m_simulator->module(); }
    SimulatorPort &port() { return m_simulator->port(); }
    const std::string &portDirectory() const { return m_simulator->portDirectory(); }
    const std::string &comName() const { return m_simulator->comName(); }

    std::unique_ptr<SimulatorEnvironment> m_simulator;
};
