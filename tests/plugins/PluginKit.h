#pragma once
// What the test plug-ins share: an effect that answers the scanner's questions from a table,
// with a hook for the one behaviour each plug-in exists to show.
#include <cstdint>
#include <string>

#include "probe/vst2/Vst2Abi.h"

#include "tests/plugins/ZooExport.h"

struct CPluginAnswers {
    const char* name = "";
    const char* vendor = "Tessarine Test Zoo";
    const char* product = "";
    int32_t uniqueId = 0;
    int32_t category = kPlugCategEffect;
    int32_t numInputs = 2;
    int32_t numOutputs = 2;
    int32_t flags = effFlagsCanReplacing;
    int32_t vendorVersion = 0;
    intptr_t receiveVstMidiEvent = -1;
    intptr_t receiveVstEvents = -1;
    intptr_t sendVstMidiEvent = -1;
    intptr_t sendVstEvents = -1;
    // Asked first for every opcode; true when it gave the answer itself.
    bool (*special)(AEffect* effect, int32_t opcode, void* pointer, intptr_t* answer) = nullptr;
};

AEffect* CreateZooEffect(const CPluginAnswers& answers, AudioMasterCallback host);

// The host callback the plug-in was created with.
extern AudioMasterCallback ZooHost;

// Makes something the plug-in saw visible in the scanner's trace: the host logs every
// capability question, so the plug-in asks one that carries the message.
void TellHost(const char* message);

// A real access violation (a plain null store may be turned into a trap instruction).
void WriteThroughNull();

// One of the pipe handles the host gave the server on its command line (1: requests,
// 2: output), as a plug-in that goes looking for them finds it.
void* ServerHandleArgument(int position);
// Writes straight into the server's output pipe, around the server.
void WriteToServerOutput(const char* text);
// Loads a library by a path relative to the plug-in's own folder, and never frees it.
void LoadLibraryBeside(const char* relativePath);
// Pins the plug-in's library, as plug-ins that keep their own threads do: FreeLibrary leaves it.
void KeepLoaded();

// What the behaviours need of the system, the same on every platform.
[[noreturn]] void HangForEver();
void PauseMs(int milliseconds);
// Runs `work` on a thread of its own; waits for it to end when `wait`.
void RunOnNewThread(void (*work)(), bool wait);
// Ends the whole process at once with `code`.
[[noreturn]] void EndProcess(int code);

// What a plug-in sees of the process that the one before it may have changed: the numeric
// locale (as a formatted 0.5), the floating-point control registers, the umask, the blocked
// signals or error mode, the crash handler and the working folder. For a witness plug-in.
std::string ProcessStateText();
// Changes all of it, as careless plug-ins and the toolkits they start do, and leaves it so.
void SpoilProcess();
