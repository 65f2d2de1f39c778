#pragma once
// A scan as one self-contained HTML page: the records sit in it as JSON data, which the page's
// own script renders (textContent only); a plain table stands in without script. It loads
// nothing from anywhere, and a Content-Security-Policy says so. Pictures of the dialogs of
// plug-ins that did not come out ok are embedded as data: URIs, so the page can be mailed.
#include <string>
#include <vector>

#include "host/NativeText.h"

#include "scanner/Records.h"

struct CPageFacts {
    std::string generated;     // when, ISO 8601
    double scanSeconds = -1;   // how long the scan took; negative: no scan (a page of the database)
};

std::string ReportPageHtml(const std::vector<Json>& records, const CPageFacts& facts);

// Writes the page beside `path` and moves it over it; false with the reason.
bool WriteReportPage(const NativeText& path, const std::vector<Json>& records, const CPageFacts& facts, std::string& problem);

// Text made safe for HTML, for the plain table the page shows without script.
std::string HtmlText(const std::string& text);
// JSON that no HTML parser takes for the end of the script element that holds it.
std::string JsonForScriptElement(const Json& value);
