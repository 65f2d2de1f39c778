#include "probe/AudioThread.h"

#include <chrono>

#include "probe/ProcessGuard.h"

std::atomic<bool> BothThreadsRun{false};

namespace {

thread_local bool IsAudioThread = false;
// How often the main thread does its own work while it waits for the audio thread: as often as
// a host's message loop and timers run.
constexpr std::chrono::milliseconds kMainThreadPeriod{5};

}  // namespace

bool OnAudioThread() { return IsAudioThread; }

void CValueHandOver::Add(uint32_t id, double value)
{
    std::lock_guard<std::mutex> held(lock);
    values.emplace_back(id, value);
}

void CValueHandOver::TakeAll(std::vector<std::pair<uint32_t, double>>& into)
{
    into.clear();
    std::lock_guard<std::mutex> held(lock);
    into.swap(values);
}

CAudioThread::CAudioThread() : thread([this] { Main(); }) {}

CAudioThread::~CAudioThread()
{
    {
        std::lock_guard<std::mutex> held(lock);
        ending = true;
    }
    changed.notify_all();
    thread.join();
}

void CAudioThread::Main()
{
    IsAudioThread = true;
    KeepThreadState();
    std::unique_lock<std::mutex> held(lock);
    for (;;) {
        changed.wait(held, [this] { return ending || (busy && job); });
        if (ending) return;
        std::function<void()> work = std::move(job);
        job = nullptr;
        held.unlock();
        work();
        TakeThreadBack();
        held.lock();
        busy = false;
        changed.notify_all();
    }
}

void CAudioThread::Start(std::function<void()> work)
{
    stopAsked = false;
    {
        std::lock_guard<std::mutex> held(lock);
        job = std::move(work);
        busy = true;
    }
    changed.notify_all();
}

void CAudioThread::Join(const std::function<void()>& meanwhile)
{
    std::unique_lock<std::mutex> held(lock);
    while (busy) {
        if (changed.wait_for(held, kMainThreadPeriod, [this] { return !busy; })) break;
        if (!meanwhile) continue;
        held.unlock();
        meanwhile();
        held.lock();
    }
}

void CAudioThread::Run(const std::function<void()>& work, const std::function<void()>& meanwhile)
{
    Start(work);
    Join(meanwhile);
}

bool CAudioThread::WaitForProcess(int limitMs) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!inProcess.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::yield();
    }
    return true;
}
