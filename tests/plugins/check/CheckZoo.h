#pragma once
// What the check's test plug-ins share, whatever their format: one behaviour each, chosen when
// the plug-in is built (ZOO_CHECK_BEHAVIOUR), and the sound they make. An effect scales its
// input by its gain; an instrument plays a sine while a note is held, and fades within 20 ms
// after it ends. Two parameters, gain and drive, both 0..1; the state is their values.
// Several behaviours are those of well-made plug-ins of the well-known frameworks, which a
// check must pass: values taken only in process, hidden parameters, a MIDI effect, a long tail.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <iterator>

#include "tests/plugins/ZooExport.h"

enum class CBehaviour {
    kClean,              // checks clean
    kInstrument,         // an instrument that checks clean
    kCrashAtBlock64,     // a fault in process, only for blocks of 64
    kWritesNan,          // NaN in its output
    kHangsInActivation,  // never returns from activation
    kLosesParameter,     // drive does not keep what it is set to
    kStateDiffers,       // restores another state than it saved
    kEditorCrashes,      // a fault when its editor opens
    kClaimsTooMuch,      // claims 100000 output channels
    kDenormals,          // a denormal number at the end of every block
    kNeverQuiet,         // a hum at -60 dBFS that never stops
    kSilentInstrument,   // an instrument that makes no sound
    kSeparateController, // VST 3: a controller of its own, connected to the component; checks clean
    kValuesOnlyInProcess,  // one object that takes values only in process (VST 3, CLAP); checks clean
    kHiddenParameters,   // hidden and read-only parameters that keep nothing set; checks clean
    kAssertsOnMissingOutputs,  // prints an assertion on every block without output events and changes; checks clean
    kGuiNeedsHost,       // CLAP: an editor that needs the host's gui and timers; checks clean
    kUnicodeClass,       // VST 3: a class listed only in Unicode; checks clean
    kMidiEffect,         // notes in, notes out, no audio; checks clean
    kLongTail,           // rings for 3 s after the input ends and announces no tail; checks clean
    kPrintsEveryBlock,   // prints a line on every process call; checks clean
    kRefusesOwnState,    // refuses to load the state it saved (VST 3, CLAP)
    kRefuses64Bits,      // VST 2: flags 64-bit processing, refuses the precision, writes NaN in 64 bits; checks clean
    kHugeState,          // writes a 300 MB state, ignoring the stream's refusal (VST 3, CLAP)
    kManyBuses,          // 16 buses of 16 channels each way, and a process that returns at once (VST 3, CLAP)
    kStateIgnored,       // its state loads without an error and changes nothing
    kStateSwapped,       // loading its state swaps gain and drive: the same bytes, in another order
    kNoState,            // saves a state of no bytes though a host shows its parameters (VST 3, CLAP)
    kRingsForever,       // a comb of gain 1, never cleared on activation: what it had rings for ever
    kDcOnOneChannel,     // a noise of its own on the first output, a constant level on the second
    kNotesInNothingOut,  // takes notes, and has neither audio nor note output
    kXmlState,           // its state is XML whose elements come in another order on every save; checks clean
    kSnapsToSteps,       // its values snap to quarters, stepped as its format says; checks clean
    kProgramsSetParameters,  // four programs, each setting gain and drive (VST 2, VST 3); checks clean
    kAutomatableReadOnly,    // a read-only meter flagged automatable (VST 3, CLAP)
    kCrashOnOffsetAutomation,  // a fault when a value comes inside a block, at an offset above 0 (VST 3, CLAP)
    kCrashOnOverlap,     // a fault when a value is set from the main thread while process runs (VST 2, VST 3)
    kNanForSomeValues,   // NaN in its output while drive lies between 0.75 and 0.95
    kCrashOnProgram3,    // a fault when program 3 is chosen (VST 2, VST 3)
    kCrashOnSaveWhileProcessing,  // a fault when its state is saved while process runs
    kEditorCrashesWithAudio,      // a fault in process while its editor is open
    kBusesRefuseMono,    // takes its main buses in stereo only (VST 3, CLAP); checks clean
    kCrashInStereoToMono,  // takes any layout, and faults in process in stereo in, mono out (VST 3, CLAP)
};

