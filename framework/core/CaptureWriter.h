// Writes a stream of received bytes to a file on a thread of its own while they arrive, so
// that a slow or stalled disk never holds up the UI thread. Each chunk handed over is queued
// and written as soon as the writing thread wakes, in the order given. The first failure
// (the file cannot be created, a full disk, a vanished folder) is reported once through the
// application's exception report as 'Cannot capture to "<file>": <reason>' and ends the
// capture; the file keeps what was written. Destroying the writer writes what is still
// queued and closes the file. Create, feed and destroy on the UI thread.
#pragma once

#include "framework/core/BackgroundSave.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class CaptureWriter
{
public:
    // Opens the file on the writing thread; the file's write may throw, with the reason as the
    // exception's message. Its destruction closes it and keeps what was written.
    using Open = BackgroundSave::Open;

    // name is the file as the report shows it; onFailed runs on the UI thread after a failure
    // was reported, unless the writer is gone by then.
    CaptureWriter(std::string name, Open open, std::function<void()> onFailed = {});
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter &) = delete;
    CaptureWriter &operator=(const CaptureWriter &) = delete;

    // Queues bytes for the file; nothing once the capture has failed.
    void write(std::string_view bytes);
    bool failed() const { return m_failed; }

private:
    void run(const Open &open);

    std::string m_name;
    std::function<void()> m_onFailed;
    // Lives as long as the writer; a failure's UI call runs only while it does.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::atomic<bool> m_failed{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::string m_queued;    // guarded by m_mutex
    bool m_stopping = false; // guarded by m_mutex
    std::thread m_thread;
};
