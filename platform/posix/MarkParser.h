// The marks a line discipline puts into received bytes when it checks parity with PARMRK:
// \377\377 stands for one literal \377, \377\0\0 for a break, and \377\0c for a byte c that
// came with a parity or framing error. The parser is fed the received bytes one at a time, in
// order; a mark may be split across reads. Not thread-safe: the port's lock covers it.
#pragma once

#include <cstdint>

class MarkParser
{
public:
    enum class Byte {
        Held,    // part of a mark: no data (yet)
        Data,    // a received byte
        Damaged, // a received byte that came with an error
        Break,   // a break: no data
    };

    Byte feed(std::uint8_t byte);
    // Forgets a mark seen in part: what came before was dropped, or marking was switched.
    void reset() { m_state = State::Plain; }
    // No mark begun: bytes without \377 are all plain data.
    bool idle() const { return m_state == State::Plain; }

private:
    enum class State { Plain, SeenFF, SeenFF00 };
    State m_state = State::Plain;
};
