// Child processes off Windows: posix_spawn with pipes of our own, a process group of its own
// for the child and whatever it starts, and poll for the console pipe, which is never read
// with a blocking call.
#include "host/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <dirent.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "protocol/SignalCode.h"

extern char** environ;

namespace {

constexpr int kReaderGraceMs = 2000;

// Every pipe end is ours alone: only the child's own ends are passed on, by posix_spawn's file actions.
bool MakePipe(int ends[2]) { return pipe2(ends, O_CLOEXEC) == 0; }

void CloseFile(int& file)
{
    if (file >= 0) close(file);
    file = -1;
}

uint32_t ExitCodeOf(int status)
{
    if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
    // A fault that never reached the server's handler (the signal blocked, the handler reset)
    // reads as the crash it was; any other signal as itself.
    if (WIFSIGNALED(status)) {
        const uint32_t code = ExceptionCodeOfSignal(WTERMSIG(status), 0, false);
        return code ? code : kKilledBySignal + static_cast<uint32_t>(WTERMSIG(status));
    }
    return kStillRunning;
}

// The processes /proc lists with their parent and group, `keep` choosing among them.
template <typename Keep>
std::vector<pid_t> ProcessesWhere(Keep keep)
{
    std::vector<pid_t> found;
    DIR* folder = opendir("/proc");
    if (folder == nullptr) return found;
    while (const dirent* entry = readdir(folder)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        char path[64], text[512];
        std::snprintf(path, sizeof(path), "/proc/%ld/stat", pid);
        FILE* file = std::fopen(path, "r");
        if (file == nullptr) continue;
        const size_t length = std::fread(text, 1, sizeof(text) - 1, file);
        std::fclose(file);
        text[length] = '\0';
        // "pid (name) state ppid pgrp ...": the name may hold anything but ends at the last ')'.
        const char* after = std::strrchr(text, ')');
        char state = 0;
        long parent = 0, processGroup = 0;
        if (after && std::sscanf(after + 1, " %c %ld %ld", &state, &parent, &processGroup) == 3 &&
            keep(static_cast<pid_t>(pid), static_cast<pid_t>(parent), static_cast<pid_t>(processGroup)))
            found.push_back(static_cast<pid_t>(pid));
    }
    closedir(folder);
    return found;
}

// The processes of a group but its leader.
std::vector<pid_t> GroupMembers(pid_t group)
{
    return ProcessesWhere([group](pid_t pid, pid_t, pid_t processGroup) { return pid != group && processGroup == group; });
}

// The groups of the children started with jobs of their own and not reaped yet.
std::mutex LiveGroupsLock;
std::set<pid_t> LiveGroups;

}  // namespace

struct CChildProcess::CNative {
    pid_t process = 0;
    int processFile = -1;  // a pidfd: readable once the process has ended
    bool ownGroup = false;
    int requestWrite = -1;
    int outputRead = -1;
    int consoleRead = -1;
    int stopReader[2] = {-1, -1};  // written to end the output reader
    std::mutex exitLock;
    bool exited = false;
    uint32_t exitCode = kStillRunning;
    std::chrono::steady_clock::time_point exitTime{};

    // Reaps the process when it has ended, at most once.
    bool Reap(int waitMs)
    {
        std::lock_guard<std::mutex> guard(exitLock);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (!exited) {
            int status = 0;
            const pid_t done = waitpid(process, &status, WNOHANG);
            if (done == process) {
                exited = true;
                if (ownGroup) {
                    std::lock_guard<std::mutex> groups(LiveGroupsLock);
                    LiveGroups.erase(process);
                }
                exitCode = ExitCodeOf(status);
                exitTime = std::chrono::steady_clock::now();
                break;
            }
            if (done < 0 && errno != EINTR) break;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            if (processFile >= 0) {
                pollfd ended{processFile, POLLIN, 0};
                poll(&ended, 1, static_cast<int>(left.count()));
            } else {
                std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
            }
        }
        return exited;
    }
    void Signal(int number)
    {
        std::lock_guard<std::mutex> guard(exitLock);
        if (exited) return;
        // A group of its own holds whatever it started too.
        if (ownGroup) kill(-process, number);
        else kill(process, number);
    }
};

NativeText HexArgumentText(uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof(text), "%" PRIx64, value);
    return text;
}

CChildProcess::CChildProcess() = default;
CChildProcess::~CChildProcess() { End(true, 0); }

void* CChildProcess::Process() const { return nullptr; }
void* CChildProcess::Job() const { return nullptr; }
uint32_t CChildProcess::ProcessId() const { return native ? static_cast<uint32_t>(native->process) : 0; }
bool CChildProcess::HasExited() { return !running || native->Reap(0); }

