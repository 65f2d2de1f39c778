#include "host/ServerOutput.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "protocol/HexArgument.h"
#include "protocol/Utf8.h"

namespace {

bool ParseHex(std::string_view digits, uint32_t& value)
{
    if (digits.empty() || digits.size() > 8) return false;
    value = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(static_cast<unsigned char>(c));
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// A quoted string at the start of `text`; the rest follows in `rest`.
bool TakeQuoted(std::string_view text, std::string& value, std::string_view& rest)
{
    if (text.empty() || text.front() != '"') return false;
    size_t end = 1;
    while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
    if (end >= text.size()) return false;
    if (!UnescapeReportString(text.substr(1, end - 1), value)) return false;
    rest = text.substr(end + 1);
    return true;
}

// A decimal number that fits 32 bits; anything larger is no number a server writes.
bool ParseInteger(std::string_view text, int32_t& value)
{
    const std::string digits(text);
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(digits.c_str(), &end, 10);
    if (digits.empty() || *end != '\0' || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

// A channel count: a number no bus can have was written as null.
bool ParseCount(std::string_view text, int32_t& value)
{
    if (text == "null") {
        value = kUnknownChannels;
        return true;
    }
    return ParseInteger(text, value) && value >= 0;
}

// A decimal fraction, or null (not measured): -1.
bool ParseDecimal(std::string_view text, double& value)
{
    if (text == "null") {
        value = -1;
        return true;
    }
    // Not strtod: the host's own locale may want a comma.
    const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && failed == std::errc() && end == text.data() + text.size() && value >= 0 && value < 1e12;
}

bool ParseFact(std::string_view text, int32_t& value)
{
    if (text == "null") {
        value = -1;
        return true;
    }
    return ParseInteger(text, value) && value >= 0;
}

bool ParseBoolean(std::string_view text, bool& value)
{
    if (text == "true") value = true;
    else if (text == "false") value = false;
    else return false;
    return true;
}

// true, false or null (not known): 1, 0 or -1.
bool ParseFlag(std::string_view text, int32_t& value)
{
    bool flag = false;
    if (text == "null") value = -1;
    else if (ParseBoolean(text, flag)) value = flag;
    else return false;
    return true;
}

// A check's list of what passed: "44100|48000", "1|64|varying"; empty when nothing did. Each
// item a number of at most 7 digits, or the word `word` where one is allowed.
bool IsFactList(std::string_view text, std::string_view word)
{
    if (text.empty()) return true;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('|', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        const bool number = !item.empty() && item.size() <= 7 &&
                            item.find_first_not_of("0123456789") == std::string_view::npos;
        if (!number && (word.empty() || item != word)) return false;
        start = end + 1;
    }
    return true;
}

// "1>1|2>2|2>1": the main bus layouts a check found, each its input and output channels.
bool IsLayoutList(std::string_view text)
{
    if (text.empty()) return true;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('|', start), text.size());
        const std::string_view item = text.substr(start, end - start);
        const size_t arrow = item.find('>');
        if (arrow == std::string_view::npos || !IsFactList(item.substr(0, arrow), "") || !IsFactList(item.substr(arrow + 1), "") ||
            arrow == 0 || arrow + 1 == item.size())
            return false;
        start = end + 1;
    }
    return true;
}

// The end of a value that opens with `open` ('[' or '{') and closes with `close`, outside quoted
// texts; npos when it does not close.
size_t ClosingOf(std::string_view text, char open, char close)
{
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            for (++i; i < text.size() && text[i] != '"'; i += text[i] == '\\' ? 2 : 1) {}
            if (i >= text.size()) return std::string_view::npos;
        } else if (text[i] == open) {
            ++depth;
        } else if (text[i] == close && --depth == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

// A flat object on one line, `{"key": value, ...}`: each field handed to `take` with its text
// when quoted, else its raw value (a number, a word, or a whole [...] list).
template <typename Take>
bool ForEachField(std::string_view line, Take take)
{
    if (line.empty() || line.front() != '{' || line.back() != '}') return false;
    std::string_view rest = Trim(line.substr(1, line.size() - 2));
    while (!rest.empty()) {
        std::string key, text;
        if (!TakeQuoted(rest, key, rest)) return false;
        rest = Trim(rest);
        if (rest.empty() || rest.front() != ':') return false;
        rest = Trim(rest.substr(1));
        if (rest.empty()) return false;
        bool quoted = false;
        std::string_view value;
        if (rest.front() == '"') {
            if (!TakeQuoted(rest, text, rest)) return false;
            quoted = true;
        } else if (rest.front() == '[') {
            const size_t end = ClosingOf(rest, '[', ']');
            if (end == std::string_view::npos) return false;
            value = rest.substr(0, end + 1);
            rest = rest.substr(end + 1);
        } else {
            const size_t valueEnd = rest.find(',');
            value = Trim(rest.substr(0, valueEnd));
            rest = valueEnd == std::string_view::npos ? std::string_view() : rest.substr(valueEnd);
        }
        if (!take(key, quoted, text, value)) return false;
        rest = Trim(rest);
        if (!rest.empty()) {
            if (rest.front() != ',') return false;
            rest = Trim(rest.substr(1));
        }
    }
    return true;
}

// A list of buses, `[{...}, {...}]`, each a flat object.
bool ParseBuses(std::string_view list, std::vector<CBusEntry>& buses)
{
    std::string_view rest = Trim(list.substr(1, list.size() - 2));
    while (!rest.empty()) {
        const size_t end = ClosingOf(rest, '{', '}');
        if (rest.front() != '{' || end == std::string_view::npos) return false;
        CBusEntry bus;
        const bool ok = ForEachField(rest.substr(0, end + 1), [&](const std::string& key, bool quoted, const std::string& text,
                                                               std::string_view value) {
            if (key == "name") return quoted && (bus.name = text, true);
            if (key == "input") return ParseBoolean(value, bus.input);
            if (key == "main") return ParseBoolean(value, bus.main);
            if (key == "channels") return ParseCount(value, bus.channels);
            if (key == "cv") return ParseBoolean(value, bus.controlVoltage);
            return true;  // keys a later server may add
        });
        if (!ok) return false;
        buses.push_back(std::move(bus));
        rest = Trim(rest.substr(end + 1));
        if (!rest.empty()) {
            if (rest.front() != ',') return false;
            rest = Trim(rest.substr(1));
        }
    }
    return true;
}

// One class or plug-in of a module: a whole object on one line, of quoted texts, numbers,
// booleans and its list of buses.
bool ParseEntryLine(std::string_view line, CModuleEntry& entry)
{
    return ForEachField(line, [&](const std::string& key, bool quoted, const std::string& text, std::string_view value) {
        std::string* const texts[] = {&entry.id, &entry.name, &entry.vendor, &entry.version, &entry.category,
                                      &entry.subCategories, &entry.sdkVersion, &entry.description, &entry.url, &entry.error,
                                      &entry.note};
        const char* const textKeys[] = {"id", "name", "vendor", "version", "category", "subCategories", "sdkVersion",
                                        "description", "url", "error", "note"};
        for (size_t i = 0; i < std::size(textKeys); ++i)
            if (key == textKeys[i]) {
                *texts[i] = text;
                return quoted;
            }
        if (key == "cardinality") return ParseInteger(value, entry.cardinality);
        if (key == "numInputs") return ParseCount(value, entry.numInputs);
        if (key == "numOutputs") return ParseCount(value, entry.numOutputs);
        if (key == "plugin") return ParseBoolean(value, entry.plugin);
        if (key == "wantsMidi") return ParseBoolean(value, entry.wantsMidi);
        if (key == "sendsMidi") return ParseBoolean(value, entry.sendsMidi);
        if (key == "buses") return !value.empty() && value.front() == '[' && ParseBuses(value, entry.buses);
        return true;  // keys a later server may add
    });
}

bool ParseStageLine(std::string_view line, CCheckStageEntry& stage)
{
    return ForEachField(line, [&](const std::string& key, bool quoted, const std::string& text, std::string_view) {
        if (key == "stage") return quoted && (stage.stage = text, true);
        if (key == "result") return quoted && (stage.result = text, true);
        if (key == "details") return quoted && (stage.details = text, true);
        return true;
    }) && !stage.stage.empty() && !stage.result.empty();
}

}  // namespace

CServerLine SplitServerLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return {"", std::string(line)};
    return {std::string(line.substr(0, colon)), std::string(line.substr(colon + 1))};
}

bool UnescapeReportString(std::string_view escaped, std::string& text)
{
    text.clear();
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\') {
            text += escaped[i];
            continue;
        }
        if (++i >= escaped.size()) return false;
        switch (escaped[i]) {
        case '"': text += '"'; break;
        case '\\': text += '\\'; break;
        case '/': text += '/'; break;
        case 'b': text += '\b'; break;
        case 'f': text += '\f'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'u': {
            uint32_t unit = 0;
            if (escaped.size() < i + 5 || !ParseHex(escaped.substr(i + 1, 4), unit)) return false;
            i += 4;
            // A high surrogate followed by an escaped low one is one character; a lone one
            // cannot be UTF-8 and becomes U+FFFD, as the server's own conversion does.
            uint32_t low = 0;
            if (unit >= 0xD800 && unit <= 0xDBFF && escaped.substr(i + 1, 2) == "\\u" &&
                ParseHex(escaped.substr(i + 3, 4), low) && low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 6;
            } else {
                AppendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
            }
            break;
        }
        default: return false;
        }
    }
    return true;
}

