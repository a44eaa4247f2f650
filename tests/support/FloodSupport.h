// Shared by the flood tests and the receive benchmark: a stream of random bytes fed to the
// simulated module's line in 1 MiB pieces (so that neither the test nor the simulator holds
// the whole flood), a watch of the process's resident memory, and a meter of how long the UI
// thread went without serving its event loop.
// The feeder and the memory watch run threads of their own; everything else is UI thread.
#pragma once

#include "simulator/SimulatorPort.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Under a sanitizer the resident size counts its shadow and held-back memory, so the live
// heap is measured instead; from the sanitizer's runtime (its header is not installed with
// every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

constexpr std::size_t MiB = 1024 * 1024;

// Size of the floods: ZEPHRA_FLOOD_MIB MiB, else fallbackMiB.
inline std::size_t floodBytes(std::size_t fallbackMiB)
{
    const char *text = std::getenv("ZEPHRA_FLOOD_MIB");
    const unsigned long mib = text ? std::strtoul(text, nullptr, 10) : 0;
    return (mib > 0 ? mib : fallbackMiB) * MiB;
}

// Piece number index of the flood with this seed: the same bytes every time it is asked for.
// Eight bytes per draw: the far end must cost little beside what it feeds.
inline std::string noisePiece(unsigned seed, std::size_t index, std::size_t size)
{
    std::mt19937_64 random(seed * 7919u + static_cast<unsigned>(index));
    std::string bytes(size, '\0');
    for (std::size_t at = 0; at < size; at += sizeof(std::uint64_t)) {
        const std::uint64_t draw = random();
        std::memcpy(bytes.data() + at, &draw, std::min(sizeof draw, size - at));
    }
    return bytes;
}

// Random noise on the setup tab is often taken for a reply: a character that is no hex digit
// reads as 0, so a text of reply length full of such characters decodes to zeros with a
// matching checksum. This makes a piece of noise hold no text of reply length at all: the
// piece starts with STX (so that it does not depend on the piece before), and every CR that
// would end a text of 11 or 23 characters since the last STX becomes a "Z". STX and CR stay
// plentiful, so the assembler still restarts and hands on short and long texts all the time.
inline void removeReplyLengths(std::string &piece)
{
    if (piece.empty())
        return;
    piece[0] = '\x02';
    std::size_t length = 0;
    for (char &byte : piece) {
        if (byte == '\x02') {
            length = 1;
            continue;
        }
        ++length;
        if (byte == '\r' && (length == 11 || length == 23))
            byte = 'Z';
    }
}

// The other kind of line noise for the setup tab: no STX at all, so that nothing ever
// restarts a reply and every byte since the last one belongs to one endless text. The first
// 24 bytes of a piece hold no CR either, so that no text of reply length can end there.
inline void removeStx(std::string &piece)
{
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (piece[i] == '\x02' || (i < 24 && piece[i] == '\r'))
            piece[i] = 'Z';
    }
}

// Writes total bytes of noise to the window through the simulator, one piece at a time: the
// next piece is handed over once the last one has gone into the pty. The simulator's log of
// sent bytes is cleared per piece, so it never holds more than one piece either. shape, when
// given, edits each piece before it is sent; more, when given, keeps whole pieces coming after
// the total for as long as it holds (it is asked on the feeder's thread).
class NoiseFeeder
{
public:
    static constexpr std::size_t PieceSize = MiB;
    using Shape = void (*)(std::string &piece);

    NoiseFeeder(SimulatorPort &port, std::size_t total, unsigned seed, Shape shape = nullptr,
                std::function<bool()> more = {})
        : m_shape(shape), m_more(std::move(more)),
          m_thread([this, &port, total, seed] { feed(port, total, seed); })
    {}
    ~NoiseFeeder()
    {
        m_stop = true;
        m_thread.join();
    }
    NoiseFeeder(const NoiseFeeder &) = delete;
    NoiseFeeder &operator=(const NoiseFeeder &) = delete;

    // Every byte has been written to the window's side of the line.
    bool finished() const { return m_finished; }
    std::size_t sent() const { return m_sent; }

private:
    void feed(SimulatorPort &port, std::size_t total, unsigned seed)
    {
        std::string piece = makePiece(seed, 0, total);
        for (std::size_t index = 0; !piece.empty(); ++index) {
            const std::size_t size = piece.size();
            port.clearSentLog();
            port.inject(std::move(piece));
            piece = makePiece(seed, index + 1, total);
            while (!port.waitForSent(size, std::chrono::milliseconds(20)))
                if (m_stop)
                    return;
            m_sent += size;
        }
        m_finished = true;
    }

    std::string makePiece(unsigned seed, std::size_t index, std::size_t total) const
    {
        const std::size_t at = index * PieceSize;
        if (at >= total && !(m_more && m_more()))
            return {};
        std::string piece =
            noisePiece(seed, index, at < total ? std::min(PieceSize, total - at) : PieceSize);
        if (m_shape)
            m_shape(piece);
        return piece;
    }

    Shape m_shape;
    std::function<bool()> m_more;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_finished{false};
    std::atomic<std::size_t> m_sent{0};
    std::thread m_thread;
};

// Memory of this process, sampled every few milliseconds from the moment the watch is made;
// growth() is the highest sample less the first. The sample is the resident memory, except
// under AddressSanitizer, which keeps freed blocks in quarantine for a while: there it is
// what the program holds allocated.
class MemoryWatch
{
public:
    MemoryWatch()
        : m_baseline(sample()), m_peak(m_baseline), m_thread([this] {
              while (!m_stop) {
                  const std::size_t now = sample();
                  std::size_t peak = m_peak;
                  while (now > peak && !m_peak.compare_exchange_weak(peak, now)) {
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
          })
    {}
    ~MemoryWatch()
    {
        m_stop = true;
        m_thread.join();
    }
    MemoryWatch(const MemoryWatch &) = delete;
    MemoryWatch &operator=(const MemoryWatch &) = delete;

    std::size_t growth() const { return m_peak > m_baseline ? m_peak - m_baseline : 0; }

    static std::size_t sample()
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        return __sanitizer_get_current_allocated_bytes();
#else
        return residentBytes();
#endif
    }

    static std::size_t residentBytes()
    {
        std::ifstream status("/proc/self/status");
        std::string key;
        std::size_t kib = 0;
        while (status >> key) {
            if (key == "VmRSS:") {
                status >> kib;
                break;
            }
            status.ignore(1 << 16, '\n');
        }
        return kib * 1024;
    }

private:
    std::size_t m_baseline;
    std::atomic<std::size_t> m_peak;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A timer that asks the UI thread's event loop for a tick every 2 ms and keeps the longest
// time between two ticks: how long the window could not have reacted to the user.
class UiStallMeter
{
public:
    UiStallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestNs = std::max(m_longestNs, m_sinceTick.nsecsElapsed());
            m_sinceTick.restart();
            ++m_ticks;
        });
        m_sinceTick.start();
        m_timer.start();
    }

    double longestStallMs() const { return static_cast<double>(m_longestNs) / 1e6; }
    long ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestNs = 0;
    long m_ticks = 0;
};
