#include "report/JsonReport.h"

#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "protocol/Platform.h"

namespace {

const char16_t* Word(bool value) { return value ? u"true" : u"false"; }

}  // namespace

std::u16string EscapeJson(std::u16string_view text)
{
    std::u16string escaped;
    for (char16_t unit : text) {
        switch (unit) {
        case u'\b': escaped += u"\\b"; break;
        case u'\t': escaped += u"\\t"; break;
        case u'\n': escaped += u"\\n"; break;
        case u'\f': escaped += u"\\f"; break;
        case u'\r': escaped += u"\\r"; break;
        case u'"': escaped += u"\\\""; break;
        case u'/': escaped += u"\\/"; break;
        case u'\\': escaped += u"\\\\"; break;
        default:
            // Units from U+0014 up pass through; hosts rely on the exact bytes.
            if (unit >= 0x14 && unit <= 0x7E) escaped += unit;
            else escaped += FormatString(u"\\u%.4x", static_cast<unsigned>(unit));
        }
    }
    return escaped;
}

void WriteScanReport(const CScanResult& result)
{
    LogReport(u"{\n");
    LogReport(u"  \"id\":        \"%.8X\",\n", static_cast<uint32_t>(result.id));
    LogReport(u"  \"name\":      \"%s\",\n", EscapeJson(result.name).c_str());
    LogReport(u"  \"vendor\":    \"%s\",\n", EscapeJson(result.vendor).c_str());
    LogReport(u"  \"product\":   \"%s\",\n", EscapeJson(result.product).c_str());
    LogReport(u"  \"version\":   \"%s\",\n", EscapeJson(result.version).c_str());
    LogReport(u"  \"error\":     \"%s\",\n", EscapeJson(result.error).c_str());
    LogReport(u"  \"numInputs\": %i,\n", result.numInputs);
    LogReport(u"  \"numOutputs\":%i,\n", result.numOutputs);
    LogReport(u"  \"wantsMidi\":  %s,\n", Word(result.wantsMidi));
    LogReport(u"  \"sendsMidi\": %s,\n", Word(result.sendsMidi));
    LogReport(u"  \"platform\":  \"%s\",\n", kPlatformName);
    LogReport(u"  \"audio64\":   %s,\n", Word(result.audio64));
    LogReport(u"  \"category\":  %i,\n", result.category);
    LogReport(u"  \"synthEdit\": %s,\n", Word(result.synthEdit));
    if (result.category == kCategoryShell) {
        LogReport(u"  \"shells\": {\n");
        for (int32_t i = 0; i < result.shells.GetCount(); ++i) {
            const CShellInfo* shell = result.shells[i];
            LogReport(u"        \"%.8X\": \"%s\",\n", static_cast<uint32_t>(shell->id), EscapeJson(shell->name).c_str());
        }
        LogReport(u"  },\n");
    }
    LogReport(u"}\n");
}
