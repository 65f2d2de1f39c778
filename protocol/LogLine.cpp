#include "protocol/LogLine.h"

#include "protocol/Format.h"
#include "protocol/Utf8.h"

std::string BuildLogLine(const char* level, const char16_t* format, va_list arguments)
{
    std::string line = level;
    line += ':';
    std::u16string text;
    VFormatString(text, format, arguments, true);
    line += ToUtf8(text);
    return line;
}

void WriteLogLine(const char* level, const char16_t* format, va_list arguments)
{
    const std::string line = BuildLogLine(level, format, arguments);
    WriteOutput(line.data(), line.size());
}

#define TESSARINE_LOG_FUNCTION(Name, level)          \
    void Name(const char16_t* format, ...)           \
    {                                                \
        va_list arguments;                           \
        va_start(arguments, format);                 \
        WriteLogLine(level, format, arguments);      \
        va_end(arguments);                           \
    }

TESSARINE_LOG_FUNCTION(LogError, "error")
TESSARINE_LOG_FUNCTION(LogWarn, "warn")
TESSARINE_LOG_FUNCTION(LogInfo, "info")
TESSARINE_LOG_FUNCTION(LogReport, ">")
