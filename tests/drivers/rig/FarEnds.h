// The host side of the real-driver rig: the far ends of the guest's serial lines and the
// control channel through which the guest's test suite tells them what to do.
//
// Each line is one end of a socket pair whose other end QEMU holds as the chardev of an
// emulated port. A line plays one role at a time: it echoes, swallows, stops reading (the
// sender meets back-pressure), reads at a given line rate, or answers as the simulated
// module, or echoes at a line rate. The control channel carries one text command per line and gets
// one answer line starting with "ok" or "error". QEMU's trace output is fed in so that the guest
// can ask what the emulated hardware saw (register writes, USB control transfers). Single-threaded:
// the rig's poll loop calls everything.
#pragma once

#include "simulator/SimulatedModule.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class FarEnds
{
public:
    using Clock = std::chrono::steady_clock;

    struct Line
    {
        enum class Role { Echo, Sink, Hold, Paced, Module };

        std::string name;
        int fd = -1;
        bool breakEscape = false; // QEMU's mux reads 0x01 as its escape: double it
        Role role = Role::Sink;
        long paceBytesPerSecond = 0;
        Clock::time_point paceStart{};
        std::uint64_t paceTaken = 0;
        std::string received;        // since the role was last set
        std::uint64_t floodLeft = 0; // bytes of floodByte still to send, as fast as taken
        char floodByte = 'U';
        std::unique_ptr<SimulatedModule> module;
        int moduleAnswers = -1; // commands the module still answers; -1: all
        // An echo at a line rate (paceBytesPerSecond > 0): bytes are read no faster than the
        // line carries them and sent back, echoBlock at a time, each at the moment its last
        // bit would arrive over a line of that rate.
        std::size_t echoBlock = 1;
        Clock::time_point readClock{}; // when the line's next byte has fully arrived
        bool echoLineIdle = true;      // the last read took all that was waiting
        std::string echoHeld;          // read, waiting for a whole block
        std::deque<std::pair<Clock::time_point, char>> echoOut;
        Clock::time_point echoFreeAt{}; // when the echo's transmitter is idle again
    };

    // qmpPath: QEMU's monitor socket, through which a USB line is unplugged and plugged.
    FarEnds(int controlFd, std::string qmpPath);
    // name: the word the guest uses for it (S1, U0).
    void addLine(const std::string &name, int fd, bool breakEscape);

    // Descriptors to poll for input, with the bytes each may read now (0 = do not read), and
    // the time the next paced read falls due (max() when none).
    struct Want
    {
        int fd;
        std::size_t bytes;
        bool flood = false; // the line has bytes to send: poll for room
    };
    std::vector<Want> wanted(Clock::time_point now, Clock::time_point &nextDue) const;
    // Reads what one descriptor offers and acts on it. False when the descriptor closed.
    bool readable(int fd, Clock::time_point now);
    // Sends what a flooding line can send now.
    void writable(int fd);
    // Sends the echo bytes whose time has come.
    void sendDue(Clock::time_point now);
    void traceLine(const std::string &line) { m_trace.push_back(line); }

private:
    static Clock::time_point echoLineFrom(const Line &line, Clock::time_point now);
    Line *lineNamed(const std::string &name);
    Line *lineWithFd(int fd);
    void received(Line &line, const std::string &bytes);
    void sendTo(Line &line, const std::string &bytes);
    void command(const std::string &text);
    struct Commands; // what the control channel's commands do
    void answer(const std::string &text);

    int m_control;
    std::string m_qmpPath;
    std::string m_controlInput;
    std::vector<Line> m_lines;
    std::vector<std::string> m_trace;
    std::size_t m_traceMark = 0;
};

// Reads what fd offers into pending and hands over each completed line. False once fd closed.
bool readLines(int fd, std::string &pending, const std::function<void(const std::string &)> &take);
