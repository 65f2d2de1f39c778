#include <algorithm>

#include "probe/ProcessGuard.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"

namespace {

constexpr int32_t kMostCheckedPrograms = 128;

}  // namespace

// Each program is chosen from the main thread, as a host's program list does, and a block is
// processed in it.
bool ProgramStage(CCheck& check)
{
    check.Say(u"programs");
    CCheckedPlugin& plugin = check.plugin;
    const int32_t count = std::max(plugin.ProgramCount(), 0);
    TakeProcessBack();
    check.result.programs = count;
    if (count == 0) return check.Stage(u"programs", u"skipped", u"it has no programs");
    const int32_t checked = std::min(count, kMostCheckedPrograms);
    // What the programs change is put back afterwards, as a host does when the user leaves its
    // program browser: the stages after this one judge the plug-in as it was.
    std::vector<uint8_t> before;
    std::u16string stateError;
    const bool saved = plugin.SaveState(before, stateError) == CStateSupport::kSaved;
    TakeProcessBack();
    check.SetCheckProcessing(kLoadRate, kLoadBlock);
    std::u16string error;
    const bool active = plugin.Activate(kLoadRate, kLoadBlock, false, error);
    TakeProcessBack();
    const bool processing = active && check.StartAudio(error);
    CBuffers buffers(check.layout, kLoadBlock);
    CCheckBlock block;
    buffers.Point(block);
    block.frames = kLoadBlock;
    COutputWatch watch;
    uint32_t noise = 1;
    int32_t named = 0, failedAt = -1, nonFiniteAt = -1;
    for (int32_t program = 0; program < checked && failedAt < 0; ++program) {
        check.Say(FormatString(u"programs, program %i", program));
        check.SetCheckProcessing(kLoadRate, kLoadBlock);
        named += !plugin.ChooseProgram(program).empty();
        TakeProcessBack();
        if (!processing) continue;
        block.position = int64_t{program} * kLoadBlock;
        buffers.FillNoise(block, noise);
        const bool wasNonFinite = watch.nonFinite;
        if (!check.AudioBlock(block, error)) failedAt = program;
        buffers.Watch(block, watch);
        if (watch.nonFinite && !wasNonFinite) nonFiniteAt = program;
    }
    if (failedAt < 0) {
        check.Say(saved ? u"programs, state put back" : u"programs, program 0");
        if (saved) plugin.LoadState(before, stateError);
        else plugin.ChooseProgram(0);
        TakeProcessBack();
        if (processing && !check.AudioBlock(block, error)) failedAt = checked - 1;
    }
    if (processing) check.StopAudio();
    if (active) plugin.Deactivate();
    TakeProcessBack();
    check.SetCheckProcessing(0, 0);
    if (failedAt >= 0)
        return check.Stage(u"programs", u"failed",
                           FormatString(u"process failed in program %i", failedAt) + (error.empty() ? u"" : u": " + error));
    if (nonFiniteAt >= 0) return check.Stage(u"programs", u"failed", FormatString(u"NaN or infinity in the output in program %i", nonFiniteAt));
    std::u16string details = FormatString(u"%i program%s chosen, %i with a name", checked, checked == 1 ? u"" : u"s", named);
    if (checked < count) details += FormatString(u"; the first %i of %i", checked, count);
    if (!processing) details += u"; none processed, since it did not activate";
    return check.Stage(u"programs", u"passed", details);
}
