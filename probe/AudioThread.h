#pragma once
// Who runs what on which thread during a check. A host has an audio thread that processes
// while its main thread runs the editor, takes the user's edits and saves the session; the
// races between them are what crashes sessions, so a check does the same:
// - the audio thread (this class) runs every start of processing, process call and stop of
//   processing, stage by stage as it is handed them;
// - the main thread (the server's own) does everything else: creating, activating, parameter
//   information, saving and loading, the editor, messages and timers;
// - what one thread passes the other goes through a CValueHandOver: edits the main thread makes
//   for the next block, values the audio thread reports for the controller.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// True while plug-in code may run on both threads at once: a crash then says its thread.
extern std::atomic<bool> BothThreadsRun;

// Whether the caller is a check's audio thread; a crash handler may ask.
bool OnAudioThread();

// Parameter values from one thread to the other: one adds, the other takes them all. Only the
// host's code takes the lock, never around a call into the plug-in.
class CValueHandOver {
public:
    void Add(uint32_t id, double value);
    void TakeAll(std::vector<std::pair<uint32_t, double>>& into);

private:
    std::mutex lock;
    std::vector<std::pair<uint32_t, double>> values;
};

class CAudioThread {
public:
    CAudioThread();
    ~CAudioThread();
    CAudioThread(const CAudioThread&) = delete;
    CAudioThread& operator=(const CAudioThread&) = delete;

    // Runs `work` on the audio thread and waits for its end, doing `meanwhile` on the main
    // thread (messages, the plug-in's main-thread work) every few milliseconds until then.
    void Run(const std::function<void()>& work, const std::function<void()>& meanwhile);
    // Starts `work` on the audio thread and returns at once; `Join` waits for it as `Run` does.
    void Start(std::function<void()> work);
    void Join(const std::function<void()>& meanwhile);

    // Set by the audio thread around each call of process: the main thread's edits of a session
    // wait for it, so that they meet a process call under way.
    std::atomic<bool> inProcess{false};
    // Asks work that loops over blocks to end.
    std::atomic<bool> stopAsked{false};

    // Waits, up to `limitMs`, until the audio thread is inside process; false when it never was.
    bool WaitForProcess(int limitMs) const;

private:
    void Main();

    std::mutex lock;
    std::condition_variable changed;
    std::function<void()> job;
    bool busy = false, ending = false;
    std::thread thread;
};
