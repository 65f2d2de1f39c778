#include "report/ModuleReport.h"

#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "protocol/Platform.h"
#include "report/JsonReport.h"

namespace {

const char16_t* Word(bool value) { return value ? u"true" : u"false"; }

std::u16string Text(const char16_t* key, const std::u16string& value)
{
    return u"\"" + std::u16string(key) + u"\": \"" + EscapeJson(value) + u"\", ";
}

std::u16string Number(const char16_t* key, int32_t value) { return FormatString(u"\"%s\": %i, ", key, value); }

std::u16string Flag(const char16_t* key, bool value) { return u"\"" + std::u16string(key) + u"\": " + Word(value) + u", "; }

// One class or plug-in as one line: an object a host reads whole.
void WriteClass(const CModuleClass& entry, bool vst3)
{
    std::u16string line = Text(u"id", entry.id) + Text(u"name", entry.name) + Text(u"vendor", entry.vendor) +
                          Text(u"version", entry.version) + Text(u"category", entry.category);
    if (vst3)
        line += Text(u"subCategories", entry.subCategories) + Text(u"sdkVersion", entry.sdkVersion) +
                Number(u"cardinality", entry.cardinality) + Flag(u"plugin", entry.plugin);
    else
        line += Text(u"description", entry.description) + Text(u"url", entry.url);
    line += Number(u"numInputs", entry.numInputs) + Number(u"numOutputs", entry.numOutputs) +
            Flag(u"wantsMidi", entry.wantsMidi) + Flag(u"sendsMidi", entry.sendsMidi) + u"\"error\": \"" +
            EscapeJson(entry.error) + u"\"";
    LogReport(u"    {%s},\n", line.c_str());
}

}  // namespace

void WriteModuleReport(const CModuleResult& result)
{
    const bool vst3 = std::u16string(result.format) == u"vst3";
    LogReport(u"{\n");
    LogReport(u"  \"format\":    \"%s\",\n", result.format);
    if (vst3) {
        LogReport(u"  \"vendor\":    \"%s\",\n", EscapeJson(result.vendor).c_str());
        LogReport(u"  \"url\":       \"%s\",\n", EscapeJson(result.url).c_str());
        LogReport(u"  \"email\":     \"%s\",\n", EscapeJson(result.email).c_str());
    } else {
        LogReport(u"  \"version\":   \"%s\",\n", EscapeJson(result.version).c_str());
    }
    LogReport(u"  \"error\":     \"%s\",\n", EscapeJson(result.error).c_str());
    LogReport(u"  \"platform\":  \"%s\",\n", kPlatformName);
    LogReport(vst3 ? u"  \"classes\": [\n" : u"  \"plugins\": [\n");
    for (const CModuleClass& entry : result.classes) WriteClass(entry, vst3);
    LogReport(u"  ],\n");
    LogReport(u"}\n");
}
