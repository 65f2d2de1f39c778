#include "scanner/Defaults.h"

#include <cstdlib>

const char* const kServerName = "ScanServer-linux-x86_64";
const char* const kServerNameX86 = "";
const char* const kDefaultDumpFolderText = "tessarine-scan-dumps in TMPDIR, else /tmp";

NativeText DefaultDumpFolder()
{
    const char* temp = std::getenv("TMPDIR");
    return std::string(temp && temp[0] == '/' ? temp : "/tmp") + "/tessarine-scan-dumps";
}
