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

WrappedText::WrappedText(int columns, bool lineEnds)
    : m_columns(std::max(columns, 1)), m_lineEnds(lineEnds)
{}

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
    write(m_skip + m_size, bytes, false);
    m_size += bytes.size();
    wrapNewRows();
}

void WrappedText::write(std::uint64_t at, std::string_view bytes, bool copyShared)
{
    while (!bytes.empty()) {
        const std::uint64_t inChunk = at & (ChunkSize - 1);
        const auto index = static_cast<std::size_t>(at >> ChunkBits);
        while (index >= m_chunks.size())
            m_chunks.push_back(newChunk());
        if (copyShared)
            unshare(index);
        const std::size_t piece =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), ChunkSize - inChunk));
        std::memcpy(m_chunks[index].get() + inChunk, bytes.data(), piece);
        at += piece;
        bytes.remove_prefix(piece);
    }
}

void WrappedText::unshare(std::size_t index)
{
    // A snapshot reads its own bytes on another thread: the text writes into a copy.
    if (m_chunks[index].use_count() > 1) {
        Chunk copy = newChunk();
        std::memcpy(copy.get(), m_chunks[index].get(), ChunkSize);
        m_chunks[index] = std::move(copy);
    }
}

void WrappedText::truncate(std::uint64_t size)
{
    if (size >= m_size)
        return;
    m_size = size;
    // Chunks past the end go; appending writes into the last one again.
    const std::uint64_t end = m_skip + m_size;
    m_chunks.resize(static_cast<std::size_t>((end + ChunkSize - 1) >> ChunkBits));
    if ((end & (ChunkSize - 1)) != 0)
        unshare(m_chunks.size() - 1);
    // A break stays where the bytes that decided it are all still there; the rest rewrap.
    const auto width = static_cast<std::uint64_t>(m_columns);
    while (m_rowStarts.size() > 1) {
        const std::uint64_t last = m_rowStarts.back();
        if (last < size && m_rowStarts[m_rowStarts.size() - 2] + width < size)
            break;
        m_rowStarts.pop_back();
    }
    m_blankScan = 0;
    forgetLineEnd();
    wrapNewRows();
}

std::uint64_t WrappedText::replaceFront(std::uint64_t count, std::string_view prefix)
{
    auto kept = std::upper_bound(m_rowStarts.begin(), m_rowStarts.end(), std::min(count, m_size));
    --kept;
    const std::uint64_t cut = *kept;
    if (cut < prefix.size())
        return 0;
    const std::uint64_t shift = cut - prefix.size();
    WrappedText head(m_columns, true);
    head.append(prefix);
    m_rowStarts.erase(m_rowStarts.begin(), kept);
    for (std::uint64_t &start : m_rowStarts)
        start -= shift;
    m_rowStarts.insert(m_rowStarts.begin(), head.m_rowStarts.begin(), head.m_rowStarts.end() - 1);
    if (m_blankScan != 0)
        m_blankScan -= shift;
    forgetLineEnd();
    m_skip += shift;
    m_size -= shift;
    write(m_skip, prefix, true);
    const std::uint64_t unused = m_skip >> ChunkBits;
    m_chunks.erase(m_chunks.begin(), m_chunks.begin() + static_cast<std::ptrdiff_t>(unused));
    m_skip -= unused << ChunkBits;
    return cut;
}

void WrappedText::clear()
{
    m_chunks.clear();
    m_size = 0;
    m_skip = 0;
    m_rowStarts.assign(1, 0);
    m_blankScan = 0;
    forgetLineEnd();
}

void WrappedText::setColumns(int columns)
{
    columns = std::max(columns, 1);
    if (columns == m_columns)
        return;
    m_columns = columns;
    m_rowStarts.assign(1, 0);
    m_blankScan = 0;
    forgetLineEnd();
    wrapNewRows();
}

std::string WrappedText::slice(std::uint64_t from, std::uint64_t to) const
{
    return slice(m_chunks, m_skip, m_size, from, to);
}

WrappedText::Snapshot WrappedText::snapshot() const
{
    Snapshot snapshot;
    snapshot.m_chunks = m_chunks;
    snapshot.m_skip = m_skip;
    snapshot.m_size = m_size;
    return snapshot;
}

std::string WrappedText::Snapshot::slice(std::uint64_t from, std::uint64_t to) const
{
    return WrappedText::slice(m_chunks, m_skip, m_size, from, to);
}

std::string WrappedText::slice(const std::vector<Chunk> &chunks, std::uint64_t skip,
                               std::uint64_t size, std::uint64_t from, std::uint64_t to)
{
    to = std::min(to, size);
    std::string out;
    if (from >= to)
        return out;
    from += skip;
    to += skip;
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
    const std::uint64_t start = m_rowStarts[row];
    std::uint64_t next = row + 1 < m_rowStarts.size() ? m_rowStarts[row + 1] : m_size;
    if (m_lineEnds && next > start && at(next - 1) == '\n')
        --next;
    return std::min(next, start + static_cast<std::uint64_t>(m_columns));
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
    from += m_skip;
    to += m_skip;
    while (to > from) {
        const std::uint64_t pieceStart = std::max(from, (to - 1) & ~(ChunkSize - 1));
        const char *base = m_chunks[pieceStart >> ChunkBits].get() + (pieceStart & (ChunkSize - 1));
        const void *blank = memrchr(base, ' ', static_cast<std::size_t>(to - pieceStart));
        if (blank != nullptr)
            return pieceStart +
                   static_cast<std::uint64_t>(static_cast<const char *>(blank) - base) - m_skip;
        to = pieceStart;
    }
    return NoBlank;
}

std::uint64_t WrappedText::firstLineEnd(std::uint64_t from, std::uint64_t to) const
{
    from += m_skip;
    to += m_skip;
    while (from < to) {
        const std::uint64_t pieceEnd = std::min(to, (from | (ChunkSize - 1)) + 1);
        const char *base = m_chunks[from >> ChunkBits].get() + (from & (ChunkSize - 1));
        const void *end = std::memchr(base, '\n', static_cast<std::size_t>(pieceEnd - from));
        if (end != nullptr)
            return from + static_cast<std::uint64_t>(static_cast<const char *>(end) - base) -
                   m_skip;
        from = pieceEnd;
    }
    return NoBlank;
}

std::uint64_t WrappedText::nextLineEnd(std::uint64_t from)
{
    if (m_lineEnd != NoBlank && m_lineEnd >= from)
        return m_lineEnd;
    m_lineEnd = firstLineEnd(std::max(from, m_lineEndScan), m_size);
    m_lineEndScan = m_lineEnd == NoBlank ? m_size : m_lineEnd;
    return m_lineEnd;
}

void WrappedText::wrapNewRows()
{
    const auto width = static_cast<std::uint64_t>(m_columns);
    for (;;) {
        const std::uint64_t start = m_rowStarts.back();
        // A line end within the row's cells, or just past them, ends it.
        const std::uint64_t lineEnd = m_lineEnds ? nextLineEnd(start) : NoBlank;
        if (lineEnd != NoBlank && lineEnd <= start + width) {
            m_rowStarts.push_back(lineEnd + 1);
            m_blankScan = 0;
            continue;
        }
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
            next = m_lineEnds && at(scan) == '\n' ? scan + 1 : scan;
        } else {
            // Break after the last blank that fits; with none, cut the word at the edge.
            const std::uint64_t blank = lastBlankBefore(start, edge);
            next = blank == NoBlank ? edge : blank + 1;
        }
        m_rowStarts.push_back(next);
        m_blankScan = 0;
    }
}
