#include "framework/core/WrappedText.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

WrappedText::WrappedText(int columns) : m_columns(std::max(columns, 1)) {}

#ifdef _WIN32
namespace {

// The C library here has no memrchr.
const void *memrchr(const void *bytes, int byte, std::size_t count)
{
    const auto *p = static_cast<const unsigned char *>(bytes) + count;
    while (count-- > 0) {
        if (*--p == static_cast<unsigned char>(byte))
            return p;
    }
    return nullptr;
}

} // namespace

void WrappedText::ChunkFree::operator()(char *chunk) const
{
    VirtualFree(chunk, 0, MEM_RELEASE);
}

WrappedText::Chunk WrappedText::newChunk()
{
    // Whole pages straight from the system, committed as they are first written.
    void *memory = VirtualAlloc(nullptr, ChunkSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (memory == nullptr)
        throw std::bad_alloc();
    return Chunk(static_cast<char *>(memory), ChunkFree());
}
#else
void WrappedText::ChunkFree::operator()(char *chunk) const
{
    std::free(chunk);
}

WrappedText::Chunk WrappedText::newChunk()
{
    // A flood fills a chunk within milliseconds; as small pages it would take 512 page
    // faults, as one huge page one. Aligned to its size so that a huge page can back it.
    void *memory = std::aligned_alloc(ChunkSize, ChunkSize);
    if (memory == nullptr)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(memory, ChunkSize, MADV_HUGEPAGE); // only a hint: small pages work as well
#endif
    return Chunk(static_cast<char *>(memory), ChunkFree());
}
#endif

void WrappedText::append(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::uint64_t inChunk = m_size & (ChunkSize - 1);
        if (inChunk == 0 && (m_size >> ChunkBits) == m_chunks.size())
            m_chunks.push_back(newChunk());
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), ChunkSize - inChunk));
        std::memcpy(m_chunks[m_size >> ChunkBits].get() + inChunk, bytes.data(), piece);
        m_size += piece;
        bytes.remove_prefix(piece);
    }
    wrapNewRows();
}

void WrappedText::clear()
{
    m_chunks.clear();
    m_size = 0;
    m_rowStarts.assign(1, 0);
    m_blankScan = 0;
}

void WrappedText::setColumns(int columns)
{
    columns = std::max(columns, 1);
    if (columns == m_columns)
        return;
    m_columns = columns;
    m_rowStarts.assign(1, 0);
    m_blankScan = 0;
    wrapNewRows();
}

std::string WrappedText::slice(std::uint64_t from, std::uint64_t to) const
{
    return slice(m_chunks, m_size, from, to);
}

WrappedText::Snapshot WrappedText::snapshot() const
{
    Snapshot snapshot;
    snapshot.m_chunks = m_chunks;
    snapshot.m_size = m_size;
    return snapshot;
}

std::string WrappedText::Snapshot::slice(std::uint64_t from, std::uint64_t to) const
{
    return WrappedText::slice(m_chunks, m_size, from, to);
}

std::string WrappedText::slice(const std::vector<Chunk> &chunks, std::uint64_t size,
                               std::uint64_t from, std::uint64_t to)
{
    to = std::min(to, size);
    std::string out;
    if (from >= to)
        return out;
    out.reserve(static_cast<std::size_t>(to - from));
    while (from < to) {
        const std::uint64_t inChunk = from & (ChunkSize - 1);
        const std::uint64_t piece = std::min(to - from, ChunkSize - inChunk);
        out.append(chunks[from >> ChunkBits].get() + inChunk, static_cast<std::size_t>(piece));
        from += piece;
    }
    return out;
}

std::uint64_t WrappedText::rowEnd(std::uint64_t row) const
{
    const std::uint64_t next = row + 1 < m_rowStarts.size() ? m_rowStarts[row + 1] : m_size;
    return std::min(next, m_rowStarts[row] + static_cast<std::uint64_t>(m_columns));
}

std::uint64_t WrappedText::rowOf(std::uint64_t offset) const
{
    const auto after = std::upper_bound(m_rowStarts.begin(), m_rowStarts.end(), offset);
    return static_cast<std::uint64_t>(after - m_rowStarts.begin()) - 1;
}

std::size_t WrappedText::memoryUsed() const
{
    return m_chunks.size() * ChunkSize + m_rowStarts.size() * sizeof(std::uint64_t);
}

std::uint64_t WrappedText::lastBlankBefore(std::uint64_t from, std::uint64_t to) const
{
    // Chunk by chunk from the end; memrchr reads many bytes per step.
    while (to > from) {
        const std::uint64_t pieceStart = std::max(from, (to - 1) & ~(ChunkSize - 1));
        const char *base = m_chunks[pieceStart >> ChunkBits].get() + (pieceStart & (ChunkSize - 1));
        const void *blank = memrchr(base, ' ', static_cast<std::size_t>(to - pieceStart));
        if (blank != nullptr)
            return pieceStart + static_cast<std::uint64_t>(static_cast<const char *>(blank) - base);
        to = pieceStart;
    }
    return NoBlank;
}

void WrappedText::wrapNewRows()
{
    const auto width = static_cast<std::uint64_t>(m_columns);
    for (;;) {
        const std::uint64_t start = m_rowStarts.back();
        // The row still has room, or is exactly full and the next character decides.
        if (m_size - start <= width)
            return;
        const std::uint64_t edge = start + width;
        std::uint64_t next;
        if (at(edge) == ' ') {
            // Blanks at the edge hang there; the next row begins after the whole run, which
            // is known only once something else follows it.
            std::uint64_t scan = std::max(edge, m_blankScan);
            while (scan < m_size && at(scan) == ' ')
                ++scan;
            if (scan == m_size) {
                m_blankScan = scan;
                return;
            }
            next = scan;
        } else {
            // Break after the last blank that fits; with none, cut the word at the edge.
            const std::uint64_t blank = lastBlankBefore(start, edge);
            next = blank == NoBlank ? edge : blank + 1;
        }
        m_rowStarts.push_back(next);
        m_blankScan = 0;
    }
}
