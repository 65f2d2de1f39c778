#pragma once
// The ">" report of a check, in the line protocol of a scan's: "check" (the format) first, then
// one line per stage, each a complete object written the moment the stage ends, so that a host
// keeps the stages done when a later one crashes or hangs; then the facts and the end.
#include "report/CheckResult.h"

void ReportCheckStage(CCheckResult& result, CCheckStage stage);
void FinishCheckReport(CCheckResult& result);
