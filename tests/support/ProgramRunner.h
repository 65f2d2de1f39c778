#pragma once
// Runs a Windows program of ours with its standard output and error captured.
#include <windows.h>

#include <string>
#include <thread>

class CProgram {
public:
    explicit CProgram(const std::wstring& commandLine);
    ~CProgram();
    // The exit code, or STILL_ACTIVE when it did not end within `timeoutMs`.
    DWORD Wait(DWORD timeoutMs);
    void Kill();
    const std::string& Out() const { return out; }
    const std::string& Err() const { return err; }

private:
    HANDLE process = nullptr;
    HANDLE outRead = nullptr, errRead = nullptr;
    std::thread outReader, errReader;
    std::string out, err;
};
