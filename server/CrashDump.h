#pragma once
#include <windows.h>

// Exit code of a server ended by an exception that nothing handled.
constexpr UINT kCrashExitCode = 9;

void InitCrashHandling();
// The folder for minidumps; empty means a crash writes none.
void SetCrashFolder(const wchar_t* folder);
LONG WINAPI CrashFilter(EXCEPTION_POINTERS* exception);
// Installs CrashFilter again, replacing any filter a plug-in installed for itself.
void RestoreCrashFilter();
