// The bench's log of receipts: a text file that lines are only ever appended to, shared by every
// slot of a bench and by several bench processes. Each line goes out in one write() on a
// descriptor opened with O_APPEND and reaches the disk (fdatasync) before append() returns, so
// a crash or power cut loses at most the lines not yet appended and never leaves a part of a
// line with another line after it. The writers of a file take turns under an exclusive flock,
// within which a line that follows a torn last line (left by a writer that died in its write)
// starts on a fresh line. Any thread.
#pragma once

#include "framework/core/Exception.h"

#include <mutex>
#include <string>

// The log cannot be opened or written; the message names the file and the reason.
class EReceiptLog : public Exception
{
public:
    using Exception::Exception;
};

class ReceiptLog
{
public:
    // Opens fileName for appending, creating it (and making its name durable) when it is not
    // there. EReceiptLog when it cannot be opened.
    explicit ReceiptLog(std::string fileName);
    ~ReceiptLog();
    ReceiptLog(const ReceiptLog &) = delete;
    ReceiptLog &operator=(const ReceiptLog &) = delete;

    const std::string &fileName() const { return m_fileName; }
    // Whether the file ended in a part of a line when it was opened.
    bool endedTorn() const { return m_endedTorn; }

    // Appends line (one line, without its newline) and flushes it to disk; EReceiptLog when
    // that fails.
    void append(const std::string &line);

private:
    [[noreturn]] void fail(const std::string &what, int error) const;
    bool endsTorn() const;

    std::string m_fileName;
    int m_fd = -1;
    bool m_endedTorn = false;
    std::mutex m_mutex; // a flock is per open file: threads of one process take turns here
};
