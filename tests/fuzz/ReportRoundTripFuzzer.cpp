// The report's round trip: a scan result with any texts and numbers, written by the server's
// report writer, read back by the host's parser, gives back the same record. Texts that are not
// valid UTF-16 (lone surrogates) come back as U+FFFD, as the server's own conversion gives them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/ServerOutput.h"
#include "protocol/LogLine.h"
#include "protocol/Utf8.h"
#include "report/JsonReport.h"

namespace {

std::string Written;

std::u16string TakeText(FuzzedDataProvider& input)
{
    const size_t units = input.ConsumeIntegralInRange<size_t>(0, 64);
    std::u16string text;
    for (size_t i = 0; i < units && input.remaining_bytes() >= 2; ++i) text += input.ConsumeIntegral<char16_t>();
    return text;
}

void Expect(bool holds)
{
    if (!holds) __builtin_trap();
}

}  // namespace

void WriteOutput(const char* bytes, size_t count) { Written.append(bytes, count); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    CScanResult result;
    result.id = input.ConsumeIntegral<int32_t>();
    result.numInputs = input.ConsumeIntegral<int32_t>();
    result.numOutputs = input.ConsumeIntegral<int32_t>();
    result.wantsMidi = input.ConsumeBool();
    result.sendsMidi = input.ConsumeBool();
    result.audio64 = input.ConsumeBool();
    result.synthEdit = input.ConsumeBool();
    result.category = input.ConsumeBool() ? kCategoryShell : input.ConsumeIntegral<int32_t>();
    result.name = TakeText(input);
    result.vendor = TakeText(input);
    result.product = TakeText(input);
    result.version = TakeText(input);
    result.error = TakeText(input);
    std::vector<std::pair<int32_t, std::u16string>> shells;
    if (result.category == kCategoryShell)
        while (input.remaining_bytes() > 4 && shells.size() < 8) {
            auto* shell = new CShellInfo;
            shell->id = input.ConsumeIntegral<int32_t>();
            shell->name = TakeText(input);
            shells.emplace_back(shell->id, shell->name);
            result.shells.Add(shell);
        }

    Written.clear();
    WriteScanReport(result);
    std::vector<std::string> lines;
    for (size_t start = 0; start < Written.size();) {
        const size_t end = Written.find('\n', start);
        const CServerLine line = SplitServerLine(std::string_view(Written).substr(start, end - start));
        Expect(line.level == ">");
        lines.push_back(line.text);
        start = end + 1;
    }
    std::string problem;
    const auto report = ParsePluginReport(lines, &problem);
    Expect(report.has_value());
    Expect(report->id == static_cast<uint32_t>(result.id));
    Expect(report->name == ToUtf8(result.name) && report->vendor == ToUtf8(result.vendor));
    Expect(report->product == ToUtf8(result.product) && report->version == ToUtf8(result.version));
    Expect(report->error == ToUtf8(result.error));
    Expect(report->numInputs == result.numInputs && report->numOutputs == result.numOutputs);
    Expect(report->category == result.category);
    Expect(report->wantsMidi == result.wantsMidi && report->sendsMidi == result.sendsMidi);
    Expect(report->audio64 == result.audio64 && report->synthEdit == result.synthEdit);
    Expect(report->subPlugins.size() == shells.size());
    for (size_t i = 0; i < shells.size(); ++i)
        Expect(report->subPlugins[i].id == static_cast<uint32_t>(shells[i].first) &&
               report->subPlugins[i].name == ToUtf8(shells[i].second));
    return 0;
}
