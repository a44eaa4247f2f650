#include "framework/qt/BackgroundSave.h"

#include "framework/core/Application.h"
#include "framework/core/Exception.h"
#include "framework/qt/Ansi.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <exception>
#include <stdexcept>
#include <string>

namespace {

class SaveFailed : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

void writeFile(const QString &path, const BackgroundSave::Content &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw SaveFailed(toAnsi(file.errorString()));
    content([&file](std::string_view bytes) {
        if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()))
            throw SaveFailed(toAnsi(file.errorString()));
    });
    if (!file.commit())
        throw SaveFailed(toAnsi(file.errorString()));
}

// Only the texts cross to the UI thread, where the report is made.
void reportOnUiThread(std::string message)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [message = std::move(message)] {
            Application::instance().HandleException(
                Exception(message, "The box keeps its text; choose another place to save it."));
        },
        Qt::QueuedConnection);
}

} // namespace

BackgroundSave::~BackgroundSave()
{
    for (const auto &job : m_jobs)
        job->thread.join();
}

void BackgroundSave::start(const QString &path, Content content)
{
    joinFinished();
    auto job = std::make_unique<Job>();
    Job &started = *job;
    m_jobs.push_back(std::move(job));
    try {
        started.thread = std::thread([&started, path, content = std::move(content)] {
            std::string reason;
            try {
                writeFile(path, content);
            } catch (const std::exception &error) {
                reason = error.what();
            } catch (...) {
                reason = "unknown error";
            }
            if (!reason.empty())
                reportOnUiThread("Cannot save \"" + toAnsi(path) + "\": " + reason);
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
