#include "probe/EditorWindow.h"
#include "probe/ProcessGuard.h"
#include "probe/StateValues.h"
#include "probe/check/Stages.h"
#include "protocol/LogLine.h"

namespace {

constexpr double kEditorSeconds = 0.5;

}  // namespace

// The editor opens, idles and closes while the audio thread processes, and values change from
// the main thread meanwhile, as the user turns its knobs.
bool EditorStage(CCheck& check)
{
    if (!check.withEditor) return true;
    CCheckedPlugin& plugin = check.plugin;
    check.Say(u"editor");
    if (!check.layout.editor) return check.Stage(u"editor", u"skipped", u"it has no editor");
    void* window = CreateEditorParent();
    if (window == nullptr) return check.Stage(u"editor", u"skipped", u"no display to open it on");
    std::u16string error;
    const bool active = plugin.Activate(kLoadRate, kLoadBlock, false, error);
    TakeProcessBack();
    const auto end = [&](const char16_t* outcome, const std::u16string& details) {
        if (active) plugin.Deactivate();
        TakeProcessBack();
        DestroyEditorParent(window);
        return check.Stage(u"editor", outcome, details);
    };
    const bool opened = plugin.OpenEditor(window, error);
    TakeProcessBack();
    if (!opened) {
        plugin.CloseEditor();
        if (error.empty()) {
            check.result.editor = false;
            return end(u"skipped", u"it has no editor");
        }
        return end(u"failed", u"it did not open: " + error);
    }
    CAudioLoop loop(check.layout);
    if (active) {
        check.Say(u"editor while processing");
        check.SetCheckProcessing(kLoadRate, kLoadBlock);
        check.StartLoop(loop);
    }
    const std::vector<int32_t> shown = check.ShownParameters();
    uint32_t seed = StateSeed(check.infos) ^ 0xed17u;
    size_t next = 0;
    RunEditorFor(kEditorSeconds, [&] {
        plugin.IdleEditor();
        check.MainThreadWork();
        if (!shown.empty()) {
            const int32_t index = shown[next++ % shown.size()];
            plugin.SetParameter(index, OtherValue(check.infos[index], plugin.ParameterValue(index), seed));
        }
    });
    const bool processed = !active || check.StopLoop(loop);
    check.SetCheckProcessing(0, 0);
    LogInfo(u"Closing the editor...\n");
    plugin.CloseEditor();
    TakeProcessBack();
    if (!processed) return end(u"failed", u"process failed while the editor was open" + (loop.error.empty() ? u"" : u": " + loop.error));
    if (loop.watch.nonFinite) return end(u"failed", u"NaN or infinity in the output while the editor was open");
    return end(u"passed", active ? u"opened, ran for 0.5 s while audio was processed and values changed, and closed"
                                 : u"opened, ran for 0.5 s and closed; no audio meanwhile, since it did not activate");
}
