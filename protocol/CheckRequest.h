#pragma once
// The request that asks a server to check one plug-in rather than scan a file: a line that
// starts with "?", which no Windows path does, so that no scan request can ever be taken for
// one. "?check <path>" checks a VST 2 plug-in, "?check <path>>HEXID" one sub-plug-in of a
// shell, "?check <path>><id>" one class of a VST 3 module or one plug-in of a CLAP file.
// "?check+editor" opens the editor too. Paths cannot hold '>', ids may.
#include <optional>
#include <string>
#include <string_view>

#include "protocol/PluginFormat.h"

struct CCheckRequest {
    std::string path;  // the file or bundle binary, UTF-8
    std::string id;    // the sub-plug-in, class or plug-in id; empty for a plain VST 2 plug-in
    bool editor = false;
};

bool IsCheckRequest(std::string_view request);
std::optional<CCheckRequest> ParseCheckRequest(std::string_view request);
std::string CheckRequestText(const CCheckRequest& request);
// The format of the file a check request names.
PluginFormat CheckedFormat(const CCheckRequest& request);
