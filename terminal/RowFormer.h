// The rows of one view of received bytes, formed from batches of bytes and the time each batch
// arrived: the caller's clock, read when the bytes were read, never when they are formatted.
//   Received: the display text of ReceivedText.h. No byte ends a row, and the text is final
//     as soon as its bytes are fed.
//   Lines: a received LF, CR or CR LF ends a row (a CR LF split across two batches is one
//     end); the row's other bytes are shown as in the received view.
//   Hex: 16 bytes a row, each as two upper-case hex digits, the digits separated by spaces and
//     padded to the width of 16 bytes, then two spaces and the bytes as characters (32 to 126
//     as themselves, every other byte as '.'). A pause in arrival of at least the hex pause
//     also ends a row, seen at the next batch or at closeIdle.
// With stamps on, a row of the lines and hex views begins with the stamp of its first byte's
// arrival (TimeStamp.h) and a space; the received view has no stamps. The first relative stamp
// is "+0.000".
// Bytes the owner sent and lines of its own (notes) may be shown among the received bytes;
// they never join a received row:
//   A sent row begins, after its stamp, with "> " and is formed as a received one would be; a
//     received row still open ends before it, and the next received byte ends it. In the
//     received view sent bytes begin a line of their own, "> " and their text, and the next
//     received byte begins a new line again: received bytes never end a line there, so the
//     line ends there are all the owner's.
//   A note is a row of its own with the stamp of its time; every open row ends before it.
// What is final is taken with takeClosed: whole rows, each ending in '\n', or in the received
// view the text of every byte fed. The open row is there for a display to show until it
// closes. One thread at a time.
#pragma once

#include "terminal/TimeStamp.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace terminal {

enum class View { Received, Lines, Hex };

class RowFormer
{
public:
    static constexpr std::chrono::milliseconds DefaultHexPause{20};
    static constexpr std::size_t HexRowBytes = 16;

    explicit RowFormer(View view, Stamps stamps = Stamps::Off,
                       std::chrono::milliseconds hexPause = DefaultHexPause);

    void feed(std::string_view bytes, ArrivalTime arrival);
    void feedSent(std::string_view bytes, ArrivalTime arrival);
    void feedNote(std::string_view text, ArrivalTime arrival);
    // Hex view: ends the open row when nothing has arrived for the hex pause by now.
    void closeIdle(ArrivalTime now);
    // Ends the open row, if one is open: the end of a capture.
    void flush();

    // The text that became final since the last call.
    std::string takeClosed() { return std::exchange(m_closed, {}); }
    // Gives back a text taken before, to hold the rows of the next batch: a flood's batch makes
    // hundreds of kilobytes of hex text, and fresh memory for each costs more than forming it.
    void reuse(std::string text)
    {
        if (m_closed.empty() && text.capacity() > m_closed.capacity()) {
            m_closed = std::move(text);
            m_closed.clear();
        }
    }
    // The open row as shown, its stamp included, without a row end; empty when none is open.
    std::string openRow() const;

    // For a display that shows the open row too and only changes at its end: what arrived
    // since the last call, as the bytes to take back from the end (the open row as shown
    // before) and the text to append. The lines view's open row only ever grows, so it is
    // never taken back. Either this or takeClosed, not both.
    struct Change
    {
        std::size_t retract = 0;
        std::string text;
    };
    Change takeChange();

private:
    void feedLines(std::string_view bytes, ArrivalTime arrival, bool sent);
    void feedHex(std::string_view bytes, ArrivalTime arrival, bool sent);
    void openRowAt(ArrivalTime arrival, bool sent = false);
    // Lines and hex views: ends the open row unless it holds what comes next, sent or received.
    void endRowUnless(bool sent);
    void appendOpenRow(std::string &text) const;
    void closeRow();

    View m_view;
    Stamps m_stamps;
    std::chrono::milliseconds m_hexPause;
    std::string m_closed;
    bool m_rowOpen = false;
    std::string m_row;      // the open row's bytes
    std::string m_rowStamp; // the open row's stamp and its space, or nothing
    std::optional<ArrivalTime> m_previousStart;
    std::optional<ArrivalTime> m_lastArrival;
    bool m_afterCr = false;     // a CR ended the last row: an LF next belongs to it
    bool m_sentAfterCr = false; // likewise for the sent bytes
    bool m_rowSent = false;     // the open row holds sent bytes
    // The received view: what the line at the end of the text holds.
    enum class Line { Empty, Received, Sent } m_line = Line::Empty;
    std::size_t m_openShown = 0;     // takeChange: text of the open row handed out
    std::size_t m_rowBytesShown = 0; // takeChange, lines view: the open row's bytes in it
};

} // namespace terminal
