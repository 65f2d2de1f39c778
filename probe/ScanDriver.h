#pragma once
#include <string>

// Answers one request: the trace, an "error" line when the scan failed, then the report.
void ScanPlugin(const std::u16string& request);
// Answers a request that could not be served at all with the same shape of answer.
void AnswerRejectedRequest(const char16_t* error);
// Frees the library kept loaded for a shell's sub-plug-ins, if there is one.
void FreeCachedLibrary();
