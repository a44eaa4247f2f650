#include "platform/posix/MarkParser.h"

MarkParser::Byte MarkParser::feed(std::uint8_t byte)
{
    switch (m_state) {
    case State::Plain:
        if (byte == 0xFF) {
            m_state = State::SeenFF;
            return Byte::Held;
        }
        return Byte::Data;
    case State::SeenFF:
        if (byte == 0x00) {
            m_state = State::SeenFF00;
            return Byte::Held;
        }
        m_state = State::Plain;
        return Byte::Data; // \377\377: one literal \377
    case State::SeenFF00:
        m_state = State::Plain;
        return byte == 0x00 ? Byte::Break : Byte::Damaged;
    }
    return Byte::Data;
}
