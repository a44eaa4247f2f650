// Writes files on threads of their own, so that saving tens of megabytes never holds up the
// UI thread. A failure is reported through the application's exception report (the error box
// in the program) as 'Cannot save "<file>": <reason>'; the report reaches the UI thread through
// its call queue. The destructor waits for the writes still running: a file the user asked for
// is finished, never cut off. Start and destroy on the UI thread. The window backend opens the
// file with its own file calls, which say why they fail in their own words.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

class BackgroundSave
{
public:
    // A file being written, on the writing thread. write and finish throw on failure, with the
    // reason as the exception's message; a file destroyed unfinished is abandoned.
    class File
    {
    public:
        virtual ~File() = default;
        virtual void write(std::string_view bytes) = 0;
        virtual void finish() = 0;
    };
    // Opens the file; runs on the writing thread and throws on failure, as File does.
    using Open = std::function<std::unique_ptr<File>()>;
    // Hands the file's bytes to write, piece by piece. Runs on the writing thread; may throw,
    // which abandons the file and reports the exception's message as the reason.
    using Content = std::function<void(const std::function<void(std::string_view)> &write)>;

    BackgroundSave() = default;
    ~BackgroundSave();
    BackgroundSave(const BackgroundSave &) = delete;
    BackgroundSave &operator=(const BackgroundSave &) = delete;

    // name is the file as a report shows it.
    void start(std::string name, Open open, Content content);
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
