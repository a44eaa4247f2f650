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
    m_former.feed(bytes, batch.arrival);
    terminal::RowFormer::Change change = m_former.takeChange();
    // A row still open when the batch came is taken back and shown anew: the batch's rows
    // begin where it began.
    batch.textStart = m_textSize - change.retract;
    m_textSize = batch.textStart + change.text.size();
    if (m_view == terminal::View::Received) {
        const std::uint64_t before = m_marks.size();
        m_marks.append(bytes);
        batch.marks = m_marks.size() - before;
    }
    return change;
}

ReceivedStore::BoxChange ReceivedStore::add(std::string_view bytes, terminal::ArrivalTime arrival)
{
    BoxChange box;
    if (bytes.empty())
        return box;
    Batch batch{nullptr, bytes.size(), arrival, 0, 0};
    if (m_view != terminal::View::Received)
        batch.bytes = std::make_shared<const std::string>(bytes);
    terminal::RowFormer::Change change = feed(batch, bytes);
    box.retract = change.retract;
    box.text = std::move(change.text);
    m_size += bytes.size();
    m_cost += bytes.size() + BatchCost;
    m_batches.push_back(std::move(batch));
    if (m_cost <= m_limit)
        return box;
    // An eighth of the limit goes at once, so that the box gives up its front rarely.
    const std::uint64_t target = m_limit - m_limit / 8;
    while (m_cost > target && m_batches.size() > 1) {
        const Batch &front = m_batches.front();
        m_size -= front.size;
        m_cost -= front.size + BatchCost;
        m_dropped += front.size;
        m_marks.dropFront(front.marks);
        m_batches.pop_front();
    }
    box.dropFront = keptTextOffset();
    box.note = note();
    return box;
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

void ReceivedStore::recoverBytes(std::string_view boxText)
{
    const std::string bytes = receivedBytes(
        boxText.substr(std::min<std::uint64_t>(keptTextOffset(), boxText.size())), m_marks);
    std::size_t at = 0;
    for (Batch &batch : m_batches) {
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
        if (view == terminal::View::Received)
            batch.bytes.reset();
    }
    return text;
}

void ReceivedStore::clear()
{
    m_batches.clear();
    m_marks.clear();
    m_size = m_cost = m_dropped = 0;
    m_former = terminal::RowFormer(m_view, m_stamps);
    m_textSize = m_boxFront = m_noteSize = 0;
}

std::function<std::string(std::string_view)> ReceivedStore::bytesSource() const
{
    if (m_view == terminal::View::Received) {
        return [marks = m_marks, offset = keptTextOffset()](std::string_view boxText) {
            return receivedBytes(boxText.substr(std::min<std::uint64_t>(offset, boxText.size())),
                                 marks);
        };
    }
    std::vector<std::shared_ptr<const std::string>> batches;
    batches.reserve(m_batches.size());
    for (const Batch &batch : m_batches)
        batches.push_back(batch.bytes);
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
