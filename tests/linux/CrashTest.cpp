// Crashes in each place a plug-in can crash on Linux: the server ends with exit code 9 and
// leaves a minidump that the host's own reader reads, naming the plug-in's module and the
// faulting thread.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/MinidumpReader.h"
#include "tests/linux/LinuxServer.h"

namespace {

struct CCrashCase {
    const char* request;     // in the zoo
    const char* module;      // the binary the fault is in, in the zoo
    uint32_t code;
    bool onServerThread;     // else on a thread the plug-in started
};

void PrintTo(const CCrashCase& crash, std::ostream* out) { *out << crash.request; }

const CCrashCase kCrashes[] = {
    {"crash_in_entry.so", "crash_in_entry.so", 0xC0000005, true},
    {"crash_on_thread.so", "crash_on_thread.so", 0xC0000005, false},
    {"stack_overflow.so", "stack_overflow.so", 0xC00000FD, true},
    // abort() stops in the C library: the dump names the plug-in that called it.
    {"abort_in_entry.so", "abort_in_entry.so", 0xC0000409, true},
    {"trap_in_entry.so", "trap_in_entry.so", 0xC000001D, true},
    {"vst3_factory_crashes.vst3", "vst3_factory_crashes.vst3/Contents/x86_64-linux/vst3_factory_crashes.so", 0xC0000005, true},
    {"clap_factory_crashes.clap", "clap_factory_crashes.clap", 0xC0000005, true},
    // Every descriptor taken first: the crash path kept its own.
    {"exhausts_then_crash.so", "exhausts_then_crash.so", 0xC0000005, true},
};

class TemporaryFolder {
public:
    TemporaryFolder()
    {
        char pattern[] = "/tmp/tessarine-dumps-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TemporaryFolder() { (void)!system(("rm -rf '" + path + "'").c_str()); }
    std::vector<std::string> Files() const { return FilesIn(path); }
    std::string path;
};

// What a command prints, its errors too.
std::string CommandOutput(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char chunk[4096];
        while (size_t count = fread(chunk, 1, sizeof(chunk), pipe)) text.append(chunk, count);
        pclose(pipe);
    }
    return text;
}

class Crash : public ::testing::TestWithParam<CCrashCase> {};

TEST_P(Crash, EndsTheServerWithADumpThatNamesThePluginAndItsThread)
{
    TemporaryFolder dumps;
    CLinuxServer server(dumps.path);
    const uint32_t serverId = server.Process().ProcessId();
    bool answered = true;
    server.Ask(ZooPath(GetParam().request), answered);
    EXPECT_FALSE(answered);
    EXPECT_EQ(server.Process().WaitForExit(30000), 9u);

    const auto files = dumps.Files();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(files[0].find("/ScanServer-linux-x86_64-"), std::string::npos);
    EXPECT_EQ(files[0].substr(files[0].size() - 5), ".mdmp");
    std::ifstream file(files[0], std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    const auto dump = ReadMinidump(bytes.str());
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->exceptionCode, GetParam().code);
    const CDumpModule* module = dump->ModuleAt(dump->exceptionAddress);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->path, ZooPath(GetParam().module));
    // The main thread's id is the process's; a thread the plug-in started has one of its own.
    if (GetParam().onServerThread) EXPECT_EQ(dump->threadId, serverId);
    else EXPECT_NE(dump->threadId, serverId);
    EXPECT_NE(dump->threadId, 0u);

    // A reader of others' opens it too, and its backtrace names a function of the plug-in.
    const std::string binary = std::string(GetParam().module).substr(std::string(GetParam().module).rfind('/') + 1);
    const std::string backtrace = CommandOutput("timeout 60 lldb --batch -c '" + files[0] + "' -o 'bt 30'");
    EXPECT_NE(backtrace.find("stop reason = signal SIG"), std::string::npos) << backtrace;
    EXPECT_NE(backtrace.find(binary + "`"), std::string::npos) << backtrace;
}

INSTANTIATE_TEST_SUITE_P(Linux, Crash, ::testing::ValuesIn(kCrashes));

TEST(Crash, WithoutADumpFolderStillEndsWithTheCrashCode)
{
    CLinuxServer server;
    bool answered = true;
    server.Ask(ZooPath("crash_in_entry.so"), answered);
    EXPECT_FALSE(answered);
    EXPECT_EQ(server.Process().WaitForExit(30000), 9u);
}

}  // namespace
