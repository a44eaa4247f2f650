// A growing text, kept as Windows-1252 bytes (one byte per character) and wrapped into rows
// of a fixed number of character cells, as a box with a fixed-pitch font wraps it: a row
// breaks after the last blank that fits, a run of blanks at a break hangs past the edge
// unseen, and a word longer than the row is cut at the edge. With line ends on, a '\n' ends
// its row and takes no cell; otherwise it is a character like any other. Its end may be cut back,
// and its leading rows dropped, for a text that is kept bounded.
//
// Built for volume: the text lives in fixed-size chunks (no reallocation, no copy when it
// grows), and appending wraps only the rows the new bytes complete, so appending costs in
// proportion to the bytes appended, whatever the text already holds. Only a change of the
// row width rewraps everything. Used by the receive view on the UI thread; not thread-safe,
// but a snapshot of its bytes may be read on any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class WrappedText
{
    // Chunks are shared with snapshots, which may outlive the text or its clear().
    using Chunk = std::shared_ptr<char[]>;

public:
    // The bytes as they were when it was taken, readable on any thread while the text goes on
    // growing, is cleared or destroyed: it shares the text's memory instead of copying it
    // (the text only ever writes beyond a snapshot's end).
    class Snapshot
    {
    public:
        std::uint64_t size() const { return m_size; }
        // The bytes in [from, to), clamped to the snapshot.
        std::string slice(std::uint64_t from, std::uint64_t to) const;

    private:
        friend class WrappedText;
        std::vector<Chunk> m_chunks;
        std::uint64_t m_skip = 0;
        std::uint64_t m_size = 0;
    };

    explicit WrappedText(int columns = 1, bool lineEnds = false);

    void append(std::string_view bytes);
    void clear();
    // Drops the bytes from size on (a size beyond the end changes nothing).
    void truncate(std::uint64_t size);
    // With line ends on: drops the rows that end at or before offset count and puts prefix,
    // which ends in '\n',
    // in their place; the other rows keep their wrapping. Returns the bytes dropped, at most
    // count, and at least prefix's size: with fewer, nothing changes and it returns 0.
    std::uint64_t replaceFront(std::uint64_t count, std::string_view prefix);

    // Character cells per row, at least 1. Setting another width rewraps the whole text.
    int columns() const { return m_columns; }
    void setColumns(int columns);

    std::uint64_t size() const { return m_size; }
    char at(std::uint64_t offset) const
    {
        offset += m_skip;
        return m_chunks[offset >> ChunkBits][offset & (ChunkSize - 1)];
    }
    // The bytes in [from, to), clamped to the text.
    std::string slice(std::uint64_t from, std::uint64_t to) const;
    Snapshot snapshot() const;

    // An empty text has one empty row.
    std::uint64_t rowCount() const { return m_rowStarts.size(); }
    std::uint64_t rowStart(std::uint64_t row) const { return m_rowStarts[row]; }
    // Where the row's visible part ends: blanks hanging past the edge are not part of it.
    std::uint64_t rowEnd(std::uint64_t row) const;
    // The row that shows the character at offset (the last row for offset >= size()).
    std::uint64_t rowOf(std::uint64_t offset) const;

    // Bytes held for the text and the row index.
    std::size_t memoryUsed() const;

private:
    // 2 MiB: one huge page, where the system gives them (see newChunk()).
    static constexpr unsigned ChunkBits = 21;
    static constexpr std::uint64_t ChunkSize = std::uint64_t{1} << ChunkBits;
    struct ChunkFree
    {
        void operator()(char *chunk) const;
    };
    static Chunk newChunk();
    static std::string slice(const std::vector<Chunk> &chunks, std::uint64_t skip,
                             std::uint64_t size, std::uint64_t from, std::uint64_t to);
    // Writes bytes at an offset of the chunks (m_skip included), making chunks as needed;
    // copyShared copies a chunk a snapshot shares before writing into it.
    void write(std::uint64_t at, std::string_view bytes, bool copyShared);
    void unshare(std::size_t index);

    // Closes every row that the text now decides.
    void wrapNewRows();
    // Offset of the last blank in [from, to), or NoBlank.
    static constexpr std::uint64_t NoBlank = ~std::uint64_t{0};
    std::uint64_t lastBlankBefore(std::uint64_t from, std::uint64_t to) const;
    // Offset of the first '\n' in [from, to), or NoBlank.
    std::uint64_t firstLineEnd(std::uint64_t from, std::uint64_t to) const;
    // Offset of the first '\n' at or after from, or NoBlank; from only grows between resets.
    std::uint64_t nextLineEnd(std::uint64_t from);
    void forgetLineEnd()
    {
        m_lineEnd = NoBlank;
        m_lineEndScan = 0;
    }

    int m_columns;
    bool m_lineEnds;
    std::uint64_t m_size = 0;
    // The text starts this many bytes into the first chunk: dropped rows' bytes before it.
    std::uint64_t m_skip = 0;
    std::vector<Chunk> m_chunks;
    // Start of every row; the last one is the open row that appending may still lengthen.
    // A deque, so that a million rows grow without ever being copied in one go on the UI
    // thread.
    std::deque<std::uint64_t> m_rowStarts{0};
    // How far the blank run at the open row's edge has been scanned, so that a long run of
    // blanks arriving piece by piece is scanned once.
    std::uint64_t m_blankScan = 0;
    // The first line end at or after the open row's start, once found, and how far the text
    // is known to have none: each byte is searched once, however many rows a line wraps into.
    std::uint64_t m_lineEnd = NoBlank;
    std::uint64_t m_lineEndScan = 0;
};
