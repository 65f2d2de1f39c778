// Crashes on Linux: a fatal signal in plug-in code is caught on an alternate stack (so that a
// stack overflow is caught too), the dump is written by a thread prepared at start-up, and the
// process ends with the crash exit code. The handler only takes a lock, copies what the signal
// gives and wakes the writer through a pipe: all of it async-signal-safe. The writer reads
// /proc/self/maps and writes the file with system calls alone, into memory reserved at
// start-up, since the crashed thread may hold the heap's lock.
#include "server/CrashDump.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "probe/AudioThread.h"
#include "probe/vst2/GuardedCall.h"
#include "protocol/CrashThread.h"
#include "protocol/LogLine.h"
#include "protocol/Platform.h"
#include "protocol/SignalCode.h"
#include "protocol/Utf8.h"
#include "server/DumpFileName.h"
#include "server/MinidumpBuilder.h"
#include "server/ProcessMaps.h"

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP};
constexpr size_t kAlternateStackSize = 256 * 1024;
constexpr size_t kMapsCapacity = 4 << 20;
constexpr size_t kMostFiles = 4096;
constexpr size_t kDumpCapacity = 8 << 20;
constexpr size_t kMostStackBytes = 1024 * 1024;  // up to the stack's top: readers unwind to main
constexpr uint64_t kRedZone = 128;  // below the stack pointer, which leaf functions use
// A fault this close below the stack pointer is the stack running out.
constexpr uint64_t kOverflowReach = 64 * 1024;

std::u16string DumpBaseName;
std::u16string CrashFolder;
// Everything the writer needs is sized before a crash.
std::vector<char16_t> DumpPathBuffer;
std::vector<char> DumpPathUtf8;
std::vector<char> MapsText;
std::vector<CMappedFile> Files;
std::vector<uint8_t> DumpBytes;
char SystemName[256] = "Linux";

// What the faulting thread hands over.
struct CPendingCrash {
    int signal = 0;
    pid_t threadId = 0;
    const char* threadLine = nullptr;  // which thread, when two ran plug-in code
    siginfo_t info{};
    ucontext_t context{};
};
CPendingCrash Pending;
std::atomic<bool> Crashing{false};
pthread_t WriterThread;
int WakeWriter[2] = {-1, -1};
int DumpDone[2] = {-1, -1};
// Opened before any plug-in code runs, so that a plug-in that used up the descriptors still
// leaves a dump behind: the maps are read again from the start, the spare makes room for the file.
int MapsFile = -1;
int SpareDescriptor = -1;
// A child a plug-in forked inherits the handler: its faults are its own, not the server's.
pid_t ServerProcessId = 0;

