// Starts the scan server with real pipes, sends it each path given on the command line and
// prints every line it answers: the protocol as a host sees it.
#include <cstdio>

#include "tests/support/ServerHarness.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> requests;
    for (int i = 1; i < argc; ++i) requests.push_back(ToUtf8(argv[i]) + "\n");
    DWORD exitCode = 0;
    const std::string output = RunRequests(requests, {}, &exitCode);
    fwrite(output.data(), 1, output.size(), stdout);
    printf("(server exit code %lu)\n", static_cast<unsigned long>(exitCode));
    return 0;
}
