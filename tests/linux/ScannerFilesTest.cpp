// What a Linux file system may hand the scanner: names that are not UTF-8, files it may not
// read, paths past the system's length, a database kept private. Each is named as what it is,
// kept byte-exact, and never held against a plug-in.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tests/linux/LinuxServer.h"
#include "tests/linux/ScannerRun.h"

namespace {

using Json = nlohmann::json;

void CopyFile(const std::string& from, const std::string& to, mode_t mode = 0644)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream(to, std::ios::binary) << in.rdbuf();
    chmod(to.c_str(), mode);
}

Json ReadJson(const std::string& path)
{
    std::ifstream file(path);
    return Json::parse(file, nullptr, false);
}

// Byte 0xE9 alone is not UTF-8: the name travels as U+F7E9 and loads from its own bytes.
TEST(ScannerFiles, ANameThatIsNotUtf8IsKeptByteExact)
{
    CScratchFolder scratch;
    CopyFile(ZooPath("ordinary_effect.so"), scratch.path + "/caf\xE9.so");
    const std::string database = scratch.path + "/plugins.json";
    const CScannerRun first = RunScanner({"--format", "json", "--db", database, scratch.path}, scratch.path);
    auto records = RecordsByFileName(first.out);
    ASSERT_EQ(records.size(), 1u) << first.out << first.err;
    const Json& record = records["caf\xEF\x9F\xA9.so"];
    EXPECT_EQ(record["status"], "ok") << record.dump();
    EXPECT_EQ(record["path"], scratch.path + "/caf\xEF\x9F\xA9.so");
    const CScannerRun second = RunScanner({"--format", "json", "--db", database, scratch.path}, scratch.path);
    EXPECT_NE(second.err.find("(0 scanned, 1 unchanged"), std::string::npos) << second.err;
    EXPECT_EQ(ReadJson(database)["plugins"].size(), 1u);
}

// Run as another user than root, which reads everything: the file is the scanner's problem,
// kept nowhere, and scanned once it can be read.
TEST(ScannerFiles, AFileTheScannerMayNotReadIsNotKeptAgainstIt)
{
    CScratchFolder scratch;
    chmod(scratch.path.c_str(), 0777);
    const std::string locked = scratch.path + "/locked.so", database = scratch.path + "/plugins.json";
    CopyFile(ZooPath("ordinary_effect.so"), locked, 0);
    const std::vector<std::string> arguments{"--format", "json", "--db", database, "--dump-dir", scratch.path + "/dumps", locked};
    const std::string user = getuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    // The programs from a folder the other user reaches, wherever the build is.
    const std::string programs = scratch.path + "/bin";
    mkdir(programs.c_str(), 0755);
    for (const char* program : {"tessarine-scan", "ScanServer-linux-x86_64"})
        CopyFile(BinFolder() + "/" + program, programs + "/" + program, 0755);
    const std::string scanner = programs + "/tessarine-scan";
    const CScannerRun refused = RunScanner(arguments, scratch.path, user, scanner);
    auto records = RecordsByFileName(refused.out);
    ASSERT_EQ(records.size(), 1u) << refused.out << refused.err;
    EXPECT_EQ(records["locked.so"]["error"], "the scanner may not read the file: Permission denied (error 13)");
    chmod(locked.c_str(), 0644);
    const CScannerRun readable = RunScanner(arguments, scratch.path, user, scanner);
    EXPECT_EQ(RecordsByFileName(readable.out)["locked.so"]["status"], "ok") << readable.err;
}

TEST(ScannerFiles, APathPastTheSystemsLengthIsNamedAsSuch)
{
    CScratchFolder scratch;
    // Folders of 200 bytes each, reached one by one: the whole path passes 4,096 bytes.
    const std::string name(200, 'd');
    int folder = open(scratch.path.c_str(), O_RDONLY | O_DIRECTORY);
    std::string path = scratch.path;
    while (path.size() < 4300) {
        ASSERT_EQ(mkdirat(folder, name.c_str(), 0755), 0);
        const int inner = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(folder);
        folder = inner;
        path += "/" + name;
    }
    const int plugin = openat(folder, "deep.so", O_WRONLY | O_CREAT, 0644);
    close(plugin);
    close(folder);
    const CScannerRun walked = RunScanner({"--format", "json", scratch.path}, scratch.path);
    EXPECT_NE(walked.err.find("File name too long"), std::string::npos) << walked.err;
    const CScannerRun given = RunScanner({path + "/deep.so"}, scratch.path);
    EXPECT_EQ(given.exitCode, 2);
    EXPECT_NE(given.err.find("cannot open " + path + "/deep.so: File name too long"), std::string::npos) << given.err;
}

TEST(ScannerFiles, ADatabaseKeepsItsMode)
{
    CScratchFolder scratch;
    const std::string database = scratch.path + "/plugins.json";
    RunScanner({"--db", database, ZooPath("ordinary_effect.so")}, scratch.path);
    ASSERT_EQ(chmod(database.c_str(), 0600), 0);
    RunScanner({"--db", database, ZooPath("synth_flag.so")}, scratch.path);
    struct stat status {};
    ASSERT_EQ(stat(database.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadJson(database)["plugins"].size(), 2u);
}

}  // namespace
