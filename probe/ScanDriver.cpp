#include "probe/ScanDriver.h"

#include <algorithm>
#include <optional>

#include "probe/PluginLibrary.h"
#include "probe/ProcessGuard.h"
#include "probe/vst2/HostCallback.h"
#include "probe/vst2/Vst2Scan.h"
#include "probe/vst2/ProbeRules.h"
#include "probe/ProbeState.h"
#include "probe/VersionText.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "probe/clap/ClapCheck.h"
#include "probe/clap/ClapScan.h"
#include "probe/vst2/Vst2Check.h"
#include "probe/vst3/Vst3Check.h"
#include "protocol/CheckRequest.h"
#include "protocol/HexArgument.h"
#include "protocol/Utf8.h"
#include "report/CheckReport.h"
#include "probe/vst3/Vst3Scan.h"
#include "protocol/PluginFormat.h"
#include "report/JsonReport.h"
#include "report/ModuleReport.h"

namespace {

bool ScanLibrary(const std::u16string& request, CScanResult& result)
{
    LogInfo(u"Scanning plugin: '%s'\n", request.c_str());
    const CRequestPath path = SplitRequestPath(request);
    TakeProcessBack();

    PluginModule module;
    const bool reused = CachedLibrary != nullptr && CachedLibraryPath == path.libraryPath;
    if (reused) {
        LogInfo(u"Re-using previous library instance...\n");
        module = CachedLibrary;
    } else {
        FreeCachedLibrary();
        LogInfo(u"Loading library...\n");
        module = OpenPluginModule(path.libraryPath, result.error);
        if (module == nullptr) return false;
    }

    const std::u16string resourceVersion = ResourceVersionText(path.libraryPath);
    TakeProcessBack();
    ProbeHooks.activateHostWindow();
    ProbeHooks.dispatchPendingMessages();

    CurrentShellId = path.shellId;
    const bool probed = ProbePlugin(module, result);
    CurrentShellId = 0;

    if (result.version.empty()) result.version = resourceVersion;
    ProbeHooks.dispatchPendingMessages();

    if (result.shells.GetCount() > 0 || reused) {
        LogInfo(u"Keeping shell library loaded for now...\n");
        CachedLibrary = module;
        CachedLibraryPath = path.libraryPath;
    } else {
        LogInfo(u"Freeing library...\n");
        FreeLibraryAndSweep(module);
        CachedLibrary = nullptr;
        CachedLibraryPath.clear();
    }
    LogInfo(u"Finished\n");
    return probed;
}

void Answer(const CScanResult& result, bool scanned)
{
    if (!scanned) LogError(u"%s\n", result.error.c_str());
    WriteScanReport(result);
}

// A VST 3 module or a CLAP file is scanned whole in one request, every plug-in it holds.
void ScanModule(const std::u16string& request, PluginFormat format)
{
    LogInfo(u"Scanning plugin: '%s'\n", request.c_str());
    FreeCachedLibrary();
    CModuleResult result;
    const bool scanned = format == PluginFormat::kVst3 ? ScanVst3Module(request, result) : ScanClapFile(request, result);
    if (!scanned) LogError(u"%s\n", result.error.c_str());
    FinishModuleReport(result);
}

// One plug-in checked: its stages as they end, then the facts. A plug-in that cannot even be
// found or created fails its first stage.
void CheckRequested(const std::u16string& request, const CCheckRequest& check)
{
    LogInfo(u"Scanning plugin: '%s'\n", request.c_str());
    FreeCachedLibrary();
    CCheckResult result;
    std::u16string error;
    bool checked = false;
    const std::u16string path = Utf8ToUtf16(check.path);
    const std::u16string id = Utf8ToUtf16(check.id);
    switch (CheckedFormat(check)) {
    case PluginFormat::kVst2: {
        result.format = u"vst2";
        const bool hex = id.size() <= 8 && std::all_of(id.begin(), id.end(), [](char16_t c) { return HexDigitValue(c) >= 0; });
        if (!hex) error = u"the sub-plug-in id is not hex digits";
        else checked = CheckVst2Plugin(path, static_cast<int32_t>(ParseHexArgument(id.c_str())), check.editor, result, error);
        break;
    }
    case PluginFormat::kVst3:
        result.format = u"vst3";
        checked = CheckVst3Plugin(path, id, check.editor, result, error);
        break;
    case PluginFormat::kClap:
        result.format = u"clap";
        checked = CheckClapPlugin(path, check.id, check.editor, result, error);
        break;
    }
    if (!checked) {
        ReportCheckStage(result, {u"open", u"failed", error});
        FinishCheckReport(result);
    }
    LogInfo(u"Finished\n");
}

}  // namespace

void ScanPlugin(const std::u16string& request)
{
    // No path starts with '?': a request that does is a check, when it is one this server knows.
    if (!request.empty() && request.front() == u'?') {
        if (const std::optional<CCheckRequest> check = ParseCheckRequest(ToUtf8(request))) {
            CheckRequested(request, *check);
            return;
        }
    }
    if (const PluginFormat format = FormatOfPath(request); format != PluginFormat::kVst2) {
        ScanModule(request, format);
        return;
    }
    CScanResult result;
    const bool scanned = ScanLibrary(request, result);
    Answer(result, scanned);
}

void AnswerRejectedRequest(const char16_t* error)
{
    CScanResult result;
    result.error = error;
    Answer(result, false);
}

void FreeCachedLibrary()
{
    if (CachedLibrary == nullptr) return;
    LogInfo(u"Freeing cached library...\n");
    FreeLibraryAndSweep(CachedLibrary);
    CachedLibrary = nullptr;
    CachedLibraryPath.clear();
    LogInfo(u"Freed\n");
}