constexpr CBehaviour kBehaviour = static_cast<CBehaviour>(ZOO_CHECK_BEHAVIOUR);
constexpr bool kInstrument = kBehaviour == CBehaviour::kInstrument || kBehaviour == CBehaviour::kSilentInstrument;
constexpr bool kMidiEffect = kBehaviour == CBehaviour::kMidiEffect;
constexpr bool kNotesOnly = kBehaviour == CBehaviour::kNotesInNothingOut;
constexpr bool kTakesNotes = kInstrument || kMidiEffect || kNotesOnly;
constexpr int kInputChannels = kInstrument || kMidiEffect || kNotesOnly ? 0 : 2;
constexpr int kOutputChannels = kBehaviour == CBehaviour::kClaimsTooMuch ? 100000 : kMidiEffect || kNotesOnly ? 0 : 2;
// Audio buses each way, and the channels of each: the host fills and watches many buffers for a
// plug-in that does nothing with them.
constexpr bool kManyBuses = kBehaviour == CBehaviour::kManyBuses;
constexpr int kAudioBuses = kManyBuses ? 16 : 1;
constexpr int kBusChannels = 16;

// Gain and drive; with hidden parameters also a read-only meter, then two hidden ones; with
// programs, the parameter that chooses them (VST 3); with a meter flagged automatable, the meter.
constexpr bool kProgramParameter = kBehaviour == CBehaviour::kProgramsSetParameters || kBehaviour == CBehaviour::kCrashOnProgram3;
constexpr int kParameterCount = kBehaviour == CBehaviour::kHiddenParameters       ? 5
                                : kBehaviour == CBehaviour::kAutomatableReadOnly ? 3
                                                                                  : 2;
constexpr const char* kParameterNames[] = {"Gain", "Drive", "Output Level", "MIDI CC 0", "Current Program"};
inline bool ParameterReadOnly(int index) { return index == 2; }
inline bool ParameterHidden(int index) { return index >= 3; }
constexpr bool kSnaps = kBehaviour == CBehaviour::kSnapsToSteps;
constexpr int kSteps = 4;  // of a parameter that snaps
constexpr double kDefaults[2] = {0.5, kSnaps ? 0.25 : 0.3};
constexpr int kProgramCount = kBehaviour == CBehaviour::kCrashOnProgram3 ? 8 : kProgramParameter ? 4 : 1;

// A plug-in that faults when a call from the main thread meets its process call: process
// waits a little for a main thread that is looking for it, so that the meeting is certain
// whenever the host does call it while processing.
struct CZooOverlap {
    static inline std::atomic<bool> inProcess{false}, wanting{false};
    static inline std::atomic<std::thread::id> processThread{};
    static constexpr bool kWatched = kBehaviour == CBehaviour::kCrashOnOverlap || kBehaviour == CBehaviour::kCrashOnSaveWhileProcessing;

