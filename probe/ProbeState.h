#pragma once
// The probe's process-wide state. The server serves one request at a time on one thread, so
// plain variables do; each says who sets it and who reads it.
#include <cstdint>
#include <string>

// The sub-plug-in the current request names: set by the driver only while the probe runs,
// given to a shell that asks for audioMasterCurrentId in its entry point.
extern int32_t CurrentShellId;
// Cleared by the probe before the entry point, set when the plug-in calls audioMasterWantMidi.
extern bool PluginWantsMidi;
// What a check runs the plug-in at, for a VST 2 plug-in that asks its host: set by the check
// for each setting, 0 outside them (the scan's fixed answers then hold).
extern double CheckSampleRate;
extern int32_t CheckBlockSize;

// The library kept loaded for a shell's sub-plug-ins (an HMODULE) and its path exactly as
// requested: the driver keeps, re-uses and frees it; the process entry frees it at shutdown.
extern void* CachedLibrary;
extern std::u16string CachedLibraryPath;

// What the probe needs of the process around it, handed over by the process entry at
// start-up so that the probe includes nothing above it. Each defaults to doing nothing.
struct CProbeHooks {
    void (*dispatchPendingMessages)();  // before and after the plug-in is probed
    void (*activateHostWindow)();       // the splash window, made the active one
};
extern CProbeHooks ProbeHooks;
