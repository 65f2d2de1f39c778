#include "probe/vst2/ProbeRules.h"

#include "probe/vst2/Vst2Abi.h"
#include "protocol/HexArgument.h"

bool CapabilityAnswerIsYes(intptr_t answer)
{
    return static_cast<int32_t>(answer) != -1;
}

int32_t CorrectCategory(int32_t answer, int32_t flags, int32_t numInputs)
{
    if (flags & effFlagsIsSynth) return kPlugCategSynth;
    if (answer == kPlugCategUnknown) return numInputs == 0 ? kPlugCategSynth : kPlugCategEffect;
    return answer;
}

CRequestPath SplitRequestPath(const std::u16string& request)
{
    CRequestPath split;
    const size_t marker = request.find(u'>');
    if (marker == std::u16string::npos) {
        split.libraryPath = request;
        return split;
    }
    split.libraryPath = request.substr(0, marker);
    uint32_t id = 0;
    for (size_t i = marker + 1; i < request.size() && HexDigitValue(request[i]) >= 0; ++i)
        id = (id << 4) + static_cast<uint32_t>(HexDigitValue(request[i]));
    split.shellId = static_cast<int32_t>(id);
    return split;
}
