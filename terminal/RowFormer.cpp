#include "terminal/RowFormer.h"

#include "terminal/ReceivedText.h"

#include <algorithm>

namespace terminal {

namespace {

// What begins a row of sent bytes, after its stamp.
constexpr std::string_view SentMark = "> ";

// Appends a hex row of up to HexRowBytes bytes: the digits, padded to a full row, then the bytes
// as characters. Written in one piece: a flood makes a row of every 16 bytes.
void appendHexRow(std::string &text, std::string_view bytes)
{
    constexpr std::size_t Digits = RowFormer::HexRowBytes * 3 - 1;
    char row[Digits + 2 + RowFormer::HexRowBytes];
    std::fill_n(row, Digits + 2, ' ');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        row[i * 3] = "0123456789ABCDEF"[byte >> 4];
        row[i * 3 + 1] = "0123456789ABCDEF"[byte & 15];
        row[Digits + 2 + i] = byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    text.append(row, Digits + 2 + bytes.size());
}

} // namespace

RowFormer::RowFormer(View view, Stamps stamps, std::chrono::milliseconds hexPause)
    : m_view(view), m_stamps(view == View::Received ? Stamps::Off : stamps), m_hexPause(hexPause)
{}

void RowFormer::feed(std::string_view bytes, ArrivalTime arrival)
{
    if (bytes.empty())
        return;
    switch (m_view) {
    case View::Received:
        if (m_line == Line::Sent)
            m_closed += '\n';
        m_line = Line::Received;
        appendReceivedText(m_closed, bytes);
        break;
    case View::Lines:
        endRowUnless(false);
        feedLines(bytes, arrival, false);
        break;
    case View::Hex:
        endRowUnless(false);
        feedHex(bytes, arrival, false);
        break;
    }
}

void RowFormer::feedSent(std::string_view bytes, ArrivalTime arrival)
{
    if (bytes.empty())
        return;
    switch (m_view) {
    case View::Received:
        if (m_line == Line::Received)
            m_closed += '\n';
        if (m_line != Line::Sent)
            m_closed += SentMark;
        m_line = Line::Sent;
        appendReceivedText(m_closed, bytes);
        break;
    case View::Lines:
        endRowUnless(true);
        feedLines(bytes, arrival, true);
        break;
    case View::Hex:
        endRowUnless(true);
        feedHex(bytes, arrival, true);
        break;
    }
}

void RowFormer::feedNote(std::string_view text, ArrivalTime arrival)
{
    if (m_view == View::Received) {
        if (m_line != Line::Empty)
            m_closed += '\n';
        m_line = Line::Empty;
    } else {
        flush();
        openRowAt(arrival);
        m_closed += m_rowStamp;
        m_rowOpen = false;
    }
    m_closed += text;
    m_closed += '\n';
}

void RowFormer::endRowUnless(bool sent)
{
    if (m_rowOpen && m_rowSent != sent)
        closeRow();
}

void RowFormer::feedLines(std::string_view bytes, ArrivalTime arrival, bool sent)
{
    bool &afterCr = sent ? m_sentAfterCr : m_afterCr;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (std::exchange(afterCr, false) && bytes[at] == '\n') {
            ++at;
            continue;
        }
        if (!m_rowOpen)
            openRowAt(arrival, sent);
        const std::size_t end = bytes.find_first_of("\r\n", at);
        m_row.append(bytes.substr(at, end - at));
        if (end == std::string_view::npos)
            return;
        afterCr = bytes[end] == '\r';
        closeRow();
        at = end + 1;
    }
}

void RowFormer::feedHex(std::string_view bytes, ArrivalTime arrival, bool sent)
{
    closeIdle(arrival);
    m_lastArrival = arrival;
    while (!bytes.empty()) {
        if (!m_rowOpen)
            openRowAt(arrival, sent);
        if (m_row.empty() && bytes.size() >= HexRowBytes) {
            // A whole row straight from the batch.
            m_closed += m_rowStamp;
            if (sent)
                m_closed += SentMark;
            appendHexRow(m_closed, bytes.substr(0, HexRowBytes));
            m_closed += '\n';
            m_rowOpen = false;
            bytes.remove_prefix(HexRowBytes);
            continue;
        }
        const std::size_t taken = std::min(HexRowBytes - m_row.size(), bytes.size());
        m_row.append(bytes.substr(0, taken));
        bytes.remove_prefix(taken);
        if (m_row.size() == HexRowBytes)
            closeRow();
    }
}

void RowFormer::closeIdle(ArrivalTime now)
{
    if (m_view == View::Hex && m_rowOpen && m_lastArrival && now - *m_lastArrival >= m_hexPause)
        closeRow();
}

void RowFormer::flush()
{
    if (m_rowOpen)
        closeRow();
}

std::string RowFormer::openRow() const
{
    std::string text;
    appendOpenRow(text);
    return text;
}

void RowFormer::appendOpenRow(std::string &text) const
{
    if (!m_rowOpen)
        return;
    text += m_rowStamp;
    if (m_rowSent)
        text += SentMark;
    if (m_view == View::Hex)
        appendHexRow(text, m_row);
    else
        appendReceivedText(text, m_row);
}

RowFormer::Change RowFormer::takeChange()
{
    Change change;
    change.text = takeClosed();
    if (m_view == View::Received)
        return change;
    if (m_view == View::Hex) {
        change.retract = std::exchange(m_openShown, 0);
        std::string open = openRow();
        m_openShown = open.size();
        change.text += open;
        return change;
    }
    // Lines: the first row closed since is the one partly handed out.
    if (!change.text.empty()) {
        change.text.erase(0, m_openShown);
        m_openShown = 0;
        m_rowBytesShown = 0;
    }
    if (m_rowOpen) {
        const std::size_t before = change.text.size();
        if (m_openShown == 0) {
            change.text += m_rowStamp;
            if (m_rowSent)
                change.text += SentMark;
        }
        appendReceivedText(change.text, std::string_view(m_row).substr(m_rowBytesShown));
        m_openShown += change.text.size() - before;
        m_rowBytesShown = m_row.size();
    }
    return change;
}

void RowFormer::openRowAt(ArrivalTime arrival, bool sent)
{
    m_rowOpen = true;
    m_rowSent = sent;
    // Rows of one batch share its stamp, made once: a flood brings thousands a batch.
    if (m_stamps == Stamps::Absolute && arrival != m_previousStart)
        m_rowStamp = absoluteStamp(arrival) + ' ';
    else if (m_stamps == Stamps::Relative)
        m_rowStamp = relativeStamp(arrival, m_previousStart.value_or(arrival)) + ' ';
    m_previousStart = arrival;
}

void RowFormer::closeRow()
{
    appendOpenRow(m_closed);
    m_closed += '\n';
    m_row.clear();
    m_rowOpen = false;
}

} // namespace terminal
