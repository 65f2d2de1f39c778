#include "tests/plugins/PluginKit.h"

#include <dlfcn.h>
#include <fenv.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <xmmintrin.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

void* ServerHandleArgument(int position)
{
    // The command line is in /proc: NUL-separated arguments.
    std::vector<char> text(1 << 16);
    FILE* file = std::fopen("/proc/self/cmdline", "rb");
    const size_t length = file ? std::fread(text.data(), 1, text.size() - 1, file) : 0;
    if (file) std::fclose(file);
    text[length] = '\0';
    size_t at = 0;
    for (int i = 0; i < position && at < length; ++i) at += std::strlen(text.data() + at) + 1;
    const unsigned long long value = at < length ? std::strtoull(text.data() + at, nullptr, 16) : 0;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(value));
}

void WriteToServerOutput(const char* text)
{
    const int output = static_cast<int>(reinterpret_cast<uintptr_t>(ServerHandleArgument(2)));
    (void)!write(output, text, std::strlen(text));
}

void LoadLibraryBeside(const char* relativePath)
{
    Dl_info self{};
    if (!dladdr(reinterpret_cast<void*>(&LoadLibraryBeside), &self) || !self.dli_fname) return;
    std::string path = self.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + relativePath;
    dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void KeepLoaded()
{
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&KeepLoaded), &self) && self.dli_fname)
        dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

void HangForEver()
{
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

void PauseMs(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void RunOnNewThread(void (*work)(), bool wait)
{
    std::thread thread(work);
    if (wait) thread.join();
    else thread.detach();
}

void EndProcess(int code) { _exit(code); }

std::string ProcessStateText()
{
    char text[512];
    const mode_t mask = umask(022);
    umask(mask);
    sigset_t blocked;
    pthread_sigmask(SIG_SETMASK, nullptr, &blocked);
    int blockedCount = 0;
    for (int signal = 1; signal < NSIG; ++signal) blockedCount += sigismember(&blocked, signal) == 1;
    struct sigaction segv {};
    sigaction(SIGSEGV, nullptr, &segv);
    uint16_t x87 = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(x87));
    char folder[256] = "";
    (void)!getcwd(folder, sizeof(folder));
    std::snprintf(text, sizeof(text), "%.1f %04x %04x %03o %d %p %s", 0.5, _mm_getcsr() & ~0x3Fu, x87,
                  static_cast<unsigned>(mask), blockedCount, reinterpret_cast<void*>(segv.sa_sigaction), folder);
    return text;
}

void SpoilProcess()
{
    // As a toolkit does when it starts under LANG=de_DE.UTF-8.
    setlocale(LC_ALL, "de_DE.UTF-8");
    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush denormals, as -ffast-math code does
    // As the system calls themselves, past any function of the C library's a host may watch.
    syscall(SYS_umask, 0777);
    syscall(SYS_chdir, "/");
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    signal(SIGSEGV, SIG_DFL);
    signal(SIGBUS, SIG_DFL);
}
