// The test tab's received bytes, each batch with the time it arrived, kept up to a limit, and
// the text the receive box shows of them in the chosen view and stamps. The box only shows
// text: it is told what to take back from its end, what to append, and when the oldest bytes
// went past the limit, how much of its front to give up for a note saying how much left.
// In the view as received, the box's text is the bytes' own record: the store keeps only each
// batch's size, time and marks, and takes the bytes back from the box's text when it needs them,
// so that the bytes are not held twice. Toolkit-free; UI thread only.
// Bytes the tab sent and lines of the tab's own (notes) may be shown among the received bytes,
// in order with them (RowFormer::feedSent, feedNote); they are kept with the batches to be
// shown again in another view, but they are no received bytes: size(), dropped(), the limit
// and bytesSource() leave them out.
#pragma once

#include "terminal/ReceivedText.h"
#include "terminal/RowFormer.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ReceivedStore
{
public:
    static constexpr std::uint64_t DefaultLimit = std::uint64_t{64} << 20;
    static constexpr std::uint64_t SmallestLimit = std::uint64_t{64} << 10;

    explicit ReceivedStore(std::uint64_t limit = DefaultLimit) { setLimit(limit); }

    std::uint64_t limit() const { return m_limit; }
    // Takes effect with the next batch; at least SmallestLimit.
    void setLimit(std::uint64_t limit);
    terminal::View view() const { return m_view; }
    terminal::Stamps stamps() const { return m_stamps; }

    // What the box does with a batch: takes back retract bytes from its end and appends text,
    // then, when dropFront is not 0, gives up its leading rows within dropFront bytes for
    // note (ReceiveBox::replaceFront) and reports what went with frontDropped().
    struct BoxChange
    {
        std::uint64_t retract = 0;
        std::string text;
        std::uint64_t dropFront = 0;
        std::string note;
    };
    BoxChange add(std::string_view bytes, terminal::ArrivalTime arrival);
    BoxChange addSent(std::string_view bytes, terminal::ArrivalTime arrival);
    BoxChange addNote(std::string_view text, terminal::ArrivalTime arrival);
    void frontDropped(std::uint64_t count);
    // Takes back a change's text once the box has it, for the next batch's text.
    void reuse(BoxChange &&change) { m_former.reuse(std::move(change.text)); }

    // The box's whole text for another view or stamps, over every byte kept: the box is
    // emptied and given this. boxText is the box's text now, the bytes' record in the view as
    // received.
    std::string show(terminal::View view, terminal::Stamps stamps, std::string_view boxText);
    // Forgets every byte (the box was emptied).
    void clear();

    // Received bytes kept, and those that went past the limit since the last clear.
    std::uint64_t size() const { return m_size; }
    std::uint64_t dropped() const { return m_dropped; }
    // The bytes kept, exactly as received, made on the thread that calls the function from
    // the box's text at the same moment; the batches are shared, not copied, until then.
    std::function<std::string(std::string_view boxText)> bytesSource() const;

private:
    // A batch's share of the limit: its bytes and what keeping it costs besides, so that a
    // trickle of tiny batches stays bounded too.
    static constexpr std::uint64_t BatchCost = 64;
    enum class Kind : std::uint8_t { Received, Sent, Note };
    struct Batch
    {
        std::shared_ptr<const std::string> bytes; // none for received ones in that view
        std::uint64_t size;
        terminal::ArrivalTime arrival;
        std::uint64_t textStart; // where its rows begin in the text, counted from the first kept
        std::uint64_t marks;     // its control marks, in the view as received
        Kind kind = Kind::Received;
    };
    // Where a received batch's text lies in the box's text, in the view as received.
    struct Span
    {
        std::uint64_t start;
        std::uint64_t size;
    };
    BoxChange addShown(Kind kind, std::string_view bytes, terminal::ArrivalTime arrival);
    // Drops the oldest batches when the limit is passed.
    void keepWithinLimit(BoxChange &box);
    // The received batches' text, where sent bytes or notes are kept among them.
    std::vector<Span> receivedSpans() const;
    // The received bytes behind the box's text from offset on, leaving out the text outside
    // spans unless they are empty.
    static std::string receivedOf(std::string_view boxText, std::uint64_t offset,
                                  const std::vector<Span> &spans,
                                  const terminal::ControlMarks &marks);
    // Feeds the former and notes where the batch's text begins.
    terminal::RowFormer::Change feed(Batch &batch, std::string_view bytes);
    std::string note() const;
    // Where the kept batches' text begins in the box's text.
    std::uint64_t keptTextOffset() const;
    // Gives each batch its bytes again, from the box's text (the view as received).
    void recoverBytes(std::string_view boxText);

    std::uint64_t m_limit = DefaultLimit;
    terminal::View m_view = terminal::View::Received;
    terminal::Stamps m_stamps = terminal::Stamps::Off;
    terminal::RowFormer m_former{terminal::View::Received};
    std::deque<Batch> m_batches;
    // With the box's text, the bytes kept, in the view as received.
    terminal::ControlMarks m_marks;
    std::uint64_t m_size = 0;
    std::uint64_t m_cost = 0;
    std::uint64_t m_dropped = 0;
    // Sent bytes and notes kept.
    std::uint64_t m_shownCount = 0;
    // The text the rows of the batches made so far, counted from the first batch kept or
    // shown, and the open row at its end that the next change may take back.
    std::uint64_t m_textSize = 0;
    std::uint64_t m_openSize = 0;
    // Where the box's text after the note begins, in the same count, and the note's size.
    std::uint64_t m_boxFront = 0;
    std::uint64_t m_noteSize = 0;
};
