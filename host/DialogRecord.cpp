#include "host/DialogRecord.h"

const char* DialogPolicyName(DialogPolicy policy)
{
    switch (policy) {
    case DialogPolicy::kReport: return "report";
    case DialogPolicy::kDismiss: return "dismiss";
    case DialogPolicy::kWait: return "wait";
    }
    return "";
}
