#pragma once
// The Linux server as a host starts it, for the Linux tests: real pipes, a process group of
// its own, a folder for its dumps; and where the built zoo and server are.
#include <chrono>
#include <string>
#include <vector>

#include "host/ChildProcess.h"
#include "host/ServerOutput.h"

// The folder of the test program, where the server and the zoo are built.
std::string BinFolder();
// A zoo plug-in's path: "ordinary_effect.so", "vst3_pair.vst3", "clap_pair.clap".
std::string ZooPath(const std::string& file);

class CLinuxServer {
public:
    explicit CLinuxServer(const std::string& dumpFolder = "");
    ~CLinuxServer();
    CLinuxServer(const CLinuxServer&) = delete;
    CLinuxServer& operator=(const CLinuxServer&) = delete;

    // The lines the server wrote for one request, up to its next "ready:", or until its output
    // ended; `answered` tells which.
    std::vector<std::string> Ask(const std::string& request, bool& answered,
                                 std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Its exit code once its requests are closed, or kStillRunning.
    uint32_t Finish(uint32_t waitMs = 30000);
    CChildProcess& Process() { return child; }

private:
    bool NextReady(std::chrono::steady_clock::time_point deadline, std::vector<std::string>* lines);
    CChildProcess child;
};

// The files of a folder but its hidden ones, by path.
std::vector<std::string> FilesIn(const std::string& folder);

// The report among an answer's lines; an empty one when there is none.
CPluginReport ReportOf(const std::vector<std::string>& lines);
// The text of the answer's "error:" line; empty when there is none.
std::string ErrorOf(const std::vector<std::string>& lines);
