// The zephra-sim program: publishes its pty, answers through the link, removes the link when
// told to stop, and rejects bad command lines.
#include "tests/simulator/SlaveLine.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

extern char **environ;

namespace {

// One run of the program with its standard output on a pipe.
class SimProcess
{
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        args.insert(args.begin(), ZEPHRA_SIM_PROGRAM);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&m_pid, ZEPHRA_SIM_PROGRAM, &actions, nullptr, argv.data(), environ),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }

    ~SimProcess()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
    }

    // Next line of standard output, without its newline; empty at end or after the time.
    std::string line(std::chrono::milliseconds timeout = 5s)
    {
        std::string text;
        char c;
        pollfd p{m_out, POLLIN, 0};
        while (::poll(&p, 1, static_cast<int>(timeout.count())) > 0 && ::read(m_out, &c, 1) == 1) {
            if (c == '\n')
                return text;
            text += c;
        }
        return text;
    }

    // Sends a signal (if any) and gives the exit status, or -1 if it did not end in time.
    int finish(int signal = 0)
    {
        if (signal)
            kill(m_pid, signal);
        for (int i = 0; i < 500; ++i) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(10000);
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

fs::path makeTempDir()
{
    char pattern[] = "/tmp/zephra-sim-prog-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    return pattern;
}

} // namespace

TEST(ZephraSim, PublishesAnswersAndRemovesItsLinkOnStop)
{
    const fs::path dir = makeTempDir();
    SimProcess sim({"--ports", dir.string(), "--name", "COM4", "--firmware", "TEST-CODE-0123",
                    "--set", "4=100"});
    const std::string slave = sim.line();
    ASSERT_EQ(sim.line(), "ready");
    EXPECT_EQ(fs::read_symlink(dir / "COM4").string(), slave);
    {
        SlaveLine line((dir / "COM4").string());
        line.write(hexBytes("02 30 30 30 38 30 30 03 30 38 0D 0A"));
        EXPECT_EQ(line.read(24, 3s), frame("0008TEST-CODE-0123", "13"));
        line.write(hexBytes("02 30 30 30 34 30 30 03 30 34 0D 0A"));
        EXPECT_EQ(line.read(12, 3s), hexBytes("02 30 30 30 34 36 34 03 36 30 0D 0A"));
    }
    EXPECT_EQ(sim.finish(SIGTERM), 0);
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

TEST(ZephraSim, HelpAndBadCommandLines)
{
    SimProcess help({"--help"});
    EXPECT_NE(help.line().find("Usage: zephra-sim"), std::string::npos);
    EXPECT_EQ(help.finish(), 0);

    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"--firmware", "SHORT"},
                                               {"--set", "8=1"},
                                               {"--delay", "abc"},
                                               {"--switch", "middle"},
                                               {"--name"}}) {
        SimProcess sim(bad);
        EXPECT_EQ(sim.line(1s), "") << bad[0];
        EXPECT_EQ(sim.finish(), 2) << bad[0];
    }
}
