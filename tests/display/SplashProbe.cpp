// Starts a server and reports, as key=value lines, what another process sees of its splash
// window. It then waits for the file named as its first argument (the caller takes its
// screenshot meanwhile), has one request served and reports the exit code.
// Usage: splash_probe.exe GO_FILE [SERVER_NAME]
#include <cstdio>
#include <thread>

#include "tests/support/ServerHarness.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    CServerOptions options;
    if (argc > 2) options.serverName = argv[2];
    CServerProcess server(options);
    if (!server.WaitForReady(1)) {
        printf("error=server did not start\n");
        return 1;
    }
    HWND window = FindWindowW(L"TessarineScanServer", nullptr);
    printf("found=%d\n", window != nullptr);
    if (window) {
        wchar_t title[64] = {};
        GetWindowTextW(window, title, 64);
        RECT rect{}, workArea{};
        GetWindowRect(window, &rect);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
        printf("exstyle=%08lX\n", static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)));
        printf("style=%08lX\n", static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)));
        printf("title=%s\n", ToUtf8(title).c_str());
        printf("visible=%d\n", IsWindowVisible(window) ? 1 : 0);
        printf("workarea=%ld,%ld,%ld,%ld\n", workArea.left, workArea.top, workArea.right, workArea.bottom);
        printf("rect=%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    }
    fflush(stdout);

    for (int waited = 0; GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES && waited < 600; ++waited) Sleep(100);
    // The server lets window messages through only when a request arrives, so the hit test is
    // sent first and answered while the request is served.
    DWORD_PTR hitTest = 0;
    std::thread asker;
    if (window) {
        asker = std::thread([&] {
            SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(1200, 900), SMTO_BLOCK, 20000, &hitTest);
        });
        Sleep(300);
    }
    server.Send("C:\\no\\such\\plugin.dll\n");
    const bool answered = server.WaitForReady(2);
    if (asker.joinable()) {
        asker.join();
        printf("hittest=%lu\n", static_cast<unsigned long>(hitTest));
    }
    printf("answered=%d\n", answered && server.Output().find(">:}\n") != std::string::npos);
    server.CloseRequests();
    printf("exit=%lu\n", static_cast<unsigned long>(server.WaitForExit()));
    return 0;
}
