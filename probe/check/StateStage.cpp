#include <cmath>

#include "probe/ProcessGuard.h"
#include "probe/StateValues.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"

// Judged by values, as a musician meets it in the next session: every parameter a host
// shows is set to another value and the state saved; the state saved before brings the
// first values back, the second the new ones.
bool StateStage(CCheck& check)
{
    CCheckedPlugin& plugin = check.plugin;
    std::vector<CParameterInfo>& infos = check.infos;
    check.Say(u"state");
    std::u16string error;
    std::vector<uint8_t> before;
    const CStateSupport saved = plugin.SaveState(before, error);
    TakeProcessBack();
    if (saved == CStateSupport::kFailed) return check.Stage(u"state", u"failed", u"saving failed: " + error);
    const std::vector<int32_t> shown = check.ShownParameters();
    if (saved == CStateSupport::kNone) {
        if (plugin.HostKeepsParameters() || shown.empty()) return check.Stage(u"state", u"skipped", u"it keeps no state of its own");
        return check.Stage(u"state", u"failed",
                     FormatString(u"it keeps no state, and a host restores it only from its state: the %u parameters it shows are lost with every session",
                                  static_cast<unsigned>(shown.size())));
    }

    check.SetCheckProcessing(kLoadRate, kParameterBlock);
    const bool active = plugin.Activate(kLoadRate, kParameterBlock, false, error);
    TakeProcessBack();
    const bool processing = active && check.StartAudio(error);
    CBuffers buffers(check.layout, kParameterBlock);
    CCheckBlock block;
    buffers.Point(block);
    block.frames = kParameterBlock;
    bool processed = true;
    // What was set or loaded reaches a plug-in that takes values in process.
    const auto settle = [&] {
        if (!processing || !processed) return;
        buffers.Silence(kParameterBlock);
        processed = check.AudioBlock(block, error);
        block.position += kParameterBlock;
        TakeProcessBack();
    };
    const auto values = [&] {
        std::vector<double> read;
        for (int32_t index : shown) read.push_back(plugin.ParameterValue(index));
        TakeProcessBack();
        return read;
    };
    const auto end = [&](const char16_t* outcome, const std::u16string& details) {
        if (processing) check.StopAudio();
        plugin.Deactivate();
        TakeProcessBack();
        check.SetCheckProcessing(0, 0);
        if (!processed) return check.Stage(u"state", u"failed", u"process failed while its state was set" + (error.empty() ? u"" : u": " + error));
        return check.Stage(u"state", outcome, details);
    };

    const std::vector<double> first = values();
    uint32_t seed = StateSeed(infos);
    for (size_t k = 0; k < shown.size(); ++k) plugin.SetParameter(shown[k], OtherValue(infos[shown[k]], first[k], seed));
    TakeProcessBack();
    settle();
    const std::vector<double> second = values();
    std::vector<uint8_t> after, again;
    if (plugin.SaveState(after, error) != CStateSupport::kSaved) return end(u"failed", u"saving after its parameters were set failed: " + error);
    TakeProcessBack();
    if (!plugin.LoadState(before, error)) return end(u"failed", u"loading its own state failed: " + error);
    TakeProcessBack();
    settle();
    const std::vector<double> restoredFirst = values();
    if (!plugin.LoadState(after, error)) return end(u"failed", u"loading its own state failed: " + error);
    TakeProcessBack();
    settle();
    const std::vector<double> restoredSecond = values();
    if (plugin.SaveState(again, error) != CStateSupport::kSaved) return end(u"failed", u"saving after loading failed: " + error);
    TakeProcessBack();

    const auto size = [&](const std::vector<uint8_t>& bytes) { return static_cast<unsigned>(plugin.StateSize(bytes)); };
    size_t at = 0;
    while (at < after.size() && at < again.size() && after[at] == again[at]) ++at;
    const unsigned differsAt = static_cast<unsigned>(at - std::min(at, after.size() - plugin.StateSize(after)));
    const std::u16string differs = FormatString(u"saved again after loading, it differs: %u bytes against %u, from byte %u",
                                                size(after), size(again), differsAt);
    // Only the parameters that took another value tell whether a state brings values back.
    // The state saved first holds values the plug-in chose itself, which every load must
    // give back as they were; the second holds values the check chose, which a plug-in may
    // round to its steps or normalise with others (a quaternion), so it only has to bring
    // other values than the first: a load that resets is no load.
    int32_t judged = 0, moved = 0, away = 0, lost = 0;
    std::u16string named;
    for (size_t k = 0; k < shown.size(); ++k) {
        const CParameterInfo& info = infos[shown[k]];
        if (!std::isfinite(first[k]) || !std::isfinite(second[k]) || SameValue(info, first[k], second[k])) continue;
        ++judged;
        moved += !SameValue(info, restoredFirst[k], second[k]);
        away += !SameValue(info, restoredSecond[k], first[k]);
        if (!SameValue(info, restoredFirst[k], first[k]) && ++lost <= 3)
            named += (named.empty() ? u"" : u", ") + FormatString(u"\"%s\" (", info.name.c_str()) + Decimal(first[k], 3) +
                     u" saved, " + Decimal(restoredFirst[k], 3) + u" after loading)";
    }
    if (judged == 0) {
        if (after == again) return end(u"passed", FormatString(u"%u bytes, the same after loading", size(after)));
        return end(u"warning", differs);
    }
    if (moved == 0)
        return end(u"failed", FormatString(u"loading its state brought back none of the %i parameters set after it was saved", judged));
    if (away == 0)
        return end(u"failed", FormatString(u"loading a state of other values brought back only the first ones, of all %i parameters", judged));
    if (lost > 0)
        return end(u"warning", FormatString(u"%i of %i parameters did not come back after loading: ", lost, judged) + named +
                                   (lost > 3 ? FormatString(u", %i more", lost - 3) : u""));
    std::u16string details = FormatString(u"%u bytes; its %i parameter%s came back after loading", size(after), judged,
                                          judged == 1 ? u"" : u"s");
    if (after != again) details += u"; " + differs + u", every value the same";
    return end(u"passed", details);
}

