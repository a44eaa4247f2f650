#include "platform/posix/ByteRing.h"

#include <algorithm>
#include <cstring>

void ByteRing::setCapacity(std::size_t capacity)
{
    m_capacity = capacity;
    reallocate(std::max(capacity, m_size));
}

void ByteRing::reallocate(std::size_t storage)
{
    std::vector<std::uint8_t> fresh(std::max<std::size_t>(storage, 1));
    const std::size_t count = m_size;
    pop(fresh.data(), count);
    m_storage.swap(fresh);
    m_head = 0;
    m_size = count;
}

void ByteRing::push(const std::uint8_t *data, std::size_t count)
{
    if (count == 0)
        return;
    if (m_size + count > m_storage.size())
        reallocate(m_size + count);
    const std::size_t n = m_storage.size();
    const std::size_t tail = (m_head + m_size) % n;
    const std::size_t first = std::min(count, n - tail);
    std::memcpy(m_storage.data() + tail, data, first);
    std::memcpy(m_storage.data(), data + first, count - first);
    m_size += count;
}

std::size_t ByteRing::pop(std::uint8_t *out, std::size_t count)
{
    count = std::min(count, m_size);
    if (count == 0)
        return 0;
    const std::size_t n = m_storage.size();
    const std::size_t first = std::min(count, n - m_head);
    std::memcpy(out, m_storage.data() + m_head, first);
    std::memcpy(out + first, m_storage.data(), count - first);
    m_head = (m_head + count) % n;
    m_size -= count;
    if (m_size == 0)
        m_head = 0;
    return count;
}