    static bool Meets()
    {
        if (!kWatched || std::this_thread::get_id() == processThread.load()) return false;
        wanting = true;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        while (!inProcess && std::chrono::steady_clock::now() < end) std::this_thread::yield();
        const bool met = inProcess;
        wanting = false;
        return met;
    }
    static void Enter()
    {
        if (!kWatched) return;
        processThread = std::this_thread::get_id();
        inProcess = true;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        while (wanting && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    }
    static void Leave() { inProcess = false; }
};

// Whether the editor is open, for one that faults when audio runs meanwhile.
inline std::atomic<bool> ZooEditorOpen{false};

// A state written in pieces of 1 MiB, 300 MB in all, whatever the stream answers.
template <typename Write>
void WriteHugeState(Write write)
{
    static const uint8_t piece[1 << 20] = {};
    for (int i = 0; i < 300; ++i) write(piece, sizeof(piece));
}

// Through a pointer the compiler cannot see is null: a null it can see lets it drop the path.
inline int* volatile ZooNowhere = nullptr;
inline void FaultHere() { *ZooNowhere = 1; }

inline void HangIfAsked()
{
    if (kBehaviour == CBehaviour::kHangsInActivation)
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

// The channels of the main buses a layout chosen by the host gives, in and out.
struct CZooBuses {
    int channels[2] = {kInputChannels, kOutputChannels};
    // Whether it takes a layout of these main channels (0: the bus it does not have).
    static bool Takes(int in, int out)
    {
        if (kBehaviour == CBehaviour::kCrashInStereoToMono) return (in == 1 || in == 2) && (out == 1 || out == 2);
        if (kBehaviour == CBehaviour::kBusesRefuseMono) return in == kInputChannels && out == kOutputChannels;
        return false;
    }
    void FaultIfStereoToMono() const
    {
        if (kBehaviour == CBehaviour::kCrashInStereoToMono && channels[0] == 2 && channels[1] == 1) FaultHere();
    }
};

struct CZooSound {
    double parameters[2] = {kDefaults[0], kDefaults[1]};  // gain, drive
    int program = 0;
    mutable int saves = 0;
    double sampleRate = 44100;
    double phase = 0, level = 0;
    bool held = false;

    double ring = 0;  // the long tail's
    uint32_t noise = 1;
    // The comb's line, of the process and never cleared: what an earlier instance or setting left rings on.
    static inline double comb[331] = {};
    static inline int combAt = 0;

    double Get(int index) const { return index < 2 ? parameters[index] : index == 2 ? 0.25 : 0; }
    void Set(int index, double value)
    {
        if (index >= 2 || (kBehaviour == CBehaviour::kLosesParameter && index == 1)) return;
        if (kBehaviour == CBehaviour::kCrashOnOverlap && CZooOverlap::Meets()) FaultHere();
        parameters[index] = kSnaps ? std::round(value * kSteps) / kSteps : value;
    }
    // A value that comes inside a block, at `offset`.
    void SetAt(int index, double value, int offset)
    {
        if (kBehaviour == CBehaviour::kCrashOnOffsetAutomation && offset > 0) FaultHere();
        Set(index, value);
    }
    void ChooseProgram(int chosen)
    {
        if (kBehaviour == CBehaviour::kCrashOnProgram3 && chosen == 3) FaultHere();
        program = chosen;
        if (kBehaviour == CBehaviour::kProgramsSetParameters) {
            parameters[0] = 0.2 + 0.2 * chosen;
            parameters[1] = 0.1 * chosen;
        }
    }
    // The state as the format stores it: 16 bytes, or XML as a framework's value tree writes it,
    // its elements in an order that changes from one save to the next.
    std::string StateBytes() const
    {
        if (kBehaviour == CBehaviour::kCrashOnSaveWhileProcessing && CZooOverlap::Meets()) FaultHere();
        if (kBehaviour != CBehaviour::kXmlState) {
            std::string bytes(16, '\0');
            Save(reinterpret_cast<uint8_t*>(bytes.data()));
            return bytes;
        }
        char gain[64], drive[64];
        std::snprintf(gain, sizeof(gain), "<PARAM id=\"gain\" value=\"%.17g\"/>", parameters[0]);
        std::snprintf(drive, sizeof(drive), "<PARAM id=\"drive\" value=\"%.17g\"/>", parameters[1]);
        return std::string("<?xml version=\"1.0\"?><STATE>") + (++saves % 2 ? std::string(gain) + drive : std::string(drive) + gain) +
               "</STATE>";
    }
    bool LoadStateBytes(const uint8_t* bytes, size_t size)
    {
        if (kBehaviour != CBehaviour::kXmlState) {
            if (size != 16) return false;
            Load(bytes);
            return true;
        }
        const std::string text(reinterpret_cast<const char*>(bytes), size);
        double values[2];
        const char* ids[2] = {"<PARAM id=\"gain\" value=\"", "<PARAM id=\"drive\" value=\""};
        for (int i = 0; i < 2; ++i) {
            const size_t at = text.find(ids[i]);
            if (at == std::string::npos) return false;
            values[i] = std::strtod(text.c_str() + at + std::strlen(ids[i]), nullptr);
        }
        parameters[0] = values[0], parameters[1] = values[1];
        return true;
    }
    // The state: both values, 16 bytes.
    void Save(uint8_t* bytes) const { std::memcpy(bytes, parameters, sizeof(parameters)); }
    void Load(const uint8_t* bytes)
    {
        if (kBehaviour == CBehaviour::kStateIgnored) return;
        std::memcpy(parameters, bytes, sizeof(parameters));
        if (kBehaviour == CBehaviour::kStateDiffers) parameters[0] = parameters[0] * 0.5 + 0.125;
        if (kBehaviour == CBehaviour::kStateSwapped) std::swap(parameters[0], parameters[1]);
    }
    bool KeepsState() const { return kBehaviour != CBehaviour::kNoState; }
    void Note(bool on) { held = on; }

    template <typename Sample>
    void Process(Sample* const* inputs, int inputCount, Sample* const* outputs, int outputCount, int frames)
    {
        if (kBehaviour == CBehaviour::kCrashAtBlock64 && frames == 64) FaultHere();
        if (kBehaviour == CBehaviour::kEditorCrashesWithAudio && ZooEditorOpen) FaultHere();
        CZooOverlap::Enter();
        if (kBehaviour == CBehaviour::kPrintsEveryBlock) std::fprintf(stderr, "zoo: processed %d frames\n", frames);
        const double fade = std::exp(-1.0 / (0.002 * sampleRate));
        // Down by 120 dB in 3 s.
        const double ringFade = std::pow(1e-6, 1.0 / (3 * sampleRate));
        for (int i = 0; i < frames; ++i) {
            double value = 0;
            if (kInstrument) {
                level = held && kBehaviour != CBehaviour::kSilentInstrument ? 0.5 : level * fade;
                if (level < 1e-9) level = 0;
                phase += 440.0 / sampleRate;
                value = level * std::sin(2 * 3.14159265358979 * phase);
            } else if (kBehaviour == CBehaviour::kLongTail) {
                ring = ring * ringFade + 0.01 * (inputCount > 0 ? inputs[0][i] : 0);
                if (std::fabs(ring) < 1e-15) ring = 0;
                value = ring;
            } else if (kBehaviour == CBehaviour::kRingsForever) {
                combAt = (combAt + 1) % static_cast<int>(std::size(comb));
                comb[combAt] = 0.1 * (inputCount > 0 ? inputs[0][i] : 0) + comb[combAt];
                value = comb[combAt];
            } else if (kBehaviour == CBehaviour::kDcOnOneChannel) {
                noise = noise * 1664525u + 1013904223u;
                value = 0.05 * (static_cast<double>(noise >> 8) / (1u << 24) - 0.5);
            }
            for (int c = 0; c < outputCount; ++c) {
                double own = !kInstrument && c < inputCount ? inputs[c][i] * parameters[0] + value : value;
                if (kBehaviour == CBehaviour::kDcOnOneChannel && c == 1) own = -0.083;
                outputs[c][i] = static_cast<Sample>(own + (kBehaviour == CBehaviour::kNeverQuiet ? 1e-3 : 0));
            }
        }
        if (kBehaviour == CBehaviour::kWritesNan && frames > 0 && outputCount > 0)
            outputs[0][0] = std::numeric_limits<Sample>::quiet_NaN();
        if (kBehaviour == CBehaviour::kDenormals && frames > 0 && outputCount > 0)
            outputs[0][frames - 1] = std::numeric_limits<Sample>::denorm_min();
        if (kBehaviour == CBehaviour::kNanForSomeValues && parameters[1] > 0.75 && parameters[1] < 0.95 && frames > 0 && outputCount > 0)
            outputs[0][0] = std::numeric_limits<Sample>::quiet_NaN();
        CZooOverlap::Leave();
    }
};

// The editor: a child window of the host's, or a fault. The platform's window kinds, as the
// formats name them.
#if defined(_WIN32)
constexpr const char* kZooVst3EditorPlatform = "HWND";
constexpr const char* kZooClapEditorApi = "win32";
inline void* OpenZooEditor(void* parent)
{
    if (kBehaviour == CBehaviour::kEditorCrashes) FaultHere();
    ZooEditorOpen = true;
    return CreateWindowExW(0, L"STATIC", L"Zoo editor", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, static_cast<HWND>(parent),
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}
inline void CloseZooEditor(void* editor)
{
    ZooEditorOpen = false;
    DestroyWindow(static_cast<HWND>(editor));
}
#else
constexpr const char* kZooVst3EditorPlatform = "X11EmbedWindowID";
constexpr const char* kZooClapEditorApi = "x11";
// The host's own X11 window stands for the editor: the zoo draws nothing of its own.
inline void* OpenZooEditor(void* parent)
{
    if (kBehaviour == CBehaviour::kEditorCrashes) FaultHere();
    ZooEditorOpen = true;
    return parent;
}
inline void CloseZooEditor(void*) { ZooEditorOpen = false; }
#endif
