#include "probe/CheckDriver.h"

#include "probe/ProcessGuard.h"
#include "probe/check/Stages.h"
#include "report/CheckReport.h"

void RunCheck(CCheckedPlugin& plugin, bool withEditor, CCheckResult& result)
{
    CCheck check(plugin, withEditor, result);
    if (OpenStage(check) && ProcessStage(check) && AudioStage(check) && ParameterStage(check) && AutomationStage(check) &&
        ProgramStage(check) && StateStage(check) && SessionStage(check) && BusStage(check) && EditorStage(check)) {
        CloseStage(check);
    } else {
        // A check that stopped early still tears the plug-in down, before the report ends.
        check.Say(u"close");
        plugin.Close();
        TakeProcessBack();
    }
    FinishCheckReport(result);
}
