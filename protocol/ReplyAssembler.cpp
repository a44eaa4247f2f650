#include "protocol/ReplyAssembler.h"

#include <limits>

void ReplyAssembler::feed(std::string_view bytes, const ReplyHandler &onReply)
{
    for (char c : bytes) {
        if (c == frame::Stx) {
            m_kept[0] = c;
            m_length = 1;
            continue;
        }
        if (m_length < MaxKept)
            m_kept[m_length] = c;
        // Saturating, so that even an endless run of noise keeps the text "too long".
        if (m_length < std::numeric_limits<std::size_t>::max())
            ++m_length;
        if (c == frame::Cr && m_length <= MaxKept) {
            // A copy: the handler may feed more bytes and so rewrite the buffer.
            const std::array<char, MaxKept> reply = m_kept;
            onReply(std::string_view(reply.data(), m_length));
        }
    }
}

std::string_view ReplyAssembler::pending() const
{
    return m_length <= MaxKept ? std::string_view(m_kept.data(), m_length) : std::string_view();
}
