// The scan server's process entry: start-up, one of the two loops, shutdown.
#include <windows.h>
#include <shellapi.h>

#include "probe/ProbeState.h"
#include "probe/ProcessGuard.h"
#include "probe/ScanDriver.h"
#include "protocol/HexArgument.h"
#include "protocol/LogLine.h"
#include "protocol/OutputChannel.h"
#include "protocol/Platform.h"
#include "server/CrashDump.h"
#include "server/MessageLoop.h"
#include "server/RequestLoop.h"
#include "splash/SplashWindow.h"

namespace {

// Critical-error and file-not-found message boxes would wait for a click nobody gives;
// the setting holds for every plug-in the server loads too. A crash that reaches no filter of
// ours (a plug-in removed it) ends the process with its exception code, without the system's
// "stopped working" window waiting for a click (Wine prints its own line on standard error
// for such a crash whatever the mode).
constexpr UINT kQuietErrorMode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX;

uint64_t HexArgument(wchar_t** arguments, int count, int position)
{
    return position < count ? ParseHexArgument(reinterpret_cast<const char16_t*>(arguments[position])) : 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    InitCrashHandling();

    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const uint64_t requestHandle = HexArgument(arguments, count, 1);
    const uint64_t outputHandle = HexArgument(arguments, count, 2);
    const uint64_t referenceWindow = HexArgument(arguments, count, 3);
    // Nothing a plug-in starts may hold our pipe ends: the host must see them close with us.
    for (uint64_t handle : {requestHandle, outputHandle})
        if (handle) SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    if (count > 4 && arguments[4][0] != L'\0') SetCrashFolder(reinterpret_cast<const char16_t*>(arguments[4]));
    LocalFree(arguments);

    const SplashSession splash = StartSplashGraphics();
    InputChannel = static_cast<intptr_t>(requestHandle);
    OutputChannel = static_cast<intptr_t>(outputHandle);
    CreateSplashWindow(instance, reinterpret_cast<HWND>(referenceWindow));
    ProbeHooks = {DispatchPendingMessages, ActivateSplashWindow};
    LogInfo(u"Tessarine Plugin Scan Server (%s)\n", kPlatformName);

    if (InputChannel != 0) SetErrorMode(kQuietErrorMode);
    KeepProcessState();
    if (InputChannel == 0) RunMessageLoop();
    else RunRequestLoop();

    FreeCachedLibrary();
    DestroySplashWindow();
    StopSplashGraphics(splash);
    return 0;
}
