#include <algorithm>
#include <cmath>

#include "probe/CheckDriver.h"
#include "probe/ProcessGuard.h"
#include "probe/check/Stages.h"
#include "protocol/Format.h"
#include "protocol/LogLine.h"

namespace {

// A few of each kind are named; the rest are counted.
constexpr int32_t kMostNamed = 3;

class CFindings {
public:
    void Add(const std::u16string& text)
    {
        if (++count <= kMostNamed) named += (named.empty() ? u"" : u"; ") + text;
    }
    std::u16string Text() const { return named + (count > kMostNamed ? FormatString(u"; %i more", count - kMostNamed) : u""); }
    int32_t count = 0;

private:
    std::u16string named;
};

std::u16string Named(int32_t index, const CParameterInfo& info)
{
    return FormatString(u"parameter %i \"%s\"", index, info.name.c_str());
}

// What a host relies on when it shows and automates a parameter: flags that make sense together.
void JudgeFlags(int32_t index, const CParameterInfo& info, CFindings& flags)
{
    const double low = std::min(info.minimum, info.maximum), high = std::max(info.minimum, info.maximum);
    const double slack = 1e-6 * std::max(1.0, high - low);
    if (info.readOnly && info.automatable) flags.Add(Named(index, info) + u" is both automatable and read-only");
    if (info.programChange && !info.list) flags.Add(Named(index, info) + u" chooses programs but is not a list");
    if (!(info.defaultValue >= low - slack && info.defaultValue <= high + slack))
        flags.Add(Named(index, info) + u": its default " + Decimal(info.defaultValue, 3) + u" lies outside its range " +
                  Decimal(low, 3) + u" to " + Decimal(high, 3));
    if (info.stepped && (info.minimum != std::floor(info.minimum) || info.maximum != std::floor(info.maximum)))
        flags.Add(Named(index, info) + u" is stepped, but its range " + Decimal(low, 3) + u" to " + Decimal(high, 3) +
                  u" is not of whole numbers");
}

void JudgeText(int32_t index, const CParameterInfo& info, double value, const CParameterText& text, CFindings& texts)
{
    if (!text.ended) texts.Add(Named(index, info) + u" gives a text with no end at " + Decimal(value, 3));
    else if (text.text.empty()) texts.Add(Named(index, info) + u" gives no text at " + Decimal(value, 3));
}

}  // namespace

// Each parameter a host shows is set as a host sets it, with the plug-in active: the value
// reaches the plug-in through a block of silence, then it is read back, with its text.
bool ParameterStage(CCheck& check)
{
    check.Say(u"parameters");
    CCheckedPlugin& plugin = check.plugin;
    CCheckResult& result = check.result;
    const int32_t count = plugin.ParameterCount();
    TakeProcessBack();
    const int32_t read = std::min(std::max(count, 0), kMostReadParameters);
    check.infos.assign(read, {});
    check.known.assign(read, false);
    int32_t hidden = 0;
    for (int32_t index = 0; index < read; ++index) {
        check.known[index] = plugin.ReadParameter(index, check.infos[index]);
        hidden += check.known[index] && check.infos[index].hidden;
    }
    TakeProcessBack();
    result.parameters = std::max(count, 0) - hidden;
    result.hiddenParameters = hidden;

    std::u16string error;
    check.SetCheckProcessing(kLoadRate, kParameterBlock);
    const bool active = plugin.Activate(kLoadRate, kParameterBlock, false, error);
    TakeProcessBack();
    const bool processing = active && check.StartAudio(error);
    LogInfo(u"Setting and reading parameters...\n");
    CBuffers buffers(check.layout, kParameterBlock);
    CCheckBlock block;
    buffers.Point(block);
    block.frames = kParameterBlock;
    CFindings kept, flags, texts;
    int32_t keeping = 0, checked = 0, readOnly = 0, programs = 0;
    bool processed = true;
    for (int32_t index = 0; index < read && checked < kMostCheckedParameters && processed; ++index) {
        const CParameterInfo& info = check.infos[index];
        if (!check.known[index]) {
            kept.Add(FormatString(u"parameter %i gives no information", index));
            continue;
        }
        if (info.hidden) continue;
        ++checked;
        JudgeFlags(index, info, flags);
        if (info.readOnly || info.programChange) {
            info.readOnly ? ++readOnly : ++programs;
            JudgeText(index, info, plugin.ParameterValue(index), plugin.ParameterText(index), texts);
            continue;
        }
        const double range = std::fabs(info.maximum - info.minimum);
        const double tolerance = 1e-3 * (range > 0 ? range : 1);
        bool keeps = true;
        for (double value : {info.minimum, info.maximum, info.defaultValue}) {
            plugin.SetParameter(index, value);
            if (processing) {
                buffers.Silence(kParameterBlock);
                processed = check.AudioBlock(block, error);
                block.position += kParameterBlock;
            }
            const double readBack = plugin.ParameterValue(index);
            JudgeText(index, info, value, plugin.ParameterText(index), texts);
            if (!(std::fabs(readBack - value) <= tolerance) && keeps) {
                keeps = false;
                kept.Add(Named(index, info) + u" did not keep " + Decimal(value, 3) + u" (read " + Decimal(readBack, 3) + u")");
            }
        }
        keeping += keeps;
    }
    TakeProcessBack();
    if (processing) check.StopAudio();
    plugin.Deactivate();
    TakeProcessBack();
    check.SetCheckProcessing(0, 0);
    if (!processed)
        return check.Stage(u"parameters", u"failed", u"process failed while parameters were set" + (error.empty() ? u"" : u": " + error));
    std::u16string details = FormatString(u"%i parameters", result.parameters);
    if (hidden > 0) details += FormatString(u" and %i hidden ones, not set", hidden);
    if (read < count) details += FormatString(u", the first %i read", read);
    if (checked >= kMostCheckedParameters) details += FormatString(u", the first %i checked", kMostCheckedParameters);
    if (readOnly > 0) details += FormatString(u", %i read-only", readOnly);
    if (programs > 0) details += FormatString(u", %i choosing programs, not set", programs);
    if (!active) details += u"; set while inactive, since it did not activate";
    const std::u16string textNote = texts.count > 0 ? u"; texts: " + texts.Text() : u"";
    if (kept.count > 0 || flags.count > 0) {
        std::u16string problems = kept.Text();
        if (flags.count > 0) problems += (problems.empty() ? u"" : u"; ") + flags.Text();
        return check.Stage(u"parameters", u"warning", details + u": " + problems + textNote);
    }
    return check.Stage(u"parameters", u"passed",
                       details + FormatString(u"; %i kept their lowest, highest and default values", keeping) + textNote);
}
