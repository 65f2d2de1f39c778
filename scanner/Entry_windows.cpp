#include "scanner/Entry.h"

#include <windows.h>

const char* const kServerName = "ScanServer-x64.exe";
const char* const kServerNameX86 = "ScanServer-x86.exe";

NativeText DefaultDumpFolder()
{
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"tessarine-scan-dumps";
}

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(ToUtf8(argv[i]));
    return RunScanner(arguments);
}
