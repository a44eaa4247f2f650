// One open comm device behind a HANDLE. The port owns the descriptor and its threads:
// - the I/O thread "comm-io" alone reads and writes the descriptor. It poll()s the descriptor
//   and an eventfd doorbell, moves received bytes into the user-space input queue (SetupComm's
//   size or more), sends queued writes, keeps every time-out on a monotonic clock, records comm
//   events and completes pending requests. Without a request, a time-out, a draining output
//   queue or line status to sample, it sleeps until the device or the doorbell wakes it.
// - the modem watcher "comm-modem" (ModemWatcher), only where the device can wait for modem
//   line changes; closing ends its wait with the process-wide real-time signal SIGRTMIN + 4.
// API calls from any thread lock the port state, complete at once where the rules allow, else
// queue the request and ring the doorbell. Completions write the caller's buffer and
// OVERLAPPED under the port lock, so once PurgeComm, SetCommMask or CloseHandle has returned
// the port never touches them again. Closing rings the doorbell, stops both threads and only
// then closes the descriptor; it waits for no time-out and no draining output.
#pragma once

#include "platform/posix/ByteRing.h"
#include "platform/posix/CommDevice.h"
#include "platform/posix/EventObject.h"
#include "platform/posix/HandleTable.h"
#include "platform/posix/InputPace.h"
#include "platform/posix/LineSettings.h"
#include "platform/posix/LineStatus.h"
#include "platform/posix/MarkParser.h"
#include "platform/posix/ModemWatcher.h"
#include "platform/posix/TransmitDrain.h"
#include "platform/win32.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CommPort : public KernelObject
{
public:
    // Opens the device at path exclusively in raw mode (or connects to the port on another
    // machine a path "rfc2217://HOST:PORT" names) and starts its I/O thread; on failure
    // returns empty with the Win32 error in error.
    static std::shared_ptr<CommPort> open(const std::string &path, DWORD access, bool overlapped,
                                          DWORD &error);
    ~CommPort() override;
    CommPort(const CommPort &) = delete;
    CommPort &operator=(const CommPort &) = delete;

    Kind kind() const override { return Kind::Comm; }
    // Ends pending requests with 995, stops the I/O thread and releases the device.
    void onClose() override;

    bool isOverlapped() const { return m_overlapped; }

    // The input queue a SetupComm request for `requested` bytes gets: that size or the
    // layer's own larger default. cbInQue, EV_RX80FULL and the point where the I/O thread
    // stops reading (and the kernel's buffer starts to fill) all follow this size.
    static std::size_t inputQueueCapacity(DWORD requested);
    // How often the I/O threads of all ports have woken so far (for tests: an idle port's
    // thread does not wake).
    static std::uint64_t ioWakeUps();

    // Each returns ERROR_SUCCESS or the Win32 error.
    DWORD setupComm(DWORD inQueue);
    DWORD setState(const DCB &dcb);
    DWORD getState(DCB &dcb);
    DWORD setTimeouts(const COMMTIMEOUTS &timeouts);
    DWORD getTimeouts(COMMTIMEOUTS &timeouts);
    DWORD setMask(DWORD mask);
    DWORD getMask(DWORD &mask);
    DWORD clearError(DWORD &errors, COMSTAT &stat);
    DWORD purge(DWORD flags);
    // FlushFileBuffers: returns once the port's pending writes have completed and the device
    // has sent its output queue, down to an empty transmitter where the driver can tell. A
    // far end that takes nothing gets 1 s plus the line time of what was queued, then 121.
    DWORD flush();
    DWORD modemStatus(DWORD &msBits);
    // EscapeCommFunction: DTR, RTS, break and the XOFF hold (see win32.h).
    DWORD escape(DWORD function);

    // Requests on an OVERLAPPED (the API layer supplies a private one for a synchronous
    // handle): ERROR_SUCCESS when completed at once (read count in done), ERROR_IO_PENDING
    // when the I/O thread will complete it, else the error it failed with.
    DWORD read(void *buffer, DWORD count, OVERLAPPED *overlapped,
               std::shared_ptr<EventObject> event, DWORD &done);
    DWORD write(const void *buffer, DWORD count, OVERLAPPED *overlapped,
                std::shared_ptr<EventObject> event);
    DWORD waitEvent(DWORD *mask, OVERLAPPED *overlapped, std::shared_ptr<EventObject> event);

private:
    using Nanos = std::int64_t;
    static constexpr Nanos kNever = INT64_MAX;

    struct Request
    {
        OVERLAPPED *overlapped = nullptr;
        std::shared_ptr<EventObject> event;
    };
    enum class ReadMode { Immediate, FirstByte, Counted };
    struct ReadRequest : Request
    {
        std::uint8_t *buffer = nullptr;
        DWORD wanted = 0;
        DWORD done = 0;
        ReadMode mode = ReadMode::Counted;
        Nanos totalDeadline = kNever;
        DWORD intervalMs = 0; // longest pause between bytes once the first is in; 0 = none
        Nanos intervalDeadline = kNever;
    };
    struct WriteRequest : Request
    {
        std::vector<std::uint8_t> data;
        std::size_t sent = 0;
        Nanos deadline = kNever;
    };
    struct WaitRequest : Request
    {
        DWORD *mask = nullptr;
    };
    // What the port knows of the line's signals, and when the I/O thread samples them next.
    struct Lines
    {
        bool modemKnown = true;    // the device reports modem lines
        bool countersKnown = true; // the device reports error counters
        DWORD modem = 0;           // the modem input lines as last sampled
        LineCounters counters;     // the error counters as last sampled
        bool dtrOn = true;         // the output lines as last set
        bool rtsOn = true;
        bool breakOn = false;  // a break is being sent: output waits
        bool xoffHeld = false; // output waits as if an XOFF had come
        DWORD heldEvents = 0;  // EV_ERR/EV_BREAK found by the tick, not yet recorded
        Nanos nextTick = kNever;
    };

    CommPort(std::unique_ptr<CommDevice> device, int doorbell, DWORD access, bool overlapped);

    static Nanos now();
    void ringDoorbell();

    // --- with m_mutex held ---
    DWORD usable() const;
    void complete(Request &request, DWORD error, DWORD count);
    void abortReads(DWORD error);
    void abortWrites(DWORD error);
    void endWait(DWORD error, DWORD events);
    void recordEvents(DWORD events);
    std::size_t takeInput(std::uint8_t *out, std::size_t count);
    static bool readFinished(const ReadRequest &read, Nanos at);
    static Nanos intervalDeadline(const ReadRequest &read, Nanos at);
    void feedReads(const std::uint8_t *&data, std::size_t &count, Nanos at);
    void serviceReads(Nanos at);
    void expireRequests(Nanos at);
    void acceptInput(std::uint8_t *data, std::size_t count, Nanos at, DWORD lineEvents);
    std::size_t filterInput(std::uint8_t *data, std::size_t count, DWORD &events);
    DWORD appendInput(const std::uint8_t *data, std::size_t count);
    void noteErrors(DWORD errors);
    void receive(bool hangUp, Nanos at);
    void transmit();
    bool outputDraining();
    void checkTransmitEmpty();
    // Samples counters and modem lines and records what changed; from the tick, line errors
    // are held back one tick for the bytes they came with.
    void sampleLineStatus(bool tick);
    DWORD sampleModemLines(); // each gives the events it found, unrecorded
    DWORD sampleCounters();
    bool modemPolled() const;
    void applyOutputLines();
    void applyDtrHandshake();
    void markDead();
    unsigned deviceQueue();  // the device's output queue; 0 where it cannot tell
    bool dsrHolds() const;   // DSR flow control holds output
    bool outputHeld() const; // for DSR, a break or the XOFF hold
    bool needsTick() const;
    Nanos nextDeadline() const;

    void ioLoop();
    void startModemWatcher();
    ModemWatcher::Wake onModemWake(int status);

    const bool m_overlapped;
    const DWORD m_access;
    const int m_doorbell;

    std::mutex m_mutex;
    std::unique_ptr<CommDevice> m_device; // released only after the I/O thread has ended
    int m_fd;                             // its descriptor; -1 once released
    std::string m_lockFile;               // our UUCP lock; empty when none was taken
    bool m_closing = false;
    bool m_dead = false;
    bool m_lineErrors = true; // the device can report line errors (no pseudo-terminal)
    std::thread m_thread;
    std::unique_ptr<LineStatus> m_lineStatus;

    DCB m_dcb{};
    LineSettings m_settings;
    COMMTIMEOUTS m_timeouts{};
    ByteRing m_input;
    MarkParser m_marks;
    std::vector<std::uint8_t> m_scratch;

    std::deque<ReadRequest> m_reads;
    std::deque<WriteRequest> m_writes;
    std::optional<WaitRequest> m_wait;

    DWORD m_mask = 0;
    DWORD m_remembered = 0;
    DWORD m_errors = 0;     // CE_* since the last ClearCommError
    bool m_aborted = false; // fAbortOnError tripped; cleared by ClearCommError
    TransmitDrain m_drain;

    Lines m_line;
    ModemWatcher m_watcher;  // ended in onClose, before m_lineStatus goes
    Nanos m_gatherUntil = 0; // input is left in the device until then (see receive())
    InputPace m_pace;
    Nanos m_lastWriteAt = 0; // the last WriteFile
};
