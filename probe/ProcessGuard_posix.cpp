// Off Windows a plug-in can change, for the whole process: the action of any signal (the crash
// handlers among them), this thread's signal mask and alternate stack, the umask, the working
// folder, the locale (global, or this thread's with uselocale), and the floating-point
// environment. Each is read back and written only where it changed. The locale and the
// floating-point registers are read without a system call after every stretch. The rest takes
// system calls to read, so the server exports its own sigaction, signal, sigprocmask,
// pthread_sigmask, sigaltstack, umask, chdir and fchdir, which plug-ins' calls bind to: they
// note that the process was touched and forward to the C library's. Those are read back after
// a stretch that touched them, and after every request whatever it did, for a plug-in that
// makes the system call itself.
#include "probe/ProcessGuard.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "probe/FloatEnvironment.h"

namespace {

struct CKeptAction {
    int signal;
    struct sigaction action;
};

// The signals whose action the server set itself: the crash handlers, an ignored SIGPIPE.
std::vector<CKeptAction> KeptActions;
sigset_t KeptMask;
stack_t KeptAlternateStack{};
mode_t KeptUmask = 022;
int KeptFolder = -1;
std::string KeptLocale = "C";

// Set by the exported functions below, cleared by the guard once it has read everything back.
std::atomic<bool> ProcessTouched{true};

// The C library's own definition, behind ours.
template <typename Function>
Function Real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool SameAction(const struct sigaction& a, const struct sigaction& b)
{
    return a.sa_sigaction == b.sa_sigaction && a.sa_flags == b.sa_flags;
}

bool SameMask(const sigset_t& a, const sigset_t& b)
{
    for (int signal = 1; signal < NSIG; ++signal)
        if (sigismember(&a, signal) != sigismember(&b, signal)) return false;
    return true;
}

}  // namespace

void KeepProcessState()
{
    KeptActions.clear();
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action {};
        if (signal == SIGKILL || signal == SIGSTOP || sigaction(signal, nullptr, &action) != 0) continue;
        if (action.sa_handler != SIG_DFL) KeptActions.push_back({signal, action});
    }
    pthread_sigmask(SIG_SETMASK, nullptr, &KeptMask);
    sigaltstack(nullptr, &KeptAlternateStack);
    KeptUmask = umask(022);
    umask(KeptUmask);
    KeptFolder = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    // The server's own text never depends on the locale; what a plug-in reads of it should
    // not depend on the plug-in before it.
    const char* locale = setlocale(LC_ALL, nullptr);
    KeptLocale = locale ? locale : "C";
    KeepFloatEnvironment();
}

void TakeProcessBack(bool everything)
{
    RestoreFloatEnvironment();
    if (uselocale(nullptr) != LC_GLOBAL_LOCALE) uselocale(LC_GLOBAL_LOCALE);
    const char* locale = setlocale(LC_ALL, nullptr);
    if (locale == nullptr || KeptLocale != locale) setlocale(LC_ALL, KeptLocale.c_str());
    if (!everything && !ProcessTouched.load(std::memory_order_relaxed)) return;

    for (const CKeptAction& kept : KeptActions) {
        struct sigaction now {};
        if (sigaction(kept.signal, nullptr, &now) == 0 && !SameAction(now, kept.action))
            sigaction(kept.signal, &kept.action, nullptr);
    }
    sigset_t mask;
    if (pthread_sigmask(SIG_SETMASK, nullptr, &mask) == 0 && !SameMask(mask, KeptMask))
        pthread_sigmask(SIG_SETMASK, &KeptMask, nullptr);
    stack_t stack{};
    if (KeptAlternateStack.ss_sp != nullptr && sigaltstack(nullptr, &stack) == 0 &&
        (stack.ss_sp != KeptAlternateStack.ss_sp || stack.ss_size != KeptAlternateStack.ss_size ||
         (stack.ss_flags & SS_DISABLE)))
        sigaltstack(&KeptAlternateStack, nullptr);
    umask(KeptUmask);  // reading it is writing it
    if (KeptFolder >= 0) (void)!fchdir(KeptFolder);
    ProcessTouched = false;  // the writes above are the guard's own
}

