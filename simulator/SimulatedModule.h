// Model of one ZEPHRA-24 module as the window meets it on its serial line: the seven settings
// plus the unused second receiver ID, the 14-character firmware code, the slide switch, and
// faults that a test can switch on to play a misbehaving module or line.
//
// The model does no I/O: receive() takes the bytes the window sent and returns what the
// module sends back and when; SimulatorPort carries both over a pseudo-terminal. Every
// public function may be called from any thread (one internal lock); the port's thread
// calls receive() while tests change settings and faults and read the log.
//
// Behaviour of the module:
//  - SETUP position: a frame starts at STX (anything before it is ignored) and ends at LF
//    or after 12 bytes. Only an exact 12-byte frame with hex digits, ETX, CR, LF and a
//    matching checksum is a command; any other frame is logged as rejected and not answered,
//    so the window sees a time-out. Operation 00 reads, 01 writes; other operations and
//    codes above 08 are not answered.
//  - A read of codes 00-07 answers with a setting reply (operation byte 00) carrying the
//    stored value; a read of 08 answers with the firmware-code reply (header bytes 00 08).
//  - A write of codes 00-07 stores the value when it is in the setting's range and answers
//    with a setting reply (operation byte 01) carrying the value now stored: an
//    out-of-range write leaves the setting unchanged and reports the old value. Code 08 is
//    read-only and a write to it is not answered. Faults change only the answer: a write
//    is stored even when its answer is lost or damaged.
//  - Every reply ends with CR LF.
//  - RUN position: every byte received is sent straight back, as a remote partner echoing
//    over the radio would; no frames are parsed. A module with a radio (RadioAir) turns the
//    echo off: its radio carries the bytes instead.
#pragma once

#include "link/ModuleModel.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a misbehaving module or line does to replies. All off by default.
struct SimulatorFaults
{
    // Time from the command's last byte to the reply's first byte.
    std::chrono::milliseconds replyDelay{0};
    // Commands are logged but never answered (writes are still stored).
    bool silent = false;
    // Writes are not stored: each is acknowledged with the value the module still holds, as
    // a module that keeps a setting locked.
    bool ignoreWrites = false;
    // The reply's checksum pair is wrong (lowest bit of the checksum flipped).
    bool badChecksum = false;
    // Negative: that many characters are left out before ETX; positive: that many '0'
    // characters are added before ETX. The checksum is left as the true reply has it.
    int lengthChange = 0;
    // Every command is answered with a setting reply for code 06 (the stored 06 value,
    // correct checksum) instead of its own reply.
    bool answerCode06 = false;
    // Bytes sent right before each reply's STX.
    std::string noise{};
    // Offsets at which each write is cut into separately written pieces, splitGap apart.
    std::vector<std::size_t> splitAt{};
    std::chrono::milliseconds splitGap{0};
    // Replies are held back until this many are ready and then sent in one write.
    int repliesPerWrite = 1;
    // Line speed for every byte the module sends, 10 bits per byte (9600: about 1.04 ms
    // per byte); 0 sends at once. Carried out by SimulatorPort.
    int paceBps = 0;
    // When set, the reply faults above (delay, silence, ignored writes, checksum, length,
    // code 06, noise, split) touch only commands for this setting code; repliesPerWrite and
    // paceBps always apply to everything.
    std::optional<std::uint8_t> onlyCode{};
};

class SimulatedModule
{
public:
    enum class SlideSwitch { Setup, Run };

    // Bytes to send, due this long after the bytes that caused them were received.
    struct Transmission
    {
        std::chrono::milliseconds after{0};
        std::string bytes;
    };

    // One frame as received (STX up to LF or 12 bytes), and whether it was a valid command.
    struct ReceivedFrame
    {
        std::string bytes;
        bool accepted = false;
    };

    static constexpr std::uint8_t CodeBaudrate = 0x00;
    static constexpr std::uint8_t CodeRfMode = 0x01;
    static constexpr std::uint8_t CodeRfDataRate = 0x02;
    static constexpr std::uint8_t CodeRfGain = 0x03;
    static constexpr std::uint8_t CodeRfChannel = 0x04;
    static constexpr std::uint8_t CodeRxId = 0x05;
    static constexpr std::uint8_t CodeRx2Id = 0x06;
    static constexpr std::uint8_t CodeTxId = 0x07;
    static constexpr std::uint8_t CodeFirmware = 0x08;

    static constexpr const char *DefaultFirmwareCode = "ZEPHRA24 V1.0A";

    SimulatedModule();
    explicit SimulatedModule(std::string firmwareCode);

    // Stored value of setting code 00-07.
    std::uint8_t setting(std::uint8_t code) const;
    // All of them, indexed by code.
    radio::ModuleSettings settings() const;
    // Stores any byte for code 00-07 without a range check, so that a test can make the
    // module report values the window must treat as out of range. Other codes are ignored.
    void setSetting(std::uint8_t code, std::uint8_t value);
    // Factory values: 9600 BPS (3), auto direction (2), 1 Mbps (1), +0 dBm (3), channel 0,
    // IDs 0.
    void resetSettings();
    // Whether a write of value to code would be stored.
    static bool inRange(std::uint8_t code, std::uint8_t value);

    std::string firmwareCode() const;
    // Any text; a length other than 14 gives replies the window rejects.
    void setFirmwareCode(std::string code);

    SlideSwitch slideSwitch() const;
    // Moving the switch drops a partly received frame.
    void setSlideSwitch(SlideSwitch position);

    // Whether bytes received at RUN are sent straight back (the default).
    void setEchoAtRun(bool echo);

    SimulatorFaults faults() const;
    void setFaults(SimulatorFaults faults);
    void clearFaults();

    // Feeds bytes received from the window; gives what the module sends in return, in order.
    std::vector<Transmission> receive(std::string_view bytes);

    // Log of what the window sent.
    std::vector<ReceivedFrame> receivedFrames() const;
    std::string runBytes() const;
    void clearLog();
    // Wait until the log holds at least count frames (or RUN bytes); false on time-out.
    bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForRunBytes(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    void finishFrame(std::vector<Transmission> &out);
    void answer(std::string_view frame, std::vector<Transmission> &out);
    void damage(std::string &reply) const;
    void sendReply(std::string reply, bool faulty, std::vector<Transmission> &out);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_logged;
    radio::ModuleSettings m_settings{};
    std::string m_firmwareCode;
    SlideSwitch m_switch = SlideSwitch::Setup;
    bool m_echoAtRun = true;
    SimulatorFaults m_faults;
    std::string m_frame; // frame being received; empty while waiting for STX
    std::vector<std::string> m_heldReplies;
    std::vector<ReceivedFrame> m_frames;
    std::string m_runBytes;
};
