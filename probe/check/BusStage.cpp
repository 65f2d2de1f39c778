#include "probe/ProcessGuard.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"

namespace {

constexpr int32_t kLayoutBlocks = 16;

// Activated in `layout`, blocks of noise at 48 kHz, deactivated; false with `error` set when it
// failed in it.
bool RunIn(CCheck& check, const CPluginLayout& layout, std::u16string& error)
{
    check.SetCheckProcessing(kLoadRate, kLoadBlock);
    if (!check.plugin.Activate(kLoadRate, kLoadBlock, false, error)) {
        TakeProcessBack();
        if (error.empty()) error = u"it did not activate";
        return false;
    }
    TakeProcessBack();
    CBuffers buffers(layout, kLoadBlock);
    CCheckBlock block;
    buffers.Point(block);
    block.frames = kLoadBlock;
    COutputWatch watch;
    const bool processed = check.RunAudio(
        [&] {
            uint32_t noise = 1;
            for (int32_t k = 0; k < kLayoutBlocks; ++k) {
                block.position = int64_t{k} * kLoadBlock;
                buffers.FillNoise(block, noise);
                if (!check.Process(block, error)) return false;
                buffers.Watch(block, watch);
            }
            return true;
        },
        error);
    check.plugin.Deactivate();
    TakeProcessBack();
    check.SetCheckProcessing(0, 0);
    if (processed && watch.nonFinite) error = u"NaN or infinity in the output";
    return processed && !watch.nonFinite;
}

}  // namespace

// The main buses as a host offers them, mono and stereo, and the side-chains switched off and
// on: refusing a layout is fine; accepting one and then failing in it is not.
bool BusStage(CCheck& check)
{
    check.Say(u"buses");
    CCheckedPlugin& plugin = check.plugin;
    const std::vector<CBusLayout> offers = plugin.BusLayouts();
    TakeProcessBack();
    std::u16string accepted, error;
    int32_t refused = 0;
    // The stages after this one run in the plug-in's own layout again; the check's buffers are
    // made for what it then claims.
    const auto end = [&](const char16_t* outcome, const std::u16string& details) {
        plugin.RestoreLayout();
        CPluginLayout own = plugin.Layout();
        TakeProcessBack();
        if (LayoutProblem(own).empty()) check.layout = own;
        return check.Stage(u"buses", outcome, details);
    };
    for (const CBusLayout& offer : offers) {
        check.Say(u"buses, " + offer.name);
        CPluginLayout layout = check.layout;
        const bool takes = plugin.OfferLayout(offer, layout);
        TakeProcessBack();
        if (!takes) {
            ++refused;
            continue;
        }
        if (const std::u16string problem = LayoutProblem(layout); !problem.empty())
            return end(u"failed", u"it accepted " + offer.name + u", then claimed " + problem);
        if (!RunIn(check, layout, error)) return end(u"failed", u"it accepted " + offer.name + u", then failed in it: " + error);
        const int32_t in = layout.inputs.empty() ? 0 : layout.inputs[0], out = layout.outputs.empty() ? 0 : layout.outputs[0];
        const std::u16string fact = FormatString(u"%i>%i", in, out);
        if (check.result.layouts.find(fact) == std::u16string::npos)
            check.result.layouts += (check.result.layouts.empty() ? u"" : u"|") + fact;
        accepted += (accepted.empty() ? u"" : u", ") + offer.name;
    }
    plugin.RestoreLayout();
    check.layout = plugin.Layout();
    TakeProcessBack();
    if (const std::u16string problem = LayoutProblem(check.layout); !problem.empty())
        return check.Stage(u"buses", u"failed", u"after the layouts, back in its own, it claims " + problem);
    bool sideChains = false;
    if (check.layout.inputs.size() > 1 || check.layout.outputs.size() > 1) {
        check.Say(u"buses, auxiliary buses off");
        sideChains = plugin.SwitchAuxiliaryBuses(false);
        TakeProcessBack();
        const bool ran = !sideChains || RunIn(check, check.layout, error);
        plugin.SwitchAuxiliaryBuses(true);
        TakeProcessBack();
        if (!ran) return end(u"failed", u"with its auxiliary buses off, it failed: " + error);
    }
    if (offers.empty() && !sideChains) return check.Stage(u"buses", u"skipped", u"it offers no other layout");
    std::u16string details = offers.empty() ? u"" : accepted.empty() ? u"it refused every layout offered" : u"it took " + accepted;
    if (refused > 0 && !accepted.empty()) details += FormatString(u"; %i refused", refused);
    if (sideChains) details += (details.empty() ? u"" : u"; ") + std::u16string(u"processed with its auxiliary buses off");
    return end(u"passed", details);
}
