#pragma once
// tessarine-scan run as a user runs it, for the Linux tests: its exit code, standard output and
// error, in a folder of its own that is removed afterwards.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

struct CScannerRun {
    int exitCode = -1;
    std::string out, err;
};

class CScratchFolder {
public:
    CScratchFolder();
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;
    std::string path;
};

// Runs the built scanner with `arguments`, HOME set to `home` (the standard folders under it),
// after `prefix` when given (a command that runs it as another user), from `program` when given.
CScannerRun RunScanner(const std::vector<std::string>& arguments, const std::string& home, const std::string& prefix = "",
                       const std::string& program = "");

// The records of a --format json run, by the file name of their path.
std::map<std::string, nlohmann::json> RecordsByFileName(const std::string& out);
