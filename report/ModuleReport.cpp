#include "report/ModuleReport.h"

#include <iterator>

#include "protocol/Format.h"
#include "protocol/LogLine.h"
#include "protocol/Platform.h"
#include "report/JsonReport.h"

namespace {

// Bus names are short in both formats (128 and 256 units); a longer one is cut.
constexpr size_t kLongestBusName = 256;

const char16_t* Word(bool value) { return value ? u"true" : u"false"; }

std::u16string Text(const char16_t* key, const std::u16string& value)
{
    return u"\"" + std::u16string(key) + u"\": \"" + EscapeJson(value) + u"\", ";
}

std::u16string Number(const char16_t* key, int32_t value) { return FormatString(u"\"%s\": %i, ", key, value); }

std::u16string Count(const char16_t* key, int32_t value)
{
    return value == kUnknownCount ? u"\"" + std::u16string(key) + u"\": null, " : Number(key, value);
}

std::u16string Flag(const char16_t* key, bool value) { return u"\"" + std::u16string(key) + u"\": " + Word(value) + u", "; }

// Each bus a flat object of its own, within the class's line.
std::u16string Buses(const std::vector<CModuleBus>& buses)
{
    std::u16string list;
    for (const CModuleBus& bus : buses) {
        std::u16string fields = Text(u"name", bus.name.substr(0, kLongestBusName)) + Flag(u"input", bus.input) +
                                Flag(u"main", bus.main) + Count(u"channels", bus.channels);
        fields += u"\"cv\": " + std::u16string(Word(bus.controlVoltage));
        list += (list.empty() ? u"{" : u", {") + fields + u"}";
    }
    return list;
}

bool IsVst3(const CModuleResult& result) { return std::u16string(result.format) == u"vst3"; }

// A text cut to the longest a report holds, never between the two halves of a character.
void CutText(std::u16string& text, const char16_t* what, std::u16string& note)
{
    if (text.size() <= kLongestReportText) return;
    size_t end = kLongestReportText;
    if (text[end] >= 0xDC00 && text[end] <= 0xDFFF) --end;
    AddNote(note, FormatString(u"%s of %u characters cut to %u", what, static_cast<unsigned>(text.size()),
                               static_cast<unsigned>(end)));
    text.resize(end);
}

void WriteHead(CModuleResult& result)
{
    if (result.headWritten) return;
    result.headWritten = true;
    LogReport(u"{\n");
    LogReport(u"  \"format\":    \"%s\",\n", result.format);
    if (IsVst3(result)) {
        LogReport(u"  \"vendor\":    \"%s\",\n", EscapeJson(result.vendor).c_str());
        LogReport(u"  \"url\":       \"%s\",\n", EscapeJson(result.url).c_str());
        LogReport(u"  \"email\":     \"%s\",\n", EscapeJson(result.email).c_str());
    } else {
        LogReport(u"  \"version\":   \"%s\",\n", EscapeJson(result.version).c_str());
    }
    LogReport(u"  \"platform\":  \"%s\",\n", kPlatformName);
    // What is cut before the first class (their number) goes out with the head, in case the
    // module crashes later; the end repeats the notes when more came.
    if (!result.notes.empty()) LogReport(u"  \"notes\":     \"%s\",\n", EscapeJson(result.notes).c_str());
    result.headNotes = result.notes.size();
    LogReport(IsVst3(result) ? u"  \"classes\": [\n" : u"  \"plugins\": [\n");
}

}  // namespace

void AddNote(std::u16string& note, const std::u16string& sentence)
{
    if (sentence.empty()) return;
    note += (note.empty() ? u"" : u"; ") + sentence;
}

void ReportModuleClass(CModuleResult& result, CModuleClass entry)
{
    WriteHead(result);
    // Texts of any length fit a line: each is cut, with a note.
    std::u16string cut;
    std::u16string* const texts[] = {&entry.id, &entry.name, &entry.vendor, &entry.version, &entry.category,
                                     &entry.subCategories, &entry.sdkVersion, &entry.description, &entry.url,
                                     &entry.error, &entry.note};
    const char16_t* const names[] = {u"id", u"name", u"vendor", u"version", u"category", u"sub-categories",
                                     u"SDK version", u"description", u"url", u"error", u"note"};
    for (size_t i = 0; i < std::size(texts); ++i) CutText(*texts[i], names[i], cut);
    AddNote(entry.note, cut);

    std::u16string line = Text(u"id", entry.id) + Text(u"name", entry.name) + Text(u"vendor", entry.vendor) +
                          Text(u"version", entry.version) + Text(u"category", entry.category);
    if (IsVst3(result))
        line += Text(u"subCategories", entry.subCategories) + Text(u"sdkVersion", entry.sdkVersion) +
                Number(u"cardinality", entry.cardinality) + Flag(u"plugin", entry.plugin);
    else
        line += Text(u"description", entry.description) + Text(u"url", entry.url);
    line += Count(u"numInputs", entry.numInputs) + Count(u"numOutputs", entry.numOutputs) +
            Flag(u"wantsMidi", entry.wantsMidi) + Flag(u"sendsMidi", entry.sendsMidi);
    if (!entry.buses.empty()) line += u"\"buses\": [" + Buses(entry.buses) + u"], ";
    if (!entry.note.empty()) line += Text(u"note", entry.note);
    line += u"\"error\": \"" + EscapeJson(entry.error) + u"\"";
    // The answer stays within what a host reads: a module of many large classes is cut, said so.
    if (result.reportBytes + line.size() > kLargestModuleReport) {
        ++result.unwritten;
        result.classes.push_back(std::move(entry));
        return;
    }
    result.reportBytes += line.size();
    LogReport(u"    {%s},\n", line.c_str());
    result.classes.push_back(std::move(entry));
}

void FinishModuleReport(CModuleResult& result)
{
    WriteHead(result);
    LogReport(u"  ],\n");
    if (result.unwritten > 0)
        AddNote(result.notes, FormatString(u"%u classes not listed: the answer would have been larger than a host reads",
                                           static_cast<unsigned>(result.unwritten)));
    LogReport(u"  \"error\":     \"%s\",\n", EscapeJson(result.error).c_str());
    if (result.notes.size() != result.headNotes)
        LogReport(u"  \"notes\":     \"%s\",\n", EscapeJson(result.notes).c_str());
    LogReport(u"}\n");
}

void WriteModuleReport(CModuleResult result)
{
    std::vector<CModuleClass> classes = std::move(result.classes);
    result.classes.clear();
    for (CModuleClass& entry : classes) ReportModuleClass(result, std::move(entry));
    FinishModuleReport(result);
}
