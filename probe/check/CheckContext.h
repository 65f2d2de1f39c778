#pragma once
// What the check's stages share: the plug-in, its audio thread, the result they fill, and the
// facts one stage finds for the next. Each stage is a function of its own file (Stages.h); the
// driver (probe/CheckDriver.cpp) runs them in order.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "probe/AudioThread.h"
#include "probe/CheckAudio.h"
#include "probe/CheckedPlugin.h"
#include "probe/ProcessTimer.h"
#include "probe/check/CheckBuffers.h"
#include "report/CheckResult.h"

struct CSetting {
    double rate;
    int32_t block;  // 0: the varying sizes
    bool use64;
};

// Blocks of noise processed on the audio thread for as long as the main thread works, as a
// host's audio runs while its user edits, saves or looks at the editor.
struct CAudioLoop {
    explicit CAudioLoop(const CPluginLayout& layout) : buffers(layout, 512) {}
    CBuffers buffers;
    COutputWatch watch;
    std::u16string error;  // the audio thread's, read once it has ended
    std::atomic<bool> processed{true};
    std::atomic<int64_t> blocks{0};
};

constexpr double kLoadRate = 48000;
constexpr int32_t kLoadBlock = 512;
constexpr int32_t kParameterBlock = 64;

class CCheck {
public:
    CCheck(CCheckedPlugin& plugin, bool withEditor, CCheckResult& result) : plugin(plugin), withEditor(withEditor), result(result) {}

    // Names the step under way in the trace, before the plug-in is called: a host names a crash
    // or a hang by it.
    void Say(const std::u16string& step);
    // Ends a stage with its outcome; false when it failed.
    bool Stage(const char16_t* name, const char16_t* outcome, const std::u16string& details);
    void SetCheckProcessing(double rate, int32_t block);

    // On the audio thread: one block through the plug-in, counting what it sends, with denormal
    // numbers flushed as hosts run audio; `timer`, when given, times the plug-in's call alone.
    bool Process(CCheckBlock& block, std::u16string& error, CProcessTimer* timer = nullptr);
    // Runs `blocks` on the audio thread between its start and stop of processing, the main
    // thread doing its own work meanwhile; false when processing did not start or `blocks` failed.
    bool RunAudio(const std::function<bool()>& blocks, std::u16string& error);
    // The same in steps the main thread takes between: processing starts, single blocks run,
    // processing stops, each on the audio thread.
    bool StartAudio(std::u16string& error);
    bool AudioBlock(CCheckBlock& block, std::u16string& error);
    void StopAudio();
    // Blocks of noise at 48 kHz in blocks of 512 until StopLoop, the plug-in active and
    // processing; both threads run plug-in code meanwhile. StopLoop ends them after a few
    // blocks at least, and says whether every block was processed.
    void StartLoop(CAudioLoop& loop);
    bool StopLoop(CAudioLoop& loop);
    // Each shown parameter's default, set from the main thread.
    void SetDefaults();
    void MainThreadWork();

    // The parameters a host shows and sets: those automation moves and a state must bring back.
    std::vector<int32_t> ShownParameters() const;
    static std::u16string SettingText(const CSetting& setting);
    // Notes what a run's output showed, for the audio stage.
    void Note(const COutputWatch& watch, const std::u16string& label);

    CCheckedPlugin& plugin;
    const bool withEditor;
    CCheckResult& result;
    CAudioThread audio;
    CPluginLayout layout;
    uint32_t latency = 0, tail = 0;
    std::vector<CSetting> passed;
    std::u16string nonFiniteAt, denormalsAt, decayProblem, generatorNote;
    COutputWatch beforeInput;           // effects' output in the settings' silent first thirds
    std::vector<CParameterInfo> infos;  // read by the parameter stage
    std::vector<bool> known;
    int64_t denormals = 0, eventsOut = 0;
    double peak = 0;
};

int32_t Channels(const std::vector<int32_t>& buses);
std::u16string Decimal(double value, int decimals);