pid_t CurrentThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// UTF-16 to UTF-8 for the file system, into a buffer sized beforehand.
void ToUtf8Path(const char16_t* path, char* out, size_t capacity)
{
    size_t used = 0;
    for (size_t i = 0; path[i] != u'\0'; ++i) {
        uint32_t code = path[i];
        if (code >= 0xD800 && code < 0xDC00 && path[i + 1] >= 0xDC00 && path[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (path[++i] - 0xDC00);
        char bytes[4];
        size_t count = 0;
        if (code < 0x80) bytes[count++] = static_cast<char>(code);
        else if (code < 0x800) {
            bytes[count++] = static_cast<char>(0xC0 | code >> 6);
            bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes[count++] = static_cast<char>(0xE0 | code >> 12);
            bytes[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes[count++] = static_cast<char>(0xF0 | code >> 18);
            bytes[count++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes[count++] = static_cast<char>(0x80 | (code & 0x3F));
        }
        if (used + count >= capacity) break;
        std::memcpy(out + used, bytes, count);
        used += count;
    }
    out[used] = '\0';
}

size_t ReadMaps()
{
    if (MapsFile < 0 || lseek(MapsFile, 0, SEEK_SET) != 0) return 0;
    size_t used = 0;
    for (;;) {
        const ssize_t got = read(MapsFile, MapsText.data() + used, MapsText.size() - used);
        if (got <= 0) break;
        used += static_cast<size_t>(got);
    }
    return used;
}

bool IsRuntimeLibrary(const CMappedFile& file)
{
    static const char* const kRuntime[] = {"/libc.so", "/libstdc++.so", "/libgcc_s.so", "/libm.so", "/ld-linux", "/libpthread.so"};
    for (const char* name : kRuntime) {
        const size_t length = std::strlen(name);
        for (size_t i = 0; i + length <= file.pathLength; ++i)
            if (std::memcmp(file.path + i, name, length) == 0) return true;
    }
    return false;
}

const CMappedFile* FileAt(size_t count, uint64_t address)
{
    for (size_t i = 0; i < count; ++i)
        if (address >= Files[i].begin && address < Files[i].end) return &Files[i];
    return nullptr;
}

// abort() stops in the C library, called from the code that gave up: the first return address
// on the stack into code that is not the runtime's names the library the crash is that of.
uint64_t CallerOutsideRuntime(size_t fileCount, const uint8_t* stack, size_t size, uint64_t fallback)
{
    for (size_t at = 0; at + 8 <= size; at += 8) {
        uint64_t word;
        std::memcpy(&word, stack + at, 8);
        const CMappedFile* file = FileAt(fileCount, word);
        if (file && file->executable && !IsRuntimeLibrary(*file)) return word;
    }
    return fallback;
}

CAmd64Registers RegistersOf(const ucontext_t& context)
{
    const greg_t* g = context.uc_mcontext.gregs;
    const auto u = [&](int index) { return static_cast<uint64_t>(g[index]); };
    CAmd64Registers r{};
    r.rax = u(REG_RAX), r.rcx = u(REG_RCX), r.rdx = u(REG_RDX), r.rbx = u(REG_RBX), r.rsp = u(REG_RSP);
    r.rbp = u(REG_RBP), r.rsi = u(REG_RSI), r.rdi = u(REG_RDI), r.r8 = u(REG_R8), r.r9 = u(REG_R9);
    r.r10 = u(REG_R10), r.r11 = u(REG_R11), r.r12 = u(REG_R12), r.r13 = u(REG_R13), r.r14 = u(REG_R14);
    r.r15 = u(REG_R15), r.rip = u(REG_RIP);
    r.eflags = static_cast<uint32_t>(g[REG_EFL]);
    const uint64_t segments = u(REG_CSGSFS);
    r.cs = static_cast<uint16_t>(segments), r.gs = static_cast<uint16_t>(segments >> 16);
    r.fs = static_cast<uint16_t>(segments >> 32);
    return r;
}

void WriteDump()
{
    const size_t mapsLength = ReadMaps();
    const size_t fileCount = ParseMappedFiles(MapsText.data(), mapsLength, Files.data(), Files.size());

    CCrashFacts facts;
    facts.threadId = static_cast<uint32_t>(Pending.threadId);
    facts.registers = RegistersOf(Pending.context);
    const uint64_t accessed = reinterpret_cast<uint64_t>(Pending.info.si_addr);
    const uint64_t rsp = facts.registers.rsp;
    const bool overflow = (Pending.signal == SIGSEGV || Pending.signal == SIGBUS) && accessed < rsp + 4096 &&
                          rsp - accessed < kOverflowReach;
    facts.signal = static_cast<uint32_t>(Pending.signal);
    facts.signalCode = static_cast<uint32_t>(Pending.info.si_code);
    facts.exceptionCode = ExceptionCodeOfSignal(Pending.signal, Pending.info.si_code, overflow);
    facts.accessedAddress = accessed;
    facts.timeStamp = static_cast<uint32_t>(time(nullptr));
    facts.files = Files.data();
    facts.fileCount = fileCount;
    facts.processors = static_cast<uint8_t>(sysconf(_SC_NPROCESSORS_ONLN));
    facts.system = SystemName;
    // The stack from just below its pointer, as far as it is mapped.
    const uint64_t start = rsp > kRedZone ? rsp - kRedZone : rsp;
    const uint64_t end = MappingEndAt(MapsText.data(), mapsLength, start);
    if (end > start) {
        facts.stackStart = start;
        facts.stack = reinterpret_cast<const uint8_t*>(start);
        facts.stackSize = static_cast<size_t>(end - start < kMostStackBytes ? end - start : kMostStackBytes);
    }
    facts.exceptionAddress = facts.registers.rip;
    if (Pending.signal == SIGABRT)
        facts.exceptionAddress = CallerOutsideRuntime(fileCount, facts.stack, facts.stackSize, facts.registers.rip);

    const size_t size = BuildMinidump(facts, DumpBytes.data(), DumpBytes.size());
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const CDumpTime when{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
    if (size == 0 || !FormatDumpPath(DumpPathBuffer.data(), DumpPathBuffer.size(), CrashFolder.c_str(),
                                     DumpBaseName.c_str(), when, u'/'))
        return;
    ToUtf8Path(DumpPathBuffer.data(), DumpPathUtf8.data(), DumpPathUtf8.size());
    if (SpareDescriptor >= 0) close(SpareDescriptor);
    const int file = open(DumpPathUtf8.data(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) return;
    fchmod(file, 0644);  // whatever umask the plug-in left
    for (size_t written = 0; written < size;) {
        const ssize_t done = write(file, DumpBytes.data() + written, size - written);
        if (done <= 0) break;
        written += static_cast<size_t>(done);
    }
    close(file);
}

void* DumpWriterMain(void*)
{
    char byte;
    while (read(WakeWriter[0], &byte, 1) != 1) {}
    WriteDump();
    if (Pending.threadLine) WriteOutput(Pending.threadLine, strlen(Pending.threadLine));
    const char done = 1;
    (void)!write(DumpDone[1], &done, 1);
    return nullptr;
}

// The fault is raised again with the system's own action once this handler returns.
void EndAsTheSystemWould(int signal)
{
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigaction(signal, &standard, nullptr);
    raise(signal);
}

void HandleCrash(int signal, siginfo_t* info, void* context)
{
    if (static_cast<pid_t>(syscall(SYS_getpid)) != ServerProcessId) return EndAsTheSystemWould(signal);
    // A guarded call's fault goes back to the call.
    LeaveGuardedCall(signal, info->si_code);
    if (CrashFolder.empty() || pthread_equal(pthread_self(), WriterThread)) _exit(kCrashExitCode);
    // A second thread that crashes meanwhile waits here until the process is ended: one dump.
    if (Crashing.exchange(true)) {
        for (;;) pause();
    }
    Pending.signal = signal;
    Pending.threadId = CurrentThreadId();
    Pending.threadLine = CrashThreadLine(BothThreadsRun.load(), OnAudioThread());
    Pending.info = *info;
    std::memcpy(&Pending.context, context, sizeof(ucontext_t));
    const char wake = 1;
    (void)!write(WakeWriter[1], &wake, 1);
    char done;
    while (read(DumpDone[0], &done, 1) < 0) {}
    _exit(kCrashExitCode);
}

}  // namespace

void InitCrashHandling()
{
    ServerProcessId = getpid();
    MapsFile = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    SpareDescriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
    DumpBaseName = u"ScanServer-";
    DumpBaseName += kPlatformName;
    // The main thread's alternate stack: a handler still runs after its stack ran out.
    static std::vector<char> alternate(kAlternateStackSize);
    stack_t stack{};
    stack.ss_sp = alternate.data();
    stack.ss_size = alternate.size();
    sigaltstack(&stack, nullptr);
    tzset();  // the time zone is read now, not by the writer
    MapsText.resize(kMapsCapacity);
    Files.resize(kMostFiles);
    DumpBytes.resize(kDumpCapacity);
    utsname system{};
    if (uname(&system) == 0) {
        std::string text = std::string(system.sysname) + " " + system.release + " " + system.version;
        std::strncpy(SystemName, text.c_str(), sizeof(SystemName) - 1);
    }
    if (pipe2(WakeWriter, O_CLOEXEC) == 0 && pipe2(DumpDone, O_CLOEXEC) == 0)
        pthread_create(&WriterThread, nullptr, DumpWriterMain, nullptr);
    RestoreCrashFilter();
}

void SetCrashFolder(const char16_t* folder)
{
    CrashFolder = folder;
    DumpPathBuffer.assign(CrashFolder.size() + DumpBaseName.size() + kDumpNameFixedUnits, u'\0');
    DumpPathUtf8.assign(DumpPathBuffer.size() * 3 + 1, '\0');
}

void RestoreCrashFilter()
{
    struct sigaction action {};
    action.sa_sigaction = HandleCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFatalSignals) sigaction(signal, &action, nullptr);
}
