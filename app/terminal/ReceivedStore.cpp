#include "app/terminal/ReceivedStore.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// "512 bytes", "12.5 KiB", "64.0 MiB", "1.5 GiB".
std::string amount(std::uint64_t bytes)
{
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
        return text;
    }
    const char *unit = "KiB";
    double value = static_cast<double>(bytes) / 1024;
    for (const char *larger : {"MiB", "GiB"}) {
        if (value < 1024)
            break;
        value /= 1024;
        unit = larger;
    }
    std::snprintf(text, sizeof text, "%.1f %s", value, unit);
    return text;
}

} // namespace

void ReceivedStore::setLimit(std::uint64_t limit)
{
    m_limit = std::max(limit, SmallestLimit);
}

terminal::RowFormer::Change ReceivedStore::feed(Batch &batch, std::string_view bytes)
{
    switch (batch.kind) {
    case Kind::Received:
        m_former.feed(bytes, batch.arrival);
        break;
    case Kind::Sent:
        m_former.feedSent(bytes, batch.arrival);
        break;
    case Kind::Note:
        m_former.feedNote(bytes, batch.arrival);
        break;
    }
    terminal::RowFormer::Change change = m_former.takeChange();
    // A row still open when the batch came is taken back and shown anew: the batch's rows
    // begin where it began.
    batch.textStart = m_textSize - change.retract;
    m_textSize = batch.textStart + change.text.size();
    if (m_view == terminal::View::Received && batch.kind == Kind::Received) {
        const std::uint64_t before = m_marks.size();
        m_marks.append(bytes);
        batch.marks = m_marks.size() - before;
    }
    return change;
}

ReceivedStore::BoxChange ReceivedStore::add(std::string_view bytes, terminal::ArrivalTime arrival)
{
    return addShown(Kind::Received, bytes, arrival);
}

ReceivedStore::BoxChange ReceivedStore::addSent(std::string_view bytes,
                                                terminal::ArrivalTime arrival)
{
    return addShown(Kind::Sent, bytes, arrival);
}

ReceivedStore::BoxChange ReceivedStore::addNote(std::string_view text,
                                                terminal::ArrivalTime arrival)
{
    return addShown(Kind::Note, text, arrival);
}

ReceivedStore::BoxChange ReceivedStore::addShown(Kind kind, std::string_view bytes,
                                                 terminal::ArrivalTime arrival)
{
    BoxChange box;
    if (bytes.empty())
        return box;
    const bool received = kind == Kind::Received;
    Batch batch{nullptr, bytes.size(), arrival, 0, 0, kind};
    if (!received || m_view != terminal::View::Received)
        batch.bytes = std::make_shared<const std::string>(bytes);
    terminal::RowFormer::Change change = feed(batch, bytes);
    box.retract = change.retract;
    box.text = std::move(change.text);
    if (received) {
        m_size += bytes.size();
        m_cost += bytes.size() + BatchCost;
    } else {
        m_cost += BatchCost;
        ++m_shownCount;
    }
    m_batches.push_back(std::move(batch));
    keepWithinLimit(box);
    return box;
}

void ReceivedStore::keepWithinLimit(BoxChange &box)
{
    if (m_cost <= m_limit)
        return;
    // An eighth of the limit goes at once, so that the box gives up its front rarely.
    const std::uint64_t target = m_limit - m_limit / 8;
    while (m_cost > target && m_batches.size() > 1) {
        const Batch &front = m_batches.front();
        if (front.kind == Kind::Received) {
            m_size -= front.size;
            m_cost -= front.size + BatchCost;
            m_dropped += front.size;
        } else {
            m_cost -= BatchCost;
            --m_shownCount;
        }
        m_marks.dropFront(front.marks);
        m_batches.pop_front();
    }
    box.dropFront = keptTextOffset();
    box.note = note();
}

void ReceivedStore::frontDropped(std::uint64_t count)
{
    if (count == 0)
        return;
    m_boxFront += count - m_noteSize;
    m_noteSize = note().size();
}

