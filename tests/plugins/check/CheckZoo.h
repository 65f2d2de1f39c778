#pragma once
// What the check's test plug-ins share, whatever their format: one behaviour each, chosen when
// the plug-in is built (ZOO_CHECK_BEHAVIOUR), and the sound they make. An effect scales its
// input by its gain; an instrument plays a sine while a note is held, and fades within 20 ms
// after it ends. Two parameters, gain and drive, both 0..1; the state is their values.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

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
};

constexpr CBehaviour kBehaviour = static_cast<CBehaviour>(ZOO_CHECK_BEHAVIOUR);
constexpr bool kInstrument = kBehaviour == CBehaviour::kInstrument || kBehaviour == CBehaviour::kSilentInstrument;
constexpr int kOutputChannels = kBehaviour == CBehaviour::kClaimsTooMuch ? 100000 : 2;

inline void FaultHere()
{
    volatile int* nowhere = nullptr;
    *nowhere = 1;
}

inline void HangIfAsked()
{
    if (kBehaviour == CBehaviour::kHangsInActivation) Sleep(INFINITE);
}

struct CZooSound {
    double parameters[2] = {0.5, 0.3};  // gain, drive
    double sampleRate = 44100;
    double phase = 0, level = 0;
    bool held = false;

    double Get(int index) const { return parameters[index]; }
    void Set(int index, double value)
    {
        if (kBehaviour == CBehaviour::kLosesParameter && index == 1) return;
        parameters[index] = value;
    }
    // The state: both values, 16 bytes.
    void Save(uint8_t* bytes) const { std::memcpy(bytes, parameters, sizeof(parameters)); }
    void Load(const uint8_t* bytes)
    {
        std::memcpy(parameters, bytes, sizeof(parameters));
        if (kBehaviour == CBehaviour::kStateDiffers) parameters[0] = parameters[0] * 0.5 + 0.125;
    }
    void Note(bool on) { held = on; }

    template <typename Sample>
    void Process(Sample* const* inputs, int inputCount, Sample* const* outputs, int outputCount, int frames)
    {
        if (kBehaviour == CBehaviour::kCrashAtBlock64 && frames == 64) FaultHere();
        const double fade = std::exp(-1.0 / (0.002 * sampleRate));
        for (int i = 0; i < frames; ++i) {
            double value;
            if (kInstrument) {
                level = held && kBehaviour != CBehaviour::kSilentInstrument ? 0.5 : level * fade;
                if (level < 1e-9) level = 0;
                phase += 440.0 / sampleRate;
                value = level * std::sin(2 * 3.14159265358979 * phase);
            } else {
                value = inputCount > 0 ? inputs[0][i] * parameters[0] : 0;
            }
            for (int c = 0; c < outputCount; ++c) {
                const double own = !kInstrument && c < inputCount ? inputs[c][i] * parameters[0] : value;
                outputs[c][i] = static_cast<Sample>(own + (kBehaviour == CBehaviour::kNeverQuiet ? 1e-3 : 0));
            }
        }
        if (kBehaviour == CBehaviour::kWritesNan && frames > 0 && outputCount > 0)
            outputs[0][0] = std::numeric_limits<Sample>::quiet_NaN();
        if (kBehaviour == CBehaviour::kDenormals && frames > 0 && outputCount > 0)
            outputs[0][frames - 1] = std::numeric_limits<Sample>::denorm_min();
    }
};

// The editor: a child window of the host's, or a fault.
inline HWND OpenZooEditor(HWND parent)
{
    if (kBehaviour == CBehaviour::kEditorCrashes) FaultHere();
    return CreateWindowExW(0, L"STATIC", L"Zoo editor", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}
