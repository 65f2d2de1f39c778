#include "probe/PluginCounts.h"

#include "protocol/Format.h"
#include "report/ModuleReport.h"

int64_t CountToRead(int64_t claimed, int64_t bound, const char16_t* what, std::u16string& note)
{
    if (claimed < 0) {
        AddNote(note, FormatString(u"claims %lld %s; none read", static_cast<long long>(claimed), what));
        return 0;
    }
    if (claimed <= bound) return claimed;
    AddNote(note, FormatString(u"claims %lld %s; %lld read", static_cast<long long>(claimed), what,
                               static_cast<long long>(bound)));
    return bound;
}

int32_t ChannelCount(int64_t claimed, const char16_t* what, std::u16string& note)
{
    if (claimed >= 0 && claimed <= kMostChannels) return static_cast<int32_t>(claimed);
    AddNote(note, FormatString(u"its %s claims %lld channels; unknown", what, static_cast<long long>(claimed)));
    return kUnknownCount;
}

int32_t MainChannels(const std::vector<CModuleBus>& buses, bool input)
{
    for (const CModuleBus& bus : buses)
        if (bus.input == input && bus.main && !bus.controlVoltage) return bus.channels;
    return 0;
}
