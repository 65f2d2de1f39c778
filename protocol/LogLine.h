#pragma once
// Every line the server writes: a level, a colon, and UTF-8 text that ends with the format's
// own line feed. One line goes out in one write, flushed at once, so nothing waits in a
// buffer of ours when the next step of a scan ends the process.
#include <cstdarg>
#include <cstddef>
#include <string>

void LogError(const char16_t* format, ...);
void LogWarn(const char16_t* format, ...);
void LogInfo(const char16_t* format, ...);
void LogReport(const char16_t* format, ...);
void WriteLogLine(const char* level, const char16_t* format, va_list arguments);

// The bytes of one line, as WriteLogLine sends them. Line breaks inside arguments are written
// as \n and \r so that a plug-in's or a request's text cannot forge a line of its own.
std::string BuildLogLine(const char* level, const char16_t* format, va_list arguments);

// The output channel: one write of the whole buffer, then a flush. Failures are ignored.
// The server writes to its output pipe; unit tests capture it.
void WriteOutput(const char* bytes, size_t count);
