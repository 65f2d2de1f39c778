#include "scanner/Defaults.h"

#include <windows.h>

const char* const kServerName = "ScanServer-x64.exe";
const char* const kServerNameX86 = "ScanServer-x86.exe";
const char* const kDefaultDumpFolderText = "tessarine-scan-dumps in TEMP";

NativeText DefaultDumpFolder()
{
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"tessarine-scan-dumps";
}
