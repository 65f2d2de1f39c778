// What one plug-in leaves in the process does not reach the next: a witness plug-in sees the
// same process before and after a plug-in that changes everything process-wide; a crash after
// it is still caught, dumped readably and blamed; what cannot be undone retires the server.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "host/MinidumpReader.h"
#include "tests/linux/LinuxServer.h"
#include "tests/linux/ScannerRun.h"

namespace {

std::string WitnessSees(CLinuxServer& server)
{
    bool answered = false;
    const auto lines = server.Ask(ZooPath("reports_process_state.so"), answered);
    EXPECT_TRUE(answered);
    return ReportOf(lines).product;
}

TEST(ProcessGuard, APluginsChangesToTheProcessAreUndoneBeforeTheNextPlugin)
{
    CLinuxServer server;
    const std::string before = WitnessSees(server);
    ASSERT_EQ(before.substr(0, 4), "0.5 ") << before;
    bool answered = false;
    const auto spoiled = server.Ask(ZooPath("spoils_process.so"), answered);
    ASSERT_TRUE(answered);
    EXPECT_EQ(ReportOf(spoiled).name, "Spoils Process");
    EXPECT_EQ(WitnessSees(server), before);
}

// The spoiler blocked every signal and reset the crash handler; a forked child of the next
// plug-in faults with the server's handler inherited. The server's own crash after both is
// still caught at once and dumped readably (the spoiler's umask of 0777 not applied to it).
TEST(ProcessGuard, ACrashAfterASpoilerAndAFaultingForkedChildIsDumpedAndBlamed)
{
    CScratchFolder dumps;
    CLinuxServer server(dumps.path);
    bool answered = false;
    server.Ask(ZooPath("spoils_process.so"), answered);
    ASSERT_TRUE(answered);
    const auto forked = server.Ask(ZooPath("forks_faulting_child.so"), answered);
    ASSERT_TRUE(answered);
    EXPECT_EQ(ReportOf(forked).name, "Forks Faulting Child");
    server.Ask(ZooPath("crash_in_entry.so"), answered, std::chrono::seconds(30));
    EXPECT_FALSE(answered);
    EXPECT_EQ(server.Process().WaitForExit(30000), 9u);

    const auto files = FilesIn(dumps.path);
    ASSERT_EQ(files.size(), 1u);  // none of the child's
    struct stat status {};
    ASSERT_EQ(stat(files[0].c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    std::ifstream file(files[0], std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    const auto dump = ReadMinidump(bytes.str());
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->exceptionCode, 0xC0000005u);
    const CDumpModule* module = dump->ModuleAt(dump->exceptionAddress);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->path, ZooPath("crash_in_entry.so"));
}

// Used-up descriptors and a library left loaded cannot be taken back: the plug-in that left
// them is named and the next plug-in gets a fresh server. The check of a plug-in after one
// that left a German locale and flushing on reads as it does alone.
TEST(ProcessGuard, WhatCannotBeUndoneRetiresTheServerAndNamesThePlugin)
{
    CScratchFolder scratch;
    const std::string checks = BinFolder() + "/plugins-check/";
    const CScannerRun scan = RunScanner({"--jobs", "1", "--format", "json", ZooPath("exhausts_descriptors.so"),
                                         ZooPath("ordinary_effect.so"), ZooPath("leaves_library_loaded.so"),
                                         ZooPath("synth_flag.so")},
                                        scratch.path);
    auto records = RecordsByFileName(scan.out);
    ASSERT_EQ(records.size(), 4u) << scan.err;
    EXPECT_EQ(records["exhausts_descriptors.so"]["leftBehind"], "no file descriptor left");
    EXPECT_EQ(records["leaves_library_loaded.so"]["leftBehind"],
              "the library " + BinFolder() + "/plugins/../not-installed/missing_helper.so still loaded");
    for (const char* file : {"ordinary_effect.so", "synth_flag.so"})
        EXPECT_EQ(records[file]["status"], "ok") << file << records[file].dump();

    const CScannerRun check = RunScanner({"--check", "--jobs", "1", "--format", "json", ZooPath("spoils_process.so"),
                                          checks + "check_clean.so", checks + "check_denormals.so"},
                                         scratch.path);
    records = RecordsByFileName(check.out);
    ASSERT_EQ(records.size(), 3u) << check.err;
    EXPECT_EQ(records["check_clean.so"]["check"]["status"], "passed") << records["check_clean.so"].dump();
    EXPECT_EQ(records["check_denormals.so"]["check"]["status"], "warnings") << records["check_denormals.so"].dump();
    EXPECT_EQ(records["check_denormals.so"]["check"]["stage"], "audio");

    // A signal the server does not handle is named, not made into an exception code; a server
    // whose output a plug-in replaced is ended by the host, and says so, not "killed by SIGKILL".
    const CScannerRun ends = RunScanner({"--format", "json", ZooPath("raises_alarm.so"), ZooPath("replaces_output.so")}, scratch.path);
    records = RecordsByFileName(ends.out);
    EXPECT_EQ(records["raises_alarm.so"]["error"], "the scan server was killed by SIGALRM") << ends.out;
    EXPECT_EQ(records["replaces_output.so"]["error"], "the scan server stopped answering and was ended") << ends.out;
}

TEST(ProcessGuard, AFifoOrADeviceIsNamedNotOpened)
{
    CScratchFolder scratch;
    const std::string fifo = scratch.path + "/x.so";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string bundle = scratch.path + "/y.vst3/Contents/x86_64-linux";
    ASSERT_EQ(system(("mkdir -p '" + bundle + "'").c_str()), 0);
    ASSERT_EQ(mkfifo((bundle + "/y.so").c_str(), 0644), 0);
    const CScannerRun run = RunScanner({"--format", "json", "--timeout", "5", scratch.path, "/dev/zero"}, scratch.path);
    auto records = RecordsByFileName(run.out);
    ASSERT_EQ(records.size(), 3u) << run.out << run.err;
    EXPECT_EQ(records["x.so"]["error"], "a FIFO, not a plug-in");
    EXPECT_EQ(records["y.vst3"]["error"], "a FIFO, not a plug-in");
    EXPECT_EQ(records["zero"]["error"], "a character device, not a plug-in");
}

}  // namespace