std::optional<CPluginReport> ParsePluginReport(const std::vector<std::string>& lines, std::string* problem)
{
    auto fail = [&](const std::string& why) {
        if (problem) *problem = why;
        return std::nullopt;
    };
    if (lines.empty() || Trim(lines.front()) != "{") return fail("the report does not start with {");

    CPluginReport report;
    bool inShells = false, inEntries = false, inStages = false, closed = false;
    for (size_t n = 1; n < lines.size() && !closed; ++n) {
        std::string_view line = Trim(lines[n]);
        if (!line.empty() && line.back() == ',') line = Trim(line.substr(0, line.size() - 1));
        if (inStages) {
            if (line == "]") {
                inStages = false;
                continue;
            }
            CCheckStageEntry stage;
            if (!ParseStageLine(line, stage)) return fail("bad stage line: " + lines[n]);
            report.stages.push_back(std::move(stage));
            continue;
        }
        if (inEntries) {
            if (line == "]") {
                inEntries = false;
                continue;
            }
            CModuleEntry entry;
            // A CLAP file's entries are all plug-ins.
            entry.plugin = report.format == "clap";
            if (!ParseEntryLine(line, entry)) return fail("bad class line: " + lines[n]);
            report.entries.push_back(std::move(entry));
            continue;
        }
        if (inShells) {
            if (line == "}") {
                inShells = false;
                continue;
            }
            std::string id, name;
            std::string_view rest;
            uint32_t value = 0;
            if (!TakeQuoted(line, id, rest) || !ParseHex(id, value)) return fail("bad sub-plug-in line: " + lines[n]);
            rest = Trim(rest);
            if (rest.empty() || rest.front() != ':' || !TakeQuoted(Trim(rest.substr(1)), name, rest))
                return fail("bad sub-plug-in line: " + lines[n]);
            report.subPlugins.push_back({value, name});
            continue;
        }
        if (line == "}") {
            closed = true;
            continue;
        }
        std::string key;
        std::string_view rest;
        if (!TakeQuoted(line, key, rest)) return fail("bad report line: " + lines[n]);
        rest = Trim(rest);
        if (rest.empty() || rest.front() != ':') return fail("bad report line: " + lines[n]);
        const std::string_view value = Trim(rest.substr(1));
        std::string text;
        std::string_view after;
        const bool quoted = TakeQuoted(value, text, after) && Trim(after).empty();
        bool ok = true;
        if (key == "shells") { ok = value == "{"; inShells = true; }
        else if (key == "classes" || key == "plugins") { ok = value == "["; inEntries = true; }
        else if (key == "stages") { ok = value == "["; inStages = true; }
        else if (key == "check") { ok = quoted && !text.empty(); report.check = text; }
        else if (key == "parameters") ok = ParseFact(value, report.facts.parameters);
        else if (key == "hiddenParameters") ok = ParseFact(value, report.facts.hiddenParameters);
        else if (key == "programs") ok = ParseFact(value, report.facts.programs);
        else if (key == "announcedTail") ok = ParseDecimal(value, report.facts.announcedTail);
        else if (key == "midiIn") ok = ParseFlag(value, report.facts.midiIn);
        else if (key == "midiOut") ok = ParseFlag(value, report.facts.midiOut);
        else if (key == "latency") ok = ParseFact(value, report.facts.latency);
        else if (key == "tail") ok = ParseDecimal(value, report.facts.tailSeconds);
        else if (key == "load") ok = ParseDecimal(value, report.facts.load);
        else if (key == "editor") ok = ParseBoolean(value, report.facts.editor);
        else if (key == "sampleRates") { ok = quoted && IsFactList(text, ""); report.facts.sampleRates = text; }
        else if (key == "blockSizes") { ok = quoted && IsFactList(text, "varying"); report.facts.blockSizes = text; }
        else if (key == "layouts") { ok = quoted && IsLayoutList(text); report.facts.layouts = text; }
        else if (key == "format") { ok = quoted; report.format = text; }
        else if (key == "url") { ok = quoted; report.url = text; }
        else if (key == "email") { ok = quoted; report.email = text; }
        else if (key == "notes") { ok = quoted; report.notes = text; }
        else if (key == "id") { uint32_t id = 0; ok = quoted && ParseHex(text, id); report.id = id; }
        else if (key == "name") { ok = quoted; report.name = text; }
        else if (key == "vendor") { ok = quoted; report.vendor = text; }
        else if (key == "product") { ok = quoted; report.product = text; }
        else if (key == "version") { ok = quoted; report.version = text; }
        else if (key == "error") { ok = quoted; report.error = text; }
        else if (key == "platform") { ok = quoted; report.platform = text; }
        else if (key == "numInputs") ok = ParseInteger(value, report.numInputs);
        else if (key == "numOutputs") ok = ParseInteger(value, report.numOutputs);
        else if (key == "category") ok = ParseInteger(value, report.category);
        else if (key == "wantsMidi") ok = ParseBoolean(value, report.wantsMidi);
        else if (key == "sendsMidi") ok = ParseBoolean(value, report.sendsMidi);
        else if (key == "audio64") ok = ParseBoolean(value, report.audio64) && (report.facts.audio64 = report.audio64, true);
        else if (key == "synthEdit") ok = ParseBoolean(value, report.synthEdit);
        // Keys a later server may add are skipped.
        if (!ok) return fail("bad value for " + key + ": " + lines[n]);
    }
    if (!closed || inShells || inEntries || inStages) return fail("the report ends before its closing }");
    return report;
}

std::optional<CPluginReport> ParsePartialModuleReport(const std::vector<std::string>& lines)
{
    auto streamed = [](const CPluginReport& report) {
        return report.format == "vst3" || report.format == "clap" || !report.check.empty();
    };
    if (auto whole = ParsePluginReport(lines); whole && streamed(*whole)) return whole;
    // The classes written so far are whole lines; the report is closed where it stopped.
    std::vector<std::string> whole;
    bool inEntries = false;
    for (const std::string& line : lines) {
        const std::string_view text = Trim(line);
        if (text == "}") break;
        if (!text.empty() && text.back() == '[') inEntries = true;
        if (text == "]," || text == "]") inEntries = false;
        whole.push_back(line);
    }
    if (inEntries) whole.push_back("  ],");
    whole.push_back("}");
    std::optional<CPluginReport> report = ParsePluginReport(whole);
    if (!report || !streamed(*report)) return std::nullopt;
    return report;
}
