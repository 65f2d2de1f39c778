#include "host/ChildProcess.h"

#include <algorithm>

namespace {

constexpr size_t kConsoleLimit = 1 << 20;  // kept between two takes; the rest is counted
constexpr int kConsolePollMs = 20;

}  // namespace

// Called with the lock held. A line without an end in sight is not kept: a plug-in writing
// gigabytes into the pipe must not take the host's memory with it.
void CChildProcess::Keep(const char* bytes, size_t count)
{
    if (discarding || overflowed) return;
    output.append(bytes, count);
    const size_t lastFeed = output.rfind('\n');
    const size_t open = lastFeed == std::string::npos ? output.size() : output.size() - lastFeed - 1;
    if (open > kLongestOutputLine) {
        overflowed = true;
        output.clear();
        lineStart = 0;
    }
}

// Called with the lock held.
void CChildProcess::KeepConsole(const char* bytes, size_t count)
{
    const size_t room = console.size() < kConsoleLimit ? kConsoleLimit - console.size() : 0;
    console.append(bytes, std::min(room, count));
    consoleDropped += count - std::min(room, count);
}

void CChildProcess::Begin()
{
    output.clear();
    lineStart = 0;
    outputEnded = false;
    overflowed = false;
    discarding = false;
    startError = 0;
    console.clear();
    consoleDropped = 0;
    stopping = false;
    running = true;
}

// Keeps the console pipe from filling up while nobody asks for its text, and sees it end.
void CChildProcess::WatchConsole()
{
    std::unique_lock<std::mutex> guard(lock);
    while (!stopping && DrainConsole()) stopWake.wait_for(guard, std::chrono::milliseconds(kConsolePollMs));
    consoleEnded = true;
    changed.notify_all();
}

CConsoleText CChildProcess::TakeConsole(size_t keep)
{
    std::unique_lock<std::mutex> guard(lock);
    // What the child printed before now is in the pipe or already taken: read it here.
    DrainConsole();
    CConsoleText taken;
    taken.dropped = consoleDropped + (console.size() > keep ? console.size() - keep : 0);
    console.resize(std::min(console.size(), keep));
    taken.text.swap(console);
    consoleDropped = 0;
    return taken;
}

bool CChildProcess::HasUntakenOutput()
{
    std::lock_guard<std::mutex> guard(lock);
    return !output.empty() || overflowed;
}

bool CChildProcess::Overflowed()
{
    std::lock_guard<std::mutex> guard(lock);
    return overflowed;
}

void CChildProcess::DiscardOutput()
{
    std::lock_guard<std::mutex> guard(lock);
    discarding = true;
    output.clear();
    lineStart = 0;
}

void CChildProcess::StopConsoleWatch()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
        stopWake.notify_all();
    }
    if (consoleReader.joinable()) consoleReader.join();
}

std::optional<std::string> CChildProcess::NextLine(std::chrono::steady_clock::time_point deadline, bool& ended)
{
    std::unique_lock<std::mutex> guard(lock);
    size_t feed = std::string::npos;
    changed.wait_until(guard, deadline, [&] {
        feed = output.find('\n', lineStart);
        if (feed == std::string::npos) lineStart = output.size();
        return feed != std::string::npos || outputEnded;
    });
    if (feed == std::string::npos && outputEnded && !output.empty()) feed = output.size();  // a line a crash cut short
    ended = feed == std::string::npos && outputEnded;
    if (feed == std::string::npos) return std::nullopt;
    std::string line = output.substr(0, feed);
    output.erase(0, std::min(feed + 1, output.size()));
    lineStart = 0;
    return line;
}

bool CChildProcess::WaitForOutput(const std::function<bool(const std::string&)>& done, std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> guard(lock);
    changed.wait_for(guard, limit, [&] { return done(output) || outputEnded; });
    return done(output);
}

std::string CChildProcess::Output()
{
    std::lock_guard<std::mutex> guard(lock);
    return output;
}

