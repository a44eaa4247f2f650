// Collects the bytes the setup tab receives into module replies. The buffer holds what came
// since the last STX: an STX restarts it with that STX alone, a CR hands the whole buffer
// (from the last STX up to and including the CR) to the caller and leaves it as it is, and
// every other byte (digits, ETX, the LF after a CR, noise) only accumulates. Bytes before
// the first STX accumulate the same way.
//
// The buffer is bounded: it keeps at most MaxKept bytes and otherwise only counts. No text
// longer than a firmware-code reply (23 bytes) can be accepted, so a CR that ends a longer
// text is dropped here instead of being handed on to be rejected for its length; every
// text that could be accepted is handed on exactly as received. A line that never sends
// STX therefore costs no memory.
//
// Owned by the main window; fed on the UI thread by the receive handler.
#pragma once

#include "protocol/FrameCodec.h"

#include <array>
#include <cstddef>
#include <functional>
#include <string_view>

class ReplyAssembler
{
public:
    // The longest text handed on: the longest reply the module can send.
    static constexpr std::size_t MaxKept = frame::FirmwareReplyLength;

    using ReplyHandler = std::function<void(std::string_view reply)>;

    // Takes the received bytes in order and calls onReply at each CR whose text could be a
    // reply, in order, before the bytes after that CR are taken. onReply may feed this
    // assembler again (its view stays valid).
    void feed(std::string_view bytes, const ReplyHandler &onReply);

    // Bytes received since the last STX (or since the start); counts on past MaxKept.
    std::size_t pendingLength() const { return m_length; }

    // The bytes since the last STX while they are no more than MaxKept.
    std::string_view pending() const;

private:
    std::array<char, MaxKept> m_kept{};
    std::size_t m_length = 0;
};
