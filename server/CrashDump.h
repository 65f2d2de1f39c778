#pragma once
// A crash in plug-in code ends the server with a minidump and exit code 9, so that the host
// can tell a crash from any other end and name the library the fault was in.

// Exit code of a server ended by a fault that nothing handled.
constexpr int kCrashExitCode = 9;

void InitCrashHandling();
// The folder for minidumps; empty means a crash writes none.
void SetCrashFolder(const char16_t* folder);
// Installs our crash handling again, replacing any a plug-in installed for itself.
void RestoreCrashFilter();
