#include "probe/ProcessGuard.h"
#include "probe/StateValues.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"

namespace {

// How long the main thread waits for a process call to be under way before it goes on: the
// audio thread spends most of its time in process, so this is met at once but for a plug-in
// that stopped processing.
constexpr int kProcessWaitMs = 20;
constexpr int32_t kEditRounds = 8;

}  // namespace

// What a host's main thread does while the audio thread processes: the user's edits, as the
// editor makes them, then an autosave and an undo, which save and load the state.
bool SessionStage(CCheck& check)
{
    CCheckedPlugin& plugin = check.plugin;
    const std::vector<int32_t> shown = check.ShownParameters();
    check.Say(u"values set from the main thread while processing");
    check.SetCheckProcessing(kLoadRate, kLoadBlock);
    std::u16string error;
    if (!plugin.Activate(kLoadRate, kLoadBlock, false, error)) {
        TakeProcessBack();
        check.SetCheckProcessing(0, 0);
        return check.Stage(u"session", u"skipped", u"it did not activate" + (error.empty() ? u"" : u": " + error));
    }
    TakeProcessBack();
    CAudioLoop loop(check.layout);
    check.StartLoop(loop);
    uint32_t seed = StateSeed(check.infos) ^ 0x5e55u;
    int32_t edits = 0;
    for (int32_t round = 0; round < kEditRounds && loop.processed; ++round)
        for (int32_t index : shown) {
            check.audio.WaitForProcess(kProcessWaitMs);
            plugin.SetParameter(index, OtherValue(check.infos[index], plugin.ParameterValue(index), seed));
            check.MainThreadWork();
            ++edits;
        }
    TakeProcessBack();
    check.SetDefaults();

    check.Say(u"state while processing");
    std::vector<uint8_t> bytes;
    check.audio.WaitForProcess(kProcessWaitMs);
    const CStateSupport saved = plugin.SaveState(bytes, error);
    TakeProcessBack();
    bool loaded = true;
    if (saved == CStateSupport::kSaved) {
        check.audio.WaitForProcess(kProcessWaitMs);
        loaded = plugin.LoadState(bytes, error);
        TakeProcessBack();
    }
    const bool processed = check.StopLoop(loop);
    plugin.Deactivate();
    TakeProcessBack();
    check.SetCheckProcessing(0, 0);
    if (!processed)
        return check.Stage(u"session", u"failed", u"process failed while the main thread worked" + (loop.error.empty() ? u"" : u": " + loop.error));
    if (loop.watch.nonFinite) return check.Stage(u"session", u"failed", u"NaN or infinity in the output while the main thread worked");
    if (saved == CStateSupport::kFailed) return check.Stage(u"session", u"failed", u"saving while processing failed: " + error);
    if (!loaded) return check.Stage(u"session", u"failed", u"loading its state while processing failed: " + error);
    return check.Stage(u"session", u"passed",
                       FormatString(u"%i edits from the main thread%s, over %u blocks processed meanwhile", edits,
                                    saved == CStateSupport::kSaved ? u", its state saved and loaded" : u"",
                                    static_cast<unsigned>(loop.blocks.load())));
}
