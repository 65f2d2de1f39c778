#pragma once
// One plug-in of any format as the check drives it: each format's probe implements this over
// its own calls, in its own order, and the check's stages (probe/CheckDriver.h) stay the same
// for all three. A call that returns false has set `error` to what the plug-in did.
#include <cstdint>
#include <string>
#include <vector>

class CProcessTimer;

// The plug-in's own default layout, read once it is open.
struct CPluginLayout {
    std::vector<int32_t> inputs, outputs;  // the channels of each audio bus, main first
    bool takesNotes = false;               // an instrument or a MIDI effect: it gets a note
    bool sendsNotes = false;               // it has a note or MIDI output
    bool instrument = false;               // it takes notes and should sound after one
    bool audio64 = false;                  // it offers 64-bit samples
    bool editor = false;
};

// A parameter's value from a sample of a block on, as automation gives it.
struct CParameterPoint {
    int32_t index = 0;
    int32_t offset = 0;
    double value = 0;
};

// One block: the channels of every bus, in bus order, of the sample size chosen at activation.
struct CCheckBlock {
    int32_t frames = 0;
    int32_t capacity = 0;  // the samples each channel's buffer holds; a guard lies past them
    bool use64 = false;
    std::vector<float*> inputs32, outputs32;
    std::vector<double*> inputs64, outputs64;
    int32_t noteOn = -1, noteOff = -1;  // where in the block a note starts or ends; -1: none
    int64_t position = 0;               // of the block's first sample since activation
    int64_t eventsOut = 0;              // notes and MIDI events the plug-in sent, counted up by Process
    std::vector<CParameterPoint> points;  // automation inside the block, by offset
    // Times the plug-in's own calls, none of the host's work around them, when set.
    CProcessTimer* timer = nullptr;
};

struct CParameterInfo {
    std::u16string name;
    double minimum = 0, maximum = 1, defaultValue = 0;  // in the format's own values
    bool readOnly = false;
    bool hidden = false;         // never shown to a user nor automated by a host
    bool programChange = false;  // choosing a program: it changes the other parameters
    int32_t steps = 0;           // the steps of its range for a stepped parameter; 0: continuous
    bool stepped = false;        // flagged as taking whole values only
    bool automatable = true;     // a host may automate it
    bool list = false;           // its values are a list of names
};

// A layout of the main buses a host offers: the channels of the main input and output, 0 for
// none; a CLAP plug-in's own configurations by their id.
struct CBusLayout {
    std::u16string name;  // "stereo in, mono out"
    int32_t mainIn = 0, mainOut = 0;
    uint32_t configId = 0;
};

// A parameter's value as text: `ended` is false for a text that filled the whole buffer, with
// no end of its own.
struct CParameterText {
    std::u16string text;
    bool ended = true;
};

enum class CStateSupport { kNone, kSaved, kFailed };

// The largest state a check keeps: a plug-in that gives more fails its state stage.
constexpr size_t kLargestCheckedState = 256u << 20;

// Tails as a plug-in announces them, in samples, beside a number of samples.
constexpr uint32_t kTailUnknown = UINT32_MAX - 1;  // it does not say
constexpr uint32_t kTailEndless = UINT32_MAX;

class CCheckedPlugin {
public:
    virtual ~CCheckedPlugin() = default;
    // Creates and initialises the plug-in.
    virtual bool Open(std::u16string& error) = 0;
    virtual CPluginLayout Layout() = 0;
    virtual bool Activate(double sampleRate, int32_t maxFrames, bool use64, std::u16string& error) = 0;
    // On the audio thread, once active, around its process calls.
    virtual bool StartProcessing(std::u16string&) { return true; }
    virtual void StopProcessing() {}
    virtual uint32_t LatencySamples() = 0;   // once active
    virtual uint32_t TailSamples() = 0;      // as announced, or kTailUnknown or kTailEndless
    virtual bool Process(CCheckBlock& block, std::u16string& error) = 0;
    virtual void Deactivate() = 0;
    virtual int32_t ParameterCount() = 0;
    virtual bool ReadParameter(int32_t index, CParameterInfo& info) = 0;
    virtual double ParameterValue(int32_t index) = 0;
    virtual CParameterText ParameterText(int32_t index) = 0;
    // As a host sets it from the main thread, an edit in its editor: the plug-in has it at the
    // latest in the next Process, whichever thread runs it.
    virtual void SetParameter(int32_t index, double value) = 0;
    // The host's own work on the main thread meanwhile: what the audio thread left for it.
    virtual void OnMainThread() {}
    // The layouts a host offers it, while inactive; none when it has no other.
    virtual std::vector<CBusLayout> BusLayouts() { return {}; }
    // Offers one: whether it accepted; `layout` then holds its buses in it.
    virtual bool OfferLayout(const CBusLayout&, CPluginLayout&) { return false; }
    // Back to the layout it had when it was opened.
    virtual void RestoreLayout() {}
    // Its auxiliary buses (side-chains) switched off or on for the next activation; false when it has none.
    virtual bool SwitchAuxiliaryBuses(bool) { return false; }
    // Programs a host lists and chooses from the main thread; 0 for none.
    virtual int32_t ProgramCount() { return 0; }
    // Chooses it; its name, when it has one.
    virtual std::u16string ChooseProgram(int32_t) { return u""; }
    // A state the plug-in wrote more of than the check keeps, or whose stream it ignored a
    // refusal of, is kFailed.
    virtual CStateSupport SaveState(std::vector<uint8_t>& bytes, std::u16string& error) = 0;
    // The bytes the plug-in wrote to make the state `SaveState` gave.
    virtual size_t StateSize(const std::vector<uint8_t>& bytes) { return bytes.size(); }
    virtual bool LoadState(const std::vector<uint8_t>& bytes, std::u16string& error) = 0;
    // Whether a host keeps the parameters itself when the plug-in keeps no state: VST 2 hosts
    // do for a plug-in without a chunk; VST 3 and CLAP hosts restore a plug-in only from its state.
    virtual bool HostKeepsParameters() { return false; }
    // The editor in `parent`, an HWND of the server's.
    virtual bool OpenEditor(void* parent, std::u16string& error) = 0;
    virtual void IdleEditor() = 0;
    virtual void CloseEditor() = 0;
    virtual void Close() = 0;
};
