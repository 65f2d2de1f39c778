#pragma once
// The ">" report of one scan: a JSON-like object, one line per field. Hosts parse it as it
// stands, trailing commas and column alignment included, so its bytes never change.
#include <string>
#include <string_view>

#include "report/ScanResult.h"

void WriteScanReport(const CScanResult& result);

// Escapes one text for a quoted report value, UTF-16 unit by unit; the result is 7-bit ASCII.
std::u16string EscapeJson(std::u16string_view text);
