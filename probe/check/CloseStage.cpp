#include "probe/ProcessGuard.h"
#include "probe/check/Stages.h"

void CloseStage(CCheck& check)
{
    check.Say(u"close");
    check.plugin.Close();
    TakeProcessBack();
    check.Stage(u"close", u"passed", u"");
}
