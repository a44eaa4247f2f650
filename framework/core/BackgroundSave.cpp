#include "framework/core/BackgroundSave.h"

#include "framework/core/Application.h"
#include "framework/core/Exception.h"

#include <exception>

namespace {

void write(const BackgroundSave::Open &open, const BackgroundSave::Content &content)
{
    const std::unique_ptr<BackgroundSave::File> file = open();
    content([&file](std::string_view bytes) { file->write(bytes); });
    file->finish();
}

} // namespace

BackgroundSave::~BackgroundSave()
{
    for (const auto &job : m_jobs)
        job->thread.join();
}

void BackgroundSave::start(std::string name, Open open, Content content)
{
    joinFinished();
    auto job = std::make_unique<Job>();
    Job &started = *job;
    m_jobs.push_back(std::move(job));
    try {
        started.thread = std::thread([&started, name = std::move(name), open = std::move(open),
                                      content = std::move(content)] {
            std::string reason;
            try {
                write(open, content);
            } catch (const std::exception &error) {
                reason = error.what();
            } catch (...) {
                reason = "unknown error";
            }
            // From this thread the report is queued to the UI thread and shown there.
            if (!reason.empty())
                Application::instance().HandleException(
                    Exception("Cannot save \"" + name + "\": " + reason,
                              "The box keeps its text; choose another place to save it."));
            started.done = true;
        });
    } catch (...) {
        m_jobs.pop_back();
        throw;
    }
}

int BackgroundSave::running() const
{
    int count = 0;
    for (const auto &job : m_jobs)
        count += job->done ? 0 : 1;
    return count;
}

void BackgroundSave::joinFinished()
{
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if ((*it)->done) {
            (*it)->thread.join();
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
}
