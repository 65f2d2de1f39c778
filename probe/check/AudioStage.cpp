#include <algorithm>
#include <cmath>

#include "probe/check/Stages.h"
#include "protocol/Format.h"

namespace {

constexpr double kTailSlack = 0.05;  // a measured tail within this of the announced one is the same

}  // namespace

bool AudioStage(CCheck& check)
{
    check.Say(u"audio");
    const CPluginLayout& layout = check.layout;
    const CCheckResult& result = check.result;
    if (!check.nonFiniteAt.empty()) return check.Stage(u"audio", u"failed", u"NaN or infinity in the output at " + check.nonFiniteAt);
    std::u16string warnings, notes;
    auto add = [](std::u16string& to, const std::u16string& text) { to += (to.empty() ? u"" : u"; ") + text; };
    if (check.denormals > 0)
        add(warnings, FormatString(u"%u denormal samples in the output, first at ",
                                   static_cast<unsigned>(std::min<int64_t>(check.denormals, UINT32_MAX))) +
                          check.denormalsAt);
    if (!check.decayProblem.empty()) add(warnings, check.decayProblem);
    if (layout.instrument && check.peak <= kSilentLevel) add(warnings, u"silent after a note");
    if (layout.takesNotes && Channels(layout.outputs) == 0 && !layout.sendsNotes) add(warnings, u"it takes notes and gives nothing out");
    // From silence and noise at -6 dBFS (and one impulse at 0 dBFS): a level a host's output
    // would clip.
    if (check.peak > 1.0) add(notes, u"its output peaks at +" + Decimal(20 * std::log10(check.peak), 1) + u" dBFS");
    // A MIDI effect makes no sound: what it sends is what it does.
    if (layout.takesNotes && layout.outputs.empty() && layout.sendsNotes) {
        if (check.eventsOut == 0) add(warnings, u"sent no notes nor MIDI after notes came in");
        else add(notes, FormatString(u"%u notes or MIDI events sent", static_cast<unsigned>(std::min<int64_t>(check.eventsOut, UINT32_MAX))));
    }
    if (!check.generatorNote.empty()) add(notes, check.generatorNote);
    if (result.tailSeconds >= 0) {
        add(notes, u"tail measured " + Decimal(result.tailSeconds, 4) + u" s");
        const double announced = std::max(result.announcedTail, 0.0) + check.latency / kLoadRate;
        if (check.tail != kTailEndless && result.tailSeconds > announced + kTailSlack)
            add(notes, u"it rings longer than the " +
                           (result.announcedTail < 0 ? u"tail it does not announce" : Decimal(result.announcedTail, 2) + u" s it announces"));
    }
    if (!warnings.empty()) return check.Stage(u"audio", u"warning", warnings + (notes.empty() ? u"" : u"; " + notes));
    return check.Stage(u"audio", u"passed", u"no NaN, no denormals; peak " + Decimal(check.peak, 3) + (notes.empty() ? u"" : u"; " + notes));
}
