#include "scanner/Entry.h"

#include "host/NativeText.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(ToUtf8(argv[i]));
    return RunScanner(arguments);
}
