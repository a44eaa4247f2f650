// Carries one SimulatedModule over a pseudo-terminal: the window opens the slave side like a
// serial device (directly, or through a COM name published in a port directory) and the
// module answers on the master side.
//
// The port owns the pty and one service thread, started by the constructor and ended by
// stop() or the destructor. The thread alone reads and writes the master; it hands received
// bytes to the module and sends the module's answers at their due time, paced at the
// module's line speed when one is set. Public functions may be called from any thread.
//
// The slave side may be opened and closed any number of times. While no one holds it open
// the thread sleeps until it is opened again, and bytes due meanwhile are dropped, as a
// serial port that is not open loses what arrives on its line; nothing stale waits for the
// next opener. The master is set raw once, before anyone can open the slave, and its line
// settings are never touched again, since they are shared with the slave.
//
// A port with a radio (setRadio) plays a module whose RS232 side is a real line: at RUN it
// reads the speed the window set on the slave (the master sees the slave's settings); bytes
// at another speed than the module's baud setting arrive garbled, both ways (LineGarble), and
// everything the module sends is paced at its baud.
#pragma once

#include "simulator/SimulatedModule.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

class SimulatorPort
{
public:
    // Opens the pty and starts serving. Throws std::system_error when the pty cannot be
    // made. The module must outlive the port.
    explicit SimulatorPort(SimulatedModule &module);
    ~SimulatorPort();
    SimulatorPort(const SimulatorPort &) = delete;
    SimulatorPort &operator=(const SimulatorPort &) = delete;

    SimulatedModule &module() const { return m_module; }
    // Path of the slave side, e.g. /dev/pts/3.
    const std::string &slavePath() const { return m_slavePath; }

    // Makes directory/name a symbolic link to the slave, replacing an entry of that name
    // (a link left by a run that was killed). One name at a time: publishing again moves
    // the link. Throws std::system_error on failure.
    void publish(const std::string &directory, const std::string &name);
    // Removes the published link if it still points to this pty. Also done by the destructor.
    void unpublish();
    // Full path of the published link; empty when not published.
    std::string publishedPath() const;

    // Sends bytes to the window as the module would, after anything already due.
    void inject(std::string bytes);

    // Gets what the window sends at RUN, as the module's RS232 side receives it, instead of
    // the module's echo. Call before the slave is first opened.
    using RadioSend =
        std::function<void(std::string_view bytes, std::chrono::steady_clock::time_point now)>;
    void setRadio(RadioSend send);
    // The speed the slave side is set to; 0 when it cannot be read.
    int slaveBitsPerSecond() const;

    // Whether some process holds the slave side open, as the service thread last saw it.
    bool slaveOpen() const { return m_slaveOpen.load(); }

    // The module stops (true) or resumes reading its line, as a module whose input is full
    // or whose flow control holds the sender: what the window writes piles up in the pty
    // until its writes stall. A hold holds when the call returns: nothing written after it is
    // read.
    void holdReading(bool hold);

    // The module's end goes away for good: the service thread ends and the master is closed,
    // so the window's side sees a hang-up and the slave's node is removed. A published link
    // stays, pointing at the dead device. A module that comes back is a new port. Safe to
    // call twice; not to be called while another thread uses the port.
    void hangUp();

    // Each write the port made to the window, in order (a paced answer shows as several).
    std::vector<std::string> sentWrites() const;
    // Bytes that fell due while no one held the slave open.
    std::size_t droppedBytes() const;
    void clearSentLog();
    // Waits until at least totalBytes have been written to the window since the last clear.
    bool waitForSent(std::size_t totalBytes, std::chrono::milliseconds timeout) const;

    // Ends the service thread; the pty stays until destruction. Safe to call twice.
    void stop();

private:
    using Clock = std::chrono::steady_clock;

    struct Pending
    {
        Pending(Clock::time_point when, std::string data) : due(when), bytes(std::move(data)) {}

        Clock::time_point due;
        std::string bytes;
        std::size_t done = 0;
        bool started = false;
        Clock::time_point start; // first byte on the line (paced sending only)
    };

    void serve();
    void receiveAll(Clock::time_point now);
    bool masterHungUp() const;
    // Writes (or drops) what is due; gives the time the next byte falls due, or max().
    Clock::time_point sendDue(Clock::time_point now);
    bool transmit(Pending &item, std::size_t count);
    // The module's line speed when the window's side must be checked against it, else 0.
    int radioLineBitsPerSecond() const;
    void wake();

    SimulatedModule &m_module;
    int m_master = -1;
    int m_wake = -1;    // eventfd: stop or injected bytes
    int m_inotify = -1; // tells the sleeping thread that the slave was opened
    std::string m_slavePath;

    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_slaveOpen{false};
    std::atomic<bool> m_holdReading{false};
    std::atomic<bool> m_hasRadio{false};

    // Service thread only.
    std::deque<Pending> m_queue;
    Clock::time_point m_lineFree{};
    bool m_blocked = false; // the slave's input is full; wait for room

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_sentChanged;
    // The service thread's turns of its loop, and whether it still runs: a hold waits for the
    // next turn, which asks the pty for input only if no hold is set.
    std::condition_variable m_turned;
    std::uint64_t m_turns = 0;
    bool m_serving = true;
    std::vector<std::string> m_injected;
    RadioSend m_radio;
    std::vector<std::string> m_sent;
    std::size_t m_sentTotal = 0;
    std::size_t m_dropped = 0;
    std::string m_published;
};
