#include "report/CheckReport.h"

#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "report/JsonReport.h"
#include "report/ModuleReport.h"

namespace {

void WriteHead(CCheckResult& result)
{
    if (result.headWritten) return;
    result.headWritten = true;
    LogReport(u"{\n");
    LogReport(u"  \"check\":       \"%s\",\n", result.format);
    LogReport(u"  \"stages\": [\n");
}

std::u16string Decimal(double value, int decimals) { return FormatDecimal(value, decimals); }

std::u16string Known(int32_t value) { return value == kUnknownFact ? u"null" : Decimal(value, 0); }
std::u16string Known(double value, int decimals) { return value < 0 ? u"null" : Decimal(value, decimals); }
std::u16string KnownFlag(int32_t value) { return value == kUnknownFact ? u"null" : value ? u"true" : u"false"; }

}  // namespace

void ReportCheckStage(CCheckResult& result, CCheckStage stage)
{
    WriteHead(result);
    if (stage.details.size() > kLongestReportText) stage.details.resize(kLongestReportText);
    LogReport(u"    {\"stage\": \"%s\", \"result\": \"%s\", \"details\": \"%s\"},\n", stage.stage.c_str(), stage.result,
              EscapeJson(stage.details).c_str());
    result.stages.push_back(std::move(stage));
}

void FinishCheckReport(CCheckResult& result)
{
    WriteHead(result);
    LogReport(u"  ],\n");
    LogReport(u"  \"parameters\":  %s,\n", Known(result.parameters).c_str());
    LogReport(u"  \"hiddenParameters\": %s,\n", Known(result.hiddenParameters).c_str());
    LogReport(u"  \"programs\":    %s,\n", Known(result.programs).c_str());
    LogReport(u"  \"latency\":     %s,\n", Known(result.latency).c_str());
    LogReport(u"  \"tail\":        %s,\n", Known(result.tailSeconds, 4).c_str());
    LogReport(u"  \"announcedTail\": %s,\n", Known(result.announcedTail, 4).c_str());
    LogReport(u"  \"midiIn\":      %s,\n", KnownFlag(result.midiIn).c_str());
    LogReport(u"  \"midiOut\":     %s,\n", KnownFlag(result.midiOut).c_str());
    LogReport(u"  \"editor\":      %s,\n", result.editor ? u"true" : u"false");
    LogReport(u"  \"audio64\":     %s,\n", result.audio64 ? u"true" : u"false");
    LogReport(u"  \"sampleRates\": \"%s\",\n", EscapeJson(result.sampleRates).c_str());
    LogReport(u"  \"blockSizes\":  \"%s\",\n", EscapeJson(result.blockSizes).c_str());
    LogReport(u"  \"layouts\":     \"%s\",\n", EscapeJson(result.layouts).c_str());
    LogReport(u"  \"load\":        %s,\n", Known(result.load, 2).c_str());
    LogReport(u"}\n");
}
