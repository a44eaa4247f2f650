// One run of another program, for the tests and the benchmarks (no test framework here): its
// standard output and error on pipes, read line by line or to its end, signals sent to it, its
// exit status and resource use. The child is killed if the object goes while it runs. Its
// standard input is /dev/null: none of the programs run this way reads it.
#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

class ChildProcess
{
public:
    ChildProcess(const std::string &program, std::vector<std::string> args)
    {
        args.insert(args.begin(), program);
        int out[2] = {-1, -1}, err[2] = {-1, -1};
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<char *> argv;
        for (std::string &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_fds[0] = out[0];
        m_fds[1] = err[0];
    }
    ~ChildProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (const int fd : m_fds)
            ::close(fd);
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // The next line of standard output, without its newline; empty when the output ends or
    // nothing more came within the limit.
    std::string line(std::chrono::milliseconds limit = std::chrono::seconds(60))
    {
        std::size_t end;
        while ((end = out.find('\n')) == std::string::npos) {
            if (!take(limit))
                return {};
        }
        std::string text = out.substr(0, end);
        out.erase(0, end + 1);
        return text;
    }

    void signal(int number)
    {
        if (m_pid > 0)
            ::kill(m_pid, number);
    }

    // Reads out and err to their end and waits for the child: its exit status (128 + the
    // signal when one ended it), or -1 when it did not end within the limit.
    int finish(std::chrono::milliseconds limit = std::chrono::seconds(120))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        const auto left = [&] {
            return std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
        };
        while (left().count() > 0 && take(left())) {
        }
        while (m_pid > 0) {
            int status = 0;
            if (::wait4(m_pid, &status, WNOHANG, &m_usage) == m_pid) {
                m_pid = -1;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            } else if (left().count() <= 0) {
                return -1;
            } else {
                ::usleep(1000);
            }
        }
        return m_status;
    }

    // CPU time the child used, user and system, in milliseconds; valid after finish().
    double cpuMs() const
    {
        const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
        return ms(m_usage.ru_utime) + ms(m_usage.ru_stime);
    }

    std::string out, err;

private:
    // Takes what either pipe has; false once both are closed or nothing came in time.
    bool take(std::chrono::milliseconds limit)
    {
        pollfd p[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
        if (!m_open[0] && !m_open[1])
            return false;
        for (int i = 0; i < 2; ++i)
            p[i].fd = m_open[i] ? m_fds[i] : -1;
        if (::poll(p, 2, static_cast<int>(limit.count())) <= 0)
            return false;
        for (int i = 0; i < 2; ++i) {
            if (p[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(m_fds[i], buffer, sizeof buffer);
            m_open[i] = n > 0;
            if (n > 0)
                (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(n));
        }
        return m_open[0] || m_open[1];
    }

    pid_t m_pid = -1;
    int m_status = -1;
    int m_fds[2] = {-1, -1};
    bool m_open[2] = {true, true};
    rusage m_usage{};
};