namespace {

constexpr size_t kThreadAlternateStack = 256 * 1024;
thread_local std::vector<char> ThreadAlternateStack;

}  // namespace

void KeepThreadState()
{
    // A fault that ran out of the thread's stack still reaches the crash handler.
    ThreadAlternateStack.assign(kThreadAlternateStack, 0);
    stack_t stack{};
    stack.ss_sp = ThreadAlternateStack.data();
    stack.ss_size = ThreadAlternateStack.size();
    sigaltstack(&stack, nullptr);
    RestoreFloatEnvironment();
}

void TakeThreadBack()
{
    RestoreFloatEnvironment();
    if (uselocale(nullptr) != LC_GLOBAL_LOCALE) uselocale(LC_GLOBAL_LOCALE);
    // The main thread's guard clears the mark of a touched process: each thread reads its own.
    sigset_t mask;
    if (pthread_sigmask(SIG_SETMASK, nullptr, &mask) == 0 && !SameMask(mask, KeptMask))
        pthread_sigmask(SIG_SETMASK, &KeptMask, nullptr);
    stack_t stack{};
    if (!ThreadAlternateStack.empty() && sigaltstack(nullptr, &stack) == 0 &&
        (stack.ss_sp != ThreadAlternateStack.data() || (stack.ss_flags & SS_DISABLE))) {
        stack.ss_sp = ThreadAlternateStack.data();
        stack.ss_size = ThreadAlternateStack.size();
        stack.ss_flags = 0;
        sigaltstack(&stack, nullptr);
    }
}

// The functions plug-ins' calls bind to. Each has the C library's signature and forwards to it.
extern "C" {

__attribute__((visibility("default"))) int sigaction(int signal, const struct sigaction* action, struct sigaction* old) noexcept
{
    static const auto real = Real<int (*)(int, const struct sigaction*, struct sigaction*)>("sigaction");
    if (action) ProcessTouched = true;
    return real(signal, action, old);
}

__attribute__((visibility("default"))) sighandler_t signal(int signal, sighandler_t handler) noexcept
{
    static const auto real = Real<sighandler_t (*)(int, sighandler_t)>("signal");
    ProcessTouched = true;
    return real(signal, handler);
}

__attribute__((visibility("default"))) int sigprocmask(int how, const sigset_t* set, sigset_t* old) noexcept
{
    static const auto real = Real<int (*)(int, const sigset_t*, sigset_t*)>("sigprocmask");
    if (set) ProcessTouched = true;
    return real(how, set, old);
}

__attribute__((visibility("default"))) int pthread_sigmask(int how, const sigset_t* set, sigset_t* old) noexcept
{
    static const auto real = Real<int (*)(int, const sigset_t*, sigset_t*)>("pthread_sigmask");
    if (set) ProcessTouched = true;
    return real(how, set, old);
}

__attribute__((visibility("default"))) int sigaltstack(const stack_t* stack, stack_t* old) noexcept
{
    static const auto real = Real<int (*)(const stack_t*, stack_t*)>("sigaltstack");
    if (stack) ProcessTouched = true;
    return real(stack, old);
}

__attribute__((visibility("default"))) mode_t umask(mode_t mask) noexcept
{
    static const auto real = Real<mode_t (*)(mode_t)>("umask");
    ProcessTouched = true;
    return real(mask);
}

__attribute__((visibility("default"))) int chdir(const char* path) noexcept
{
    static const auto real = Real<int (*)(const char*)>("chdir");
    ProcessTouched = true;
    return real(path);
}

__attribute__((visibility("default"))) int fchdir(int folder) noexcept
{
    static const auto real = Real<int (*)(int)>("fchdir");
    ProcessTouched = true;
    return real(folder);
}

}  // extern "C"
