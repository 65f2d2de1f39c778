// On Windows a plug-in can change, for the whole process: the crash filter, the C runtime's
// locale and umask (a plug-in built with the same runtime as the server shares them), the
// working folder, the error mode, and the floating-point environment. Each is read back and
// written only where it changed; all of it stays in user space but the folder's check.
#include "probe/ProcessGuard.h"

#include <windows.h>

#include <io.h>
#include <locale.h>

#include <string>

#include "probe/FloatEnvironment.h"

namespace {

LPTOP_LEVEL_EXCEPTION_FILTER KeptFilter = nullptr;
std::string KeptLocale = "C";
int KeptUmask = 0;
UINT KeptErrorMode = 0;
std::wstring KeptFolder;

std::wstring CurrentFolder()
{
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, buffer);
    return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

}  // namespace

void KeepProcessState()
{
    KeptFilter = SetUnhandledExceptionFilter(nullptr);
    SetUnhandledExceptionFilter(KeptFilter);
    const char* locale = setlocale(LC_ALL, nullptr);
    KeptLocale = locale ? locale : "C";
    KeptUmask = _umask(0);
    _umask(KeptUmask);
    KeptErrorMode = GetErrorMode();
    KeptFolder = CurrentFolder();
    KeepFloatEnvironment();
}

// Everything is read back after every stretch: all of it is cheap here.
void TakeProcessBack(bool)
{
    RestoreFloatEnvironment();
    SetUnhandledExceptionFilter(KeptFilter);
    const char* locale = setlocale(LC_ALL, nullptr);
    if (locale == nullptr || KeptLocale != locale) setlocale(LC_ALL, KeptLocale.c_str());
    _umask(KeptUmask);
    if (GetErrorMode() != KeptErrorMode) SetErrorMode(KeptErrorMode);
    if (!KeptFolder.empty() && CurrentFolder() != KeptFolder) SetCurrentDirectoryW(KeptFolder.c_str());
}

void KeepThreadState()
{
    // Room for the crash filter when the fault is a stack overflow.
    ULONG guarantee = 64 * 1024;
    SetThreadStackGuarantee(&guarantee);
    RestoreFloatEnvironment();
}

void TakeThreadBack() { RestoreFloatEnvironment(); }
