// ser2net serving one serial device with RFC 2217 on a free port of 127.0.0.1, for the tests
// and benchmarks of network serial ports: the configuration is written into dir, the server
// runs in the foreground until the object goes (or kill() ends it), and the constructor
// returns once it accepts connections (or after 5 s).
#pragma once

#include "tests/support/ChildProcess.h"

#include <chrono>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

class Ser2netServer
{
public:
    static constexpr const char *Program = "/usr/sbin/ser2net";
    static bool installed() { return ::access(Program, X_OK) == 0; }

    Ser2netServer(const std::string &dir, const std::string &device, const std::string &line)
        : m_port(freePort())
    {
        const std::string config = dir + "/ser2net.yaml";
        std::ofstream(config) << "connection: &remote\n  accepter: telnet(rfc2217),tcp,127.0.0.1,"
                              << m_port << "\n  connector: serialdev," << device << "," << line
                              << ",local\n";
        m_process = std::make_unique<ChildProcess>(
            Program, std::vector<std::string>{"-n", "-d", "-c", config});
        for (int i = 0; i < 500 && !accepts(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        // The look above was a client too; the server needs a moment to let it go.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    int port() const { return m_port; }
    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(m_port); }
    // Ends the server as a crash would; returns once it has gone.
    void kill()
    {
        m_process->signal(SIGKILL);
        m_process->finish();
    }
    void killNow() { m_process->signal(SIGKILL); }

private:
    static sockaddr_in loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(std::uint16_t(port));
        return address;
    }
    static int freePort()
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        bind(fd, reinterpret_cast<sockaddr *>(&address), size);
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
        ::close(fd);
        return ntohs(address.sin_port);
    }
    bool accepts() const
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = loopback(m_port);
        const bool up =
            ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        return up;
    }

    int m_port;
    std::unique_ptr<ChildProcess> m_process;
};
