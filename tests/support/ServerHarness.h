#pragma once
// A small host of our own for tests: starts the real server with real pipes, sends requests,
// collects every output byte and the exit code, and gives up after a time-out so that a broken
// server cannot hang the suite.
#include <windows.h>

#include <string>
#include <vector>

#include "host/ChildProcess.h"
#include "host/Paths.h"
#include "host/WindowsText.h"

struct CServerOptions {
    std::wstring serverName = L"ScanServer-x64.exe";  // in the test program's folder
    bool passRequestPipe = true;
    bool passOutputPipe = true;  // else the output pipe is the server's standard output
    std::wstring requestArgument;  // used instead of the request handle when not empty
    std::wstring windowArgument = L"0";
    std::wstring dumpFolder;  // argument 4, left out when empty
    bool passDumpFolder = false;
    DWORD timeoutMs = 30000;
};

class CServerProcess {
public:
    explicit CServerProcess(const CServerOptions& options = {});
    ~CServerProcess();
    CServerProcess(const CServerProcess&) = delete;
    CServerProcess& operator=(const CServerProcess&) = delete;

    bool Started() const { return child.Running(); }
    // Waits until the output holds `count` "ready:" lines, or the output ends.
    bool WaitForReady(int count);
    // Waits until the output contains `text`, or the output ends.
    bool WaitForOutput(const std::string& text);
    void Send(const std::string& bytes);
    void CloseRequests();
    // The exit code, or STILL_ACTIVE when the server did not end within the time-out.
    DWORD WaitForExit();
    void Kill();
    std::string Output();

private:
    CServerOptions options;
    CChildProcess child;
};

// A test plug-in, built into the test program's folder.
std::wstring PluginPath(const std::wstring& name);

// Starts a server, sends each request after its "ready:", closes the pipe and returns the
// whole output. The exit code goes to `exitCode` when given.
std::string RunRequests(const std::vector<std::string>& requests, const CServerOptions& options = {},
                        DWORD* exitCode = nullptr);

// Counts the occurrences of `needle` in `text`.
int CountOf(const std::string& text, const std::string& needle);
