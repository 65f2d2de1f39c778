#pragma once
// While a check runs plug-in code on two threads at once (its audio thread and the main
// thread), a crash says which of them it came on, in a line of its own before the server ends.

constexpr char kCrashedOnAudioThread[] = "info:Crashed on the audio thread";
constexpr char kCrashedOnMainThread[] = "info:Crashed on the main thread";

// The line for a crash, with its line end; null when only one thread ran plug-in code.
inline const char* CrashThreadLine(bool bothThreadsRun, bool onAudioThread)
{
    if (!bothThreadsRun) return nullptr;
    return onAudioThread ? "info:Crashed on the audio thread\n" : "info:Crashed on the main thread\n";
}
