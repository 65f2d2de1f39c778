#include "probe/clap/ClapHostExtensions.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "probe/AudioThread.h"
#include "probe/EditorEvents.h"
#include "protocol/OutputChannel.h"

using namespace clap;

namespace {

constexpr size_t kMostTimers = 64;
constexpr uint32_t kShortestTimerMs = 10;
constexpr size_t kLongestLogLine = 4096;

std::thread::id MainThread;

struct CClapTimer {
    uint32_t id;
    uint32_t periodMs;
    uint64_t due;  // on the steady clock, in ms
};
std::vector<CClapTimer> Timers;

uint64_t NowMs()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}
uint32_t NextTimerId = 1;

// Log lines go where a plug-in's own printing goes: the console the host keeps for it.
void Log(const Host*, int32_t severity, const char* message)
{
    static const char* const kSeverities[] = {"debug", "info", "warning", "error", "fatal", "host misbehaving", "plug-in misbehaving"};
    std::string line = "clap.log ";
    line += severity >= 0 && severity < 7 ? kSeverities[severity] : "?";
    line += ": ";
    if (message) line.append(message, strnlen(message, kLongestLogLine));
    line += '\n';
    WriteStandardError(line.data(), line.size());
}
const HostLog LogExtension{Log};

bool IsMainThread(const Host*) { return std::this_thread::get_id() == MainThread; }
bool IsAudioThread(const Host*) { return OnAudioThread(); }
const HostThreadCheck ThreadCheckExtension{IsMainThread, IsAudioThread};

void Nothing(const Host*) {}
void NothingFlags(const Host*, uint32_t) {}
void NothingCleared(const Host*, uint32_t, uint32_t) {}
// Parameter values reach the plug-in in every block the check processes: a flush it asks for
// comes with the next one.
const HostParams ParamsExtension{NothingFlags, NothingCleared, Nothing};
const HostChanged ChangedExtension{Nothing};

bool Granted(const Host*) { return true; }
bool ResizeGranted(const Host*, uint32_t, uint32_t) { return true; }
void Closed(const Host*, bool) {}
const HostGui GuiExtension{Nothing, ResizeGranted, Granted, Granted, Closed};

bool NoRescanFlag(const Host*, uint32_t) { return false; }
const HostAudioPorts AudioPortsExtension{NoRescanFlag, NothingFlags};
uint32_t Dialects(const Host*) { return kNoteDialectClap | kNoteDialectMidi; }
const HostNotePorts NotePortsExtension{Dialects, NothingFlags};

bool RegisterTimer(const Host*, uint32_t periodMs, uint32_t* timerId)
{
    if (timerId == nullptr) return false;
    *timerId = kInvalidId;
    if (Timers.size() >= kMostTimers) return false;
    const uint32_t period = periodMs < kShortestTimerMs ? kShortestTimerMs : periodMs;
    Timers.push_back({NextTimerId, period, NowMs() + period});
    *timerId = NextTimerId++;
    return true;
}
bool UnregisterTimer(const Host*, uint32_t timerId)
{
    for (auto timer = Timers.begin(); timer != Timers.end(); ++timer)
        if (timer->id == timerId) {
            Timers.erase(timer);
            return true;
        }
    return false;
}
const HostTimerSupport TimerExtension{RegisterTimer, UnregisterTimer};

// Descriptors go to the editor loop, which hands their readiness back to the plug-in whose
// editor is open.
const Plugin* EditorPlugin = nullptr;
const int FdOwner = 0;

void FdReady(int fd)
{
    if (EditorPlugin == nullptr) return;
    const auto* support = static_cast<const PluginPosixFdSupport*>(EditorPlugin->getExtension(EditorPlugin, kPosixFdSupportId));
    if (support && support->onFd) support->onFd(EditorPlugin, fd, kPosixFdRead);
}
bool RegisterFd(const Host*, int fd, uint32_t)
{
    if (fd < 0) return false;
    RemoveEditorFds(&FdOwner, fd);
    AddEditorFd(&FdOwner, fd, [fd] { FdReady(fd); });
    return true;
}
bool ModifyFd(const Host*, int fd, uint32_t) { return fd >= 0; }
bool UnregisterFd(const Host*, int fd)
{
    RemoveEditorFds(&FdOwner, fd);
    return true;
}
const HostPosixFdSupport PosixFdExtension{RegisterFd, ModifyFd, UnregisterFd};

struct CExtension {
    const char* id;
    const void* extension;
};
const CExtension kExtensions[] = {
    {"clap.log", &LogExtension},           {"clap.thread-check", &ThreadCheckExtension},
    {"clap.params", &ParamsExtension},     {"clap.state", &ChangedExtension},
    {"clap.latency", &ChangedExtension},   {"clap.tail", &ChangedExtension},
    {"clap.gui", &GuiExtension},           {"clap.audio-ports", &AudioPortsExtension},
    {"clap.note-ports", &NotePortsExtension}, {"clap.timer-support", &TimerExtension},
    {"clap.posix-fd-support", &PosixFdExtension},
};

}  // namespace

const void* ClapHostExtension(const Host*, const char* id)
{
    if (id == nullptr) return nullptr;
    for (const CExtension& known : kExtensions)
        if (std::strcmp(known.id, id) == 0) return known.extension;
    return nullptr;
}

void SetClapMainThread() { MainThread = std::this_thread::get_id(); }

void SetClapEditorPlugin(const Plugin* plugin)
{
    EditorPlugin = plugin;
    if (plugin == nullptr) RemoveEditorFds(&FdOwner);
}


void FireClapTimers(const Plugin* plugin)
{
    if (Timers.empty()) return;
    const auto* support = static_cast<const PluginTimerSupport*>(plugin->getExtension(plugin, kTimerSupportId));
    if (support == nullptr || support->onTimer == nullptr) return;
    const uint64_t now = NowMs();
    // By id, since a timer may unregister itself or others while it runs.
    std::vector<uint32_t> due;
    for (CClapTimer& timer : Timers)
        if (timer.due <= now) {
            due.push_back(timer.id);
            timer.due = now + timer.periodMs;
        }
    for (uint32_t id : due) {
        const bool registered = std::any_of(Timers.begin(), Timers.end(), [&](const CClapTimer& timer) { return timer.id == id; });
        if (registered) support->onTimer(plugin, id);
    }
}

int ForgetClapTimers()
{
    const int left = static_cast<int>(Timers.size());
    Timers.clear();
    return left;
}