bool CChildProcess::Start(const CChildStart& how, std::string& problem)
{
    native = std::make_unique<CNative>();
    int request[2], output[2], console[2] = {-1, -1};
    if (!MakePipe(request)) {
        problem = "cannot create pipes: " + std::string(std::strerror(errno));
        return false;
    }
    if (!MakePipe(output)) {
        problem = "cannot create pipes: " + std::string(std::strerror(errno));
        close(request[0]), close(request[1]);
        return false;
    }
    if (how.captureConsole) MakePipe(console);
    MakePipe(native->stopReader);
    const CommandText command = how.commandLine(HexArgumentText(static_cast<uint64_t>(request[0])),
                                                HexArgumentText(static_cast<uint64_t>(output[1])));

    // The child keeps its two ends under their own numbers; the close-on-exec flag is cleared
    // for them alone, by the file actions, in the child.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int end : {request[0], output[1]}) {
        // Dup onto itself clears close-on-exec (posix_spawn_file_actions_adddup2 with equal numbers).
        posix_spawn_file_actions_adddup2(&actions, end, end);
    }
    if (how.outputIsStandardOutput) {
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    } else if (console[1] >= 0) {
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, console[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, console[1], STDERR_FILENO);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (how.ownJob) {
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    posix_spawnattr_setflags(&attributes, flags);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    std::vector<char*> argv;
    for (const std::string& argument : command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int error = command.empty() ? ENOENT : posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(request[0]);
    close(output[1]);
    if (console[1] >= 0) close(console[1]);
    if (error != 0) {
        close(request[1]), close(output[0]);
        if (console[0] >= 0) close(console[0]);
        CloseFile(native->stopReader[0]), CloseFile(native->stopReader[1]);
        startError = static_cast<uint32_t>(error);
        problem = std::string(std::strerror(error));
        return false;
    }
    native->process = child;
    native->processFile = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    native->ownGroup = how.ownJob;
    if (how.ownJob) {
        std::lock_guard<std::mutex> groups(LiveGroupsLock);
        LiveGroups.insert(child);
    }
    native->requestWrite = request[1];
    native->outputRead = output[0];
    native->consoleRead = console[0];
    if (native->consoleRead >= 0) fcntl(native->consoleRead, F_SETFL, O_NONBLOCK);
    Begin();
    consoleEnded = native->consoleRead < 0;
    reader = std::thread([this] {
        // Reads until the pipe ends, or until End gives up on a pipe a stray process still holds.
        char chunk[4096];
        pollfd watched[2] = {{native->outputRead, POLLIN, 0}, {native->stopReader[0], POLLIN, 0}};
        for (;;) {
            if (poll(watched, 2, -1) < 0 && errno != EINTR) break;
            if (watched[1].revents) break;
            if (!watched[0].revents) continue;
            const ssize_t count = read(native->outputRead, chunk, sizeof(chunk));
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) break;
            std::lock_guard<std::mutex> guard(lock);
            Keep(chunk, static_cast<size_t>(count));
            changed.notify_all();
        }
        std::lock_guard<std::mutex> guard(lock);
        outputEnded = true;
        changed.notify_all();
    });
    if (native->consoleRead >= 0) consoleReader = std::thread([this] { WatchConsole(); });
    return true;
}

bool CChildProcess::DrainConsole()
{
    if (!native || native->consoleRead < 0) return false;
    char chunk[4096];
    for (;;) {
        const ssize_t count = read(native->consoleRead, chunk, sizeof(chunk));
        if (count > 0) {
            KeepConsole(chunk, static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        return count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

bool CChildProcess::Write(const std::string& bytes)
{
    if (!native || native->requestWrite < 0) return false;
    size_t written = 0;
    while (written < bytes.size()) {
        // MSG_NOSIGNAL is for sockets: a pipe whose reader is gone gives EPIPE with SIGPIPE
        // blocked for the write.
        sigset_t pipeSignal, old;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
        const ssize_t done = write(native->requestWrite, bytes.data() + written, bytes.size() - written);
        const int error = errno;
        if (done < 0 && error == EPIPE) {
            timespec none{};
            sigtimedwait(&pipeSignal, nullptr, &none);  // the SIGPIPE it raised, taken
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        if (done < 0 && error == EINTR) continue;
        if (done <= 0) return false;
        written += static_cast<size_t>(done);
    }
    return true;
}

void CChildProcess::CloseRequests()
{
    if (native) CloseFile(native->requestWrite);
}

uint32_t CChildProcess::WaitForExit(uint32_t waitMs)
{
    if (!running || !native->Reap(static_cast<int>(waitMs))) return kStillRunning;
    return native->exitCode;
}

std::chrono::steady_clock::time_point CChildProcess::ExitTime() const
{
    if (!native || !native->exited) return std::chrono::steady_clock::now();
    return native->exitTime;
}

void CChildProcess::EndJobHelpers()
{
    if (!running || !native->ownGroup) return;
    for (pid_t helper : GroupMembers(native->process)) kill(helper, SIGKILL);
}

void CChildProcess::Terminate(uint32_t)
{
    if (running) native->Signal(SIGKILL);
}

void CChildProcess::End(bool kill, uint32_t waitMs)
{
    if (!running) return;
    CloseRequests();
    if (kill || !native->Reap(static_cast<int>(waitMs))) native->Signal(SIGKILL);
    native->Reap(5000);
    // Whatever it started goes with it.
    if (native->ownGroup) ::kill(-native->process, SIGKILL);
    if (reader.joinable()) {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::milliseconds(kReaderGraceMs), [&] { return outputEnded; });
        guard.unlock();
        const char stop = 1;
        (void)!write(native->stopReader[1], &stop, 1);
        reader.join();
    }
    StopConsoleWatch();
    CloseFile(native->outputRead);
    CloseFile(native->consoleRead);
    CloseFile(native->stopReader[0]);
    CloseFile(native->stopReader[1]);
    CloseFile(native->processFile);
    running = false;
}

void EndEveryChild()
{
    {
        std::lock_guard<std::mutex> groups(LiveGroupsLock);
        for (pid_t group : LiveGroups) kill(-group, SIGKILL);
    }
    // What a subreaper adopted (a daemon a plug-in started, which left its group) is a child
    // now too, and is reaped here.
    const pid_t self = getpid();
    for (pid_t child : ProcessesWhere([self](pid_t, pid_t parent, pid_t) { return parent == self; })) {
        kill(child, SIGKILL);
        for (int tries = 0; tries < 100 && waitpid(child, nullptr, WNOHANG) == 0; ++tries) usleep(10000);
    }
}
