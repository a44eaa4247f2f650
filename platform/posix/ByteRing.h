// A port's user-space input queue: a circular byte buffer with a capacity the port sets.
// The capacity is a limit for the I/O thread (it stops reading at it), not a hard bound:
// push() grows the storage when asked to take more. Not thread-safe; the port's lock guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class ByteRing
{
public:
    explicit ByteRing(std::size_t capacity = 4096) { setCapacity(capacity); }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    std::size_t capacity() const { return m_capacity; }
    std::size_t room() const { return m_size < m_capacity ? m_capacity - m_size : 0; }

    // Keeps the queued bytes, also when there are more than the new capacity.
    void setCapacity(std::size_t capacity);
    void push(const std::uint8_t *data, std::size_t count);
    std::size_t pop(std::uint8_t *out, std::size_t count);
    void clear()
    {
        m_head = 0;
        m_size = 0;
    }

private:
    void reallocate(std::size_t storage);

    std::vector<std::uint8_t> m_storage;
    std::size_t m_head = 0;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};
