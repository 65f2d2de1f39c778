#include "scanner/Entry.h"

#include <cstdlib>

const char* const kServerName = "ScanServer-linux-x86_64";
const char* const kServerNameX86 = "";

NativeText DefaultDumpFolder()
{
    const char* temp = std::getenv("TMPDIR");
    return std::string(temp && temp[0] == '/' ? temp : "/tmp") + "/tessarine-scan-dumps";
}

int main(int argc, char** argv) { return RunScanner(std::vector<std::string>(argv, argv + argc)); }
