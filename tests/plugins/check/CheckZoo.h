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

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
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

// Gain and drive; with hidden parameters also a read-only meter, then two hidden ones.
constexpr int kParameterCount = kBehaviour == CBehaviour::kHiddenParameters ? 5 : 2;
constexpr const char* kParameterNames[] = {"Gain", "Drive", "Output Level", "MIDI CC 0", "Current Program"};
inline bool ParameterReadOnly(int index) { return index == 2; }
inline bool ParameterHidden(int index) { return index >= 3; }

// A state written in pieces of 1 MiB, 300 MB in all, whatever the stream answers.
template <typename Write>
void WriteHugeState(Write write)
{
    static const uint8_t piece[1 << 20] = {};
    for (int i = 0; i < 300; ++i) write(piece, sizeof(piece));
}

inline void FaultHere()
{
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

inline void HangIfAsked()
{
    if (kBehaviour == CBehaviour::kHangsInActivation)
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

struct CZooSound {
    double parameters[2] = {0.5, 0.3};  // gain, drive
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
        parameters[index] = value;
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
    return CreateWindowExW(0, L"STATIC", L"Zoo editor", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, static_cast<HWND>(parent),
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}
inline void CloseZooEditor(void* editor) { DestroyWindow(static_cast<HWND>(editor)); }
#else
constexpr const char* kZooVst3EditorPlatform = "X11EmbedWindowID";
constexpr const char* kZooClapEditorApi = "x11";
// The host's own X11 window stands for the editor: the zoo draws nothing of its own.
inline void* OpenZooEditor(void* parent)
{
    if (kBehaviour == CBehaviour::kEditorCrashes) FaultHere();
    return parent;
}
inline void CloseZooEditor(void*) {}
#endif
