#include "tests/linux/LinuxServer.h"

#include <dirent.h>

#include "host/Paths.h"

std::string BinFolder() { return ProgramFolder(); }

std::string ZooPath(const std::string& file) { return BinFolder() + "/plugins/" + file; }

CLinuxServer::CLinuxServer(const std::string& dumpFolder)
{
    CChildStart how;
    how.commandLine = [&](const std::string& requestEnd, const std::string& outputEnd) {
        CommandText command{BinFolder() + "/ScanServer-linux-x86_64", requestEnd, outputEnd, "0"};
        if (!dumpFolder.empty()) command.push_back(dumpFolder);
        return command;
    };
    how.ownJob = true;
    how.captureConsole = true;
    std::string problem;
    child.Start(how, problem);
    NextReady(std::chrono::steady_clock::now() + std::chrono::seconds(30), nullptr);
}

CLinuxServer::~CLinuxServer() { child.End(true, 0); }

bool CLinuxServer::NextReady(std::chrono::steady_clock::time_point deadline, std::vector<std::string>* lines)
{
    bool ended = false;
    while (auto line = child.NextLine(deadline, ended)) {
        if (*line == "ready:") return true;
        if (lines) lines->push_back(*line);
    }
    return false;
}

std::vector<std::string> CLinuxServer::Ask(const std::string& request, bool& answered, std::chrono::milliseconds limit)
{
    std::vector<std::string> lines;
    child.Write(request + "\n");
    answered = NextReady(std::chrono::steady_clock::now() + limit, &lines);
    return lines;
}

uint32_t CLinuxServer::Finish(uint32_t waitMs)
{
    child.CloseRequests();
    return child.WaitForExit(waitMs);
}

CPluginReport ReportOf(const std::vector<std::string>& lines)
{
    std::vector<std::string> report;
    for (const std::string& line : lines)
        if (line.rfind(">:", 0) == 0) report.push_back(line.substr(2));
    return ParsePluginReport(report).value_or(CPluginReport{});
}

std::string ErrorOf(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        if (line.rfind("error:", 0) == 0) return line.substr(6);
    return "";
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    if (DIR* listing = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(listing))
            if (entry->d_name[0] != '.') files.push_back(folder + "/" + entry->d_name);
        closedir(listing);
    }
    return files;
}
