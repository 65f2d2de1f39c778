#include "tests/linux/ScannerRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/linux/LinuxServer.h"

namespace {

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

CScratchFolder::CScratchFolder()
{
    char pattern[] = "/tmp/tessarine-scan-test-XXXXXX";
    path = mkdtemp(pattern);
}

CScratchFolder::~CScratchFolder() { (void)!std::system(("rm -rf " + Quoted(path)).c_str()); }

CScannerRun RunScanner(const std::vector<std::string>& arguments, const std::string& home, const std::string& prefix,
                       const std::string& program)
{
    CScratchFolder output;
    std::string command = "HOME=" + Quoted(home) + " " + prefix + (prefix.empty() ? "" : " ") +
                          Quoted(program.empty() ? BinFolder() + "/tessarine-scan" : program);
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    command += " >" + Quoted(output.path + "/out") + " 2>" + Quoted(output.path + "/err") + " </dev/null";
    const int status = std::system(command.c_str());
    CScannerRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(output.path + "/out");
    run.err = ReadFile(output.path + "/err");
    return run;
}

std::map<std::string, nlohmann::json> RecordsByFileName(const std::string& out)
{
    std::map<std::string, nlohmann::json> records;
    const nlohmann::json all = nlohmann::json::parse(out, nullptr, false);
    if (!all.is_object() || !all.contains("plugins")) return records;
    for (const auto& record : all["plugins"]) {
        // A VST 3 bundle's binary is named by its bundle.
        const std::string path = record.value("bundle", record.value("path", ""));
        records[path.substr(path.find_last_of('/') + 1)] = record;
    }
    return records;
}
