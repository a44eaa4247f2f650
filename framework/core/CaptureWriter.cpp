#include "framework/core/CaptureWriter.h"

#include "framework/core/Application.h"
#include "framework/core/Exception.h"
#include "framework/core/UiCallQueue.h"

#include <exception>

CaptureWriter::CaptureWriter(std::string name, Open open, std::function<void()> onFailed)
    : m_name(std::move(name)), m_onFailed(std::move(onFailed))
{
    m_thread = std::thread([this, open = std::move(open)] { run(open); });
}

CaptureWriter::~CaptureWriter()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CaptureWriter::write(std::string_view bytes)
{
    if (bytes.empty() || m_failed)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_queued.append(bytes);
    }
    m_wake.notify_one();
}

void CaptureWriter::run(const Open &open)
{
    std::string reason;
    try {
        const std::unique_ptr<BackgroundSave::File> file = open();
        std::string batch;
        for (;;) {
            bool last = false;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || !m_queued.empty(); });
                batch.clear();
                batch.swap(m_queued);
                last = m_stopping;
            }
            if (!batch.empty())
                file->write(batch);
            if (last)
                break;
        }
        file->finish();
        return;
    } catch (const std::exception &error) {
        reason = error.what();
    } catch (...) {
        reason = "unknown error";
    }
    m_failed = true;
    Application::instance().HandleException(
        Exception("Cannot capture to \"" + m_name + "\": " + reason,
                  "The capture has stopped; the file keeps what was written."));
    if (!m_onFailed)
        return;
    auto call = std::make_shared<UiCall>();
    call->sender = std::this_thread::get_id();
    call->run = [alive = std::weak_ptr<bool>(m_alive), onFailed = m_onFailed]() -> LRESULT {
        if (alive.lock())
            onFailed();
        return 0;
    };
    UiCallQueue::instance().post(call);
}
