// tessarine-scan leaves nothing running behind it: a daemon a plug-in started ends with the
// run, and a scanner stopped by a signal, or killed, takes its servers with it, even one that
// hangs in a plug-in.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/linux/LinuxServer.h"
#include "tests/linux/ScannerRun.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool Alive(pid_t pid) { return kill(pid, 0) == 0; }

bool EndsWithin(pid_t pid, std::chrono::seconds limit)
{
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
        if (!Alive(pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !Alive(pid);
}

// The first child of `parent` whose command line names the server, within `limit`.
pid_t ServerOf(pid_t parent, std::chrono::seconds limit)
{
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
        if (DIR* folder = opendir("/proc")) {
            while (const dirent* entry = readdir(folder)) {
                const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
                if (pid <= 0) continue;
                std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
                std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
                const size_t close = text.rfind(')');
                if (close == std::string::npos || text.find("(ScanServer-lin") == std::string::npos) continue;
                if (std::atoi(text.c_str() + close + 4) == parent) {
                    closedir(folder);
                    return pid;
                }
            }
            closedir(folder);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

TEST(ScannerStop, ADaemonAPluginStartedEndsWithTheRun)
{
    CScratchFolder scratch;
    const std::string file = scratch.path + "/daemon.pid";
    setenv("TESSARINE_ZOO_DAEMON_FILE", file.c_str(), 1);
    const CScannerRun run = RunScanner({"--format", "json", ZooPath("starts_daemon.so")}, scratch.path);
    unsetenv("TESSARINE_ZOO_DAEMON_FILE");
    EXPECT_EQ(RecordsByFileName(run.out)["starts_daemon.so"]["status"], "ok") << run.err;
    std::ifstream written(file);
    pid_t daemon = 0;
    ASSERT_TRUE(written >> daemon) << "the daemon never wrote its id";
    EXPECT_TRUE(EndsWithin(daemon, std::chrono::seconds(10)));
    if (Alive(daemon)) kill(daemon, SIGKILL);
}

class ScannerStopped : public ::testing::TestWithParam<int> {};

TEST_P(ScannerStopped, TakesItsHangingServerWithIt)
{
    CScratchFolder scratch;
    const std::string scanner = BinFolder() + "/tessarine-scan";
    const std::string hang = ZooPath("hang_in_entry.so");
    const char* const arguments[] = {scanner.c_str(), "--timeout", "120", hang.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, scanner.c_str(), &actions, nullptr, const_cast<char**>(arguments), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const pid_t server = ServerOf(pid, std::chrono::seconds(30));
    ASSERT_NE(server, 0);
    kill(pid, GetParam());
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == GetParam());
    EXPECT_TRUE(EndsWithin(server, std::chrono::seconds(10)));
    if (Alive(server)) kill(server, SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(Linux, ScannerStopped, ::testing::Values(SIGINT, SIGTERM, SIGKILL));

}  // namespace
