#include "bench/CheckFloor.h"

#include "probe/clap/ClapCheck.h"
#include "probe/vst2/Vst2Check.h"
#include "probe/vst3/Vst3Check.h"
#include "protocol/PluginFormat.h"
#include "protocol/Utf8.h"

bool CCheckFloor::Check(const std::string& path, const std::string& id)
{
    CCheckResult result;
    std::u16string error;
    const std::u16string file = Utf8ToUtf16(path);
    switch (FormatOfPath(path)) {
    case PluginFormat::kVst2: return CheckVst2Plugin(file, 0, false, result, error);
    case PluginFormat::kVst3: return CheckVst3Plugin(file, Utf8ToUtf16(id), false, result, error);
    case PluginFormat::kClap: return CheckClapPlugin(file, id, false, result, error);
    }
    return false;
}
