#include "terminal/RowFormer.h"

#include "framework/core/HexPair.h"
#include "terminal/ReceivedText.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace terminal {

namespace {

// What begins a row of sent bytes, after its stamp.
constexpr std::string_view SentMark = "> ";

// A hex row's digits: two a byte, a blank between bytes.
constexpr std::size_t Digits = RowFormer::HexRowBytes * 3 - 1;
// A hex row's text without its stamp, mark and line end.
constexpr std::size_t HexRowText = Digits + 2 + RowFormer::HexRowBytes;
// The longest stamp with its space ("hh:mm:ss.mmm " or the time since the row before).
constexpr std::size_t MaxStampText = 24;

// Appends a hex row of up to HexRowBytes bytes, the open row's: the digits, padded to a full
// row, then the bytes as characters.
void appendHexRow(std::string &text, std::string_view bytes)
{
    char row[HexRowText];
    std::fill_n(row, Digits + 2, ' ');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        row[i * 3] = hexDigit(byte >> 4);
        row[i * 3 + 1] = hexDigit(byte);
        row[Digits + 2 + i] = Forms.hexColumn[byte];
    }
    text.append(row, Digits + 2 + bytes.size());
}

// Each byte's two digits and two blanks: written four at a time, each byte's cell overwrites the
// last blank of the cell before, and the last cell leaves the two blanks before the characters.
constexpr auto HexCells = [] {
    std::array<std::array<char, 4>, 256> cells{};
    for (unsigned byte = 0; byte < 256; ++byte)
        cells[byte] = {hexDigit(byte >> 4), hexDigit(byte), ' ', ' '};
    return cells;
}();

// Appends whole hex rows of the same stamp and mark, each with its line end. Each row is made
// in a small buffer and appended in one piece, so that the text is written once.
void appendWholeHexRows(std::string &text, std::string_view lead, std::string_view bytes)
{
    constexpr std::size_t Row = RowFormer::HexRowBytes;
    std::string row(lead);
    row.resize(lead.size() + HexRowText + 1);
    char *const out = row.data() + lead.size();
    out[HexRowText] = '\n';
    const auto *in = reinterpret_cast<const unsigned char *>(bytes.data());
    for (const auto *end = in + bytes.size() / Row * Row; in != end; in += Row) {
        for (std::size_t i = 0; i < Row; ++i) {
            std::memcpy(out + i * 3, HexCells[in[i]].data(), 4);
            out[Digits + 2 + i] = Forms.hexColumn[in[i]];
        }
        text += row;
    }
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
    // Room for every row the batch makes, stamps and the open row included, at once: growing
    // the text piece by piece would copy a flood's rows again and again.
    constexpr std::size_t RowRoom = HexRowText + MaxStampText + SentMark.size() + 1;
    m_closed.reserve(m_closed.size() + (bytes.size() / HexRowBytes + 2) * RowRoom);
    while (!bytes.empty()) {
        if (!m_rowOpen)
            openRowAt(arrival, sent);
        if (m_row.empty() && bytes.size() >= HexRowBytes) {
            // Whole rows straight from the batch: the first with the open row's stamp, the rest
            // with the stamp of a row opened at the same arrival.
            std::string lead = m_rowStamp + std::string(sent ? SentMark : "");
            appendWholeHexRows(m_closed, lead, bytes.substr(0, HexRowBytes));
            bytes.remove_prefix(HexRowBytes);
            m_rowOpen = false;
            if (bytes.size() >= HexRowBytes) {
                openRowAt(arrival, sent);
                lead = m_rowStamp + std::string(sent ? SentMark : "");
                const std::size_t whole = bytes.size() - bytes.size() % HexRowBytes;
                appendWholeHexRows(m_closed, lead, bytes.substr(0, whole));
                bytes.remove_prefix(whole);
                m_rowOpen = false;
            }
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
