#include "protocol/CheckRequest.h"

namespace {

constexpr std::string_view kCheck = "?check ";
constexpr std::string_view kCheckEditor = "?check+editor ";

}  // namespace

bool IsCheckRequest(std::string_view request) { return !request.empty() && request.front() == '?'; }

std::optional<CCheckRequest> ParseCheckRequest(std::string_view request)
{
    CCheckRequest parsed;
    if (request.substr(0, kCheckEditor.size()) == kCheckEditor) {
        parsed.editor = true;
        request.remove_prefix(kCheckEditor.size());
    } else if (request.substr(0, kCheck.size()) == kCheck) {
        request.remove_prefix(kCheck.size());
    } else {
        return std::nullopt;
    }
    const size_t marker = request.find('>');
    parsed.path = std::string(request.substr(0, marker));
    if (marker != std::string_view::npos) {
        parsed.id = std::string(request.substr(marker + 1));
        if (parsed.id.empty()) return std::nullopt;
    }
    if (parsed.path.empty()) return std::nullopt;
    return parsed;
}

std::string CheckRequestText(const CCheckRequest& request)
{
    std::string text(request.editor ? kCheckEditor : kCheck);
    text += request.path;
    if (!request.id.empty()) text += ">" + request.id;
    return text;
}

PluginFormat CheckedFormat(const CCheckRequest& request) { return FormatOfPath(request.path); }
