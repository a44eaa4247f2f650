#include "tests/support/SimulatorFixture.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

SimulatorEnvironment::SimulatorEnvironment(const std::string &comName) : m_comName(comName)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "zephra-ports-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    m_directory = pattern;
    try {
        m_port = std::make_unique<SimulatorPort>(m_module);
        m_port->publish(m_directory, m_comName);
    } catch (...) {
        m_port.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_directory, ignored);
        throw;
    }
    if (const char *old = std::getenv("ZEPHRA_PORTS"))
        m_savedPorts = old;
    setenv("ZEPHRA_PORTS", m_directory.c_str(), 1);
}

SimulatorEnvironment::~SimulatorEnvironment()
{
    if (m_savedPorts)
        setenv("ZEPHRA_PORTS", m_savedPorts->c_str(), 1);
    else
        unsetenv("ZEPHRA_PORTS");
    m_port.reset();
    std::error_code ignored;
    std::filesystem::remove_all(m_directory, ignored);
}

void SimulatorEnvironment::closeFarEnd()
{
    m_port->hangUp();
}

void SimulatorEnvironment::vanish()
{
    m_port->unpublish();
    m_port->hangUp();
}

void SimulatorEnvironment::bringBack()
{
    // The old port goes first: it removes a stale link of its own, and its pty number may
    // be handed to the new one.
    m_port.reset();
    m_port = std::make_unique<SimulatorPort>(m_module);
    m_port->publish(m_directory, m_comName);
}

void SimulatorFixture::SetUp()
{
    m_simulator = std::make_unique<SimulatorEnvironment>();
}

void SimulatorFixture::TearDown()
{
    m_simulator.reset();
}
