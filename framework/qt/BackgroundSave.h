// Writes files on threads of their own, so that saving tens of megabytes never holds up the
// UI thread. A file appears whole or not at all: it is written beside its place and renamed
// over it once complete, so a failure leaves whatever was there before. A failure is reported
// through the application's exception report (the error box in the program) as
// 'Cannot save "<file>": <reason>'. The destructor waits for the writes still running: a file
// the user asked for is finished, never cut off. Start and destroy on the UI thread.
#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <string_view>
#include <thread>

class BackgroundSave
{
public:
    // Hands the file's bytes to write, piece by piece. Runs on the writing thread; may throw,
    // which abandons the file and reports the exception's message as the reason.
    using Content = std::function<void(const std::function<void(std::string_view)> &write)>;

    BackgroundSave() = default;
    ~BackgroundSave();
    BackgroundSave(const BackgroundSave &) = delete;
    BackgroundSave &operator=(const BackgroundSave &) = delete;

    void start(const QString &path, Content content);
    // Writes started and not finished yet.
    int running() const;

private:
    struct Job
    {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void joinFinished();

    std::list<std::unique_ptr<Job>> m_jobs;
};
