// A kernel pseudo-terminal pair for tests: the slave side is the "serial device" the code
// under test opens by its COM name, the master side is the far end the test drives. Also a
// temporary port directory (ZEPHRA_PORTS) in which a pair is published as COMn. The master's
// terminal settings are never touched: that would rewrite the slave's configured ones.
// Used from the test's own threads; one object per thread.
#pragma once

#include <chrono>
#include <string>

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    int master() const { return m_master; }
    // A descriptor the pair keeps on the slave, so that the slave side stays alive while the
    // code under test opens and closes it.
    int slave() const { return m_slave; }
    const std::string &slavePath() const { return m_slavePath; }

    // The far end writes all bytes (waiting while the slave's input is full).
    void writeAll(const std::string &bytes);
    // Reads from the far end until count bytes have come or the time is up.
    std::string readSome(std::size_t count, std::chrono::milliseconds timeout);
    // Everything the far end can read without waiting.
    std::string drain();
    // The far end goes away: the slave side sees a hang-up.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

// A temporary directory set as ZEPHRA_PORTS for the object's lifetime (the previous value is
// restored); publish() makes a pty's slave reachable as COMn.
class PortDirectory
{
public:
    PortDirectory();
    ~PortDirectory();
    PortDirectory(const PortDirectory &) = delete;
    PortDirectory &operator=(const PortDirectory &) = delete;

    const std::string &path() const { return m_path; }
    // Links COMn to the pair's slave and returns the name "COMn".
    std::string publish(const PtyPair &pair, int number);
    // Links COMn to any path (a missing one too).
    std::string publishPath(const std::string &target, int number);

private:
    std::string m_path;
    bool m_hadPrevious = false;
    std::string m_previous;
};