std::uint64_t ReceivedStore::keptTextOffset() const
{
    return m_batches.empty() ? m_noteSize : m_noteSize + (m_batches.front().textStart - m_boxFront);
}

std::vector<ReceivedStore::Span> ReceivedStore::receivedSpans() const
{
    std::vector<Span> spans;
    if (m_shownCount == 0)
        return spans;
    for (std::size_t i = 0; i < m_batches.size(); ++i) {
        const Batch &batch = m_batches[i];
        if (batch.kind != Kind::Received)
            continue;
        const std::uint64_t end =
            i + 1 < m_batches.size() ? m_batches[i + 1].textStart : m_textSize;
        spans.push_back({m_noteSize + (batch.textStart - m_boxFront), end - batch.textStart});
    }
    return spans;
}

std::string ReceivedStore::receivedOf(std::string_view boxText, std::uint64_t offset,
                                      const std::vector<Span> &spans,
                                      const terminal::ControlMarks &marks)
{
    if (spans.empty())
        return terminal::receivedBytes(
            boxText.substr(std::min<std::uint64_t>(offset, boxText.size())), marks);
    std::string text;
    for (const Span &span : spans) {
        std::string_view piece =
            boxText.substr(std::min<std::uint64_t>(span.start, boxText.size()), span.size);
        // The line end that a received batch after sent bytes begins with is not received:
        // received bytes never end a line in this view.
        if (!piece.empty() && piece.front() == '\n')
            piece.remove_prefix(1);
        text += piece;
    }
    return terminal::receivedBytes(text, marks);
}

void ReceivedStore::recoverBytes(std::string_view boxText)
{
    const std::string bytes = receivedOf(boxText, keptTextOffset(), receivedSpans(), m_marks);
    std::size_t at = 0;
    for (Batch &batch : m_batches) {
        if (batch.kind != Kind::Received)
            continue;
        batch.bytes = std::make_shared<const std::string>(bytes.substr(at, batch.size));
        at += batch.size;
    }
}

std::string ReceivedStore::show(terminal::View view, terminal::Stamps stamps,
                                std::string_view boxText)
{
    if (m_view == terminal::View::Received)
        recoverBytes(boxText);
    m_view = view;
    m_stamps = stamps;
    m_former = terminal::RowFormer(view, stamps);
    m_marks.clear();
    m_textSize = 0;
    m_boxFront = 0;
    std::string text = m_dropped != 0 ? note() : std::string();
    m_noteSize = text.size();
    for (Batch &batch : m_batches) {
        terminal::RowFormer::Change change = feed(batch, *batch.bytes);
        text.resize(text.size() - change.retract);
        text += change.text;
        if (view == terminal::View::Received && batch.kind == Kind::Received)
            batch.bytes.reset();
    }
    return text;
}

void ReceivedStore::clear()
{
    m_batches.clear();
    m_marks.clear();
    m_size = m_cost = m_dropped = m_shownCount = 0;
    m_former = terminal::RowFormer(m_view, m_stamps);
    m_textSize = m_boxFront = m_noteSize = 0;
}

std::function<std::string(std::string_view)> ReceivedStore::bytesSource() const
{
    if (m_view == terminal::View::Received) {
        return [marks = m_marks, offset = keptTextOffset(), spans = receivedSpans()](
                   std::string_view boxText) { return receivedOf(boxText, offset, spans, marks); };
    }
    std::vector<std::shared_ptr<const std::string>> batches;
    batches.reserve(m_batches.size());
    for (const Batch &batch : m_batches) {
        if (batch.kind == Kind::Received)
            batches.push_back(batch.bytes);
    }
    return [batches = std::move(batches), size = m_size](std::string_view) {
        std::string bytes;
        bytes.reserve(size);
        for (const auto &batch : batches)
            bytes += *batch;
        return bytes;
    };
}

std::string ReceivedStore::note() const
{
    return "[" + amount(m_dropped) + " received earlier left the box]\n";
}
