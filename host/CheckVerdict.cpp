#include "host/CheckVerdict.h"

#include <iterator>

namespace {

constexpr const char* kNames[] = {"passed", "warnings", "failed", "crashed", "timed out", "blocked"};

const CCheckStageEntry* FirstWith(const CScanOutcome& check, const char* result)
{
    for (const CCheckStageEntry& stage : check.report.stages)
        if (stage.result == result) return &stage;
    return nullptr;
}

}  // namespace

const char* CheckStatusName(CheckStatus status) { return kNames[static_cast<int>(status)]; }

bool CheckStatusFromName(const std::string& name, CheckStatus& status)
{
    for (size_t i = 0; i < std::size(kNames); ++i)
        if (name == kNames[i]) {
            status = static_cast<CheckStatus>(i);
            return true;
        }
    return false;
}

CheckStatus CheckStatusOf(const CScanOutcome& check)
{
    switch (check.status) {
    case ScanStatus::kCrashed: return CheckStatus::kCrashed;
    case ScanStatus::kTimedOut: return CheckStatus::kTimedOut;
    case ScanStatus::kBlocked: return CheckStatus::kBlocked;
    case ScanStatus::kFailed: return CheckStatus::kFailed;
    case ScanStatus::kOk: break;
    }
    if (check.report.stages.empty() || FirstWith(check, "failed")) return CheckStatus::kFailed;
    return FirstWith(check, "warning") ? CheckStatus::kWarnings : CheckStatus::kPassed;
}

bool IsBadCheck(CheckStatus status) { return status != CheckStatus::kPassed && status != CheckStatus::kWarnings; }

std::string CheckVerdictStage(const CScanOutcome& check)
{
    switch (CheckStatusOf(check)) {
    case CheckStatus::kPassed: return "";
    case CheckStatus::kCrashed:
    case CheckStatus::kTimedOut:
    case CheckStatus::kBlocked: return check.checkStage;
    case CheckStatus::kFailed:
        if (const CCheckStageEntry* stage = FirstWith(check, "failed")) return stage->stage;
        return check.checkStage;
    case CheckStatus::kWarnings:
        if (const CCheckStageEntry* stage = FirstWith(check, "warning")) return stage->stage;
        return "";
    }
    return "";
}

std::string CheckVerdictText(const CScanOutcome& check)
{
    const CheckStatus status = CheckStatusOf(check);
    std::string text = CheckStatusName(status);
    if (status == CheckStatus::kPassed) return text;
    const std::string stage = CheckVerdictStage(check);
    if (!stage.empty()) text += " in " + stage;
    std::string details;
    if (status == CheckStatus::kWarnings || (status == CheckStatus::kFailed && check.status == ScanStatus::kOk)) {
        for (const CCheckStageEntry& entry : check.report.stages)
            if (entry.result == (status == CheckStatus::kWarnings ? "warning" : "failed"))
                details += (details.empty() ? "" : "; ") + (entry.stage == stage ? "" : entry.stage + ": ") + entry.details;
    } else {
        details = check.error;
        // "crashed in process ...: crashed; dump written: ..." says it once.
        constexpr char kCrashed[] = "crashed; ";
        if (details.rfind(kCrashed, 0) == 0) details.erase(0, sizeof(kCrashed) - 1);
    }
    if (!details.empty()) text += ": " + details;
    return text;
}
