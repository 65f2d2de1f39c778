#include <cstdint>

#include "probe/ProcessGuard.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"

namespace {

constexpr size_t kMostCheckedBuses = 64;
// A multi-output sampler has a hundred channels and more (2 main + 48 stereo direct outs).
constexpr int32_t kMostCheckedChannels = 256;
constexpr int64_t kMostCheckedChannelsInAll = 1024;  // each way, over every bus

}  // namespace

std::u16string LayoutProblem(const CPluginLayout& layout)
{
    for (const std::vector<int32_t>* buses : {&layout.inputs, &layout.outputs}) {
        if (buses->size() > kMostCheckedBuses)
            return FormatString(u"it claims %u audio buses; the check runs up to %u", static_cast<unsigned>(buses->size()),
                                static_cast<unsigned>(kMostCheckedBuses));
        int64_t inAll = 0;
        for (int32_t channels : *buses) {
            if (channels < 0 || channels > kMostCheckedChannels)
                return FormatString(u"a bus of %i channels; the check runs up to %i", channels, kMostCheckedChannels);
            inAll += channels;
        }
        if (inAll > kMostCheckedChannelsInAll)
            return FormatString(u"%u channels on its buses; the check runs up to %u", static_cast<unsigned>(inAll),
                                static_cast<unsigned>(kMostCheckedChannelsInAll));
    }
    return u"";
}

bool OpenStage(CCheck& check)
{
    check.Say(u"open");
    std::u16string error;
    const bool opened = check.plugin.Open(error);
    TakeProcessBack();
    if (!opened) return check.Stage(u"open", u"failed", error);
    const CPluginLayout& layout = check.layout = check.plugin.Layout();
    TakeProcessBack();
    // Buffers are made for what the plug-in claims: an absurd claim is no layout to run.
    if (const std::u16string problem = LayoutProblem(layout); !problem.empty()) return check.Stage(u"open", u"failed", problem);
    CCheckResult& result = check.result;
    result.audio64 = layout.audio64;
    result.editor = layout.editor;
    result.midiIn = layout.takesNotes;
    result.midiOut = layout.sendsNotes;
    return check.Stage(u"open", u"passed", FormatString(u"%i audio inputs and %i outputs in %i and %i buses%s",
                                                        Channels(layout.inputs), Channels(layout.outputs),
                                                        static_cast<int32_t>(layout.inputs.size()),
                                                        static_cast<int32_t>(layout.outputs.size()),
                                                        layout.instrument                              ? u"; an instrument"
                                                        : layout.takesNotes && layout.outputs.empty() ? u"; a MIDI effect"
                                                        : layout.takesNotes                           ? u"; takes notes"
                                                                                                      : u""));
}
