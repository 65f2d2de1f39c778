// The least a Windows program can do that the server's start-up is compared with: start, write
// one line to the pipe handle it is given (argument 2, as the server takes it), and exit.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 1;
    HANDLE output = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::wcstoull(argv[2], nullptr, 16)));
    DWORD written = 0;
    WriteFile(output, "ready:\n", 7, &written, nullptr);
    FlushFileBuffers(output);
    return 0;
}
