// tessarine-scan on Linux, as a user runs it: the zoo's outcomes and blame, the check's verdicts,
// and Debian's plug-ins found in the standard folders, scanned once and then taken from the database.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/linux/DebianPackages.h"
#include "tests/linux/LinuxServer.h"
#include "tests/linux/ScannerRun.h"
#include "tests/support/CheckZooVerdicts.h"

namespace {

using Json = nlohmann::json;

TEST(LinuxScanner, GivesTheZoosOutcomesAndBlamesAsOnWindows)
{
    CScratchFolder scratch;
    std::vector<std::string> arguments{"--jobs", "1", "--timeout", "3", "--format", "json", "--dump-dir", scratch.path + "/dumps"};
    for (const char* file : {"crash_in_entry.so", "crash_on_thread.so", "stack_overflow.so", "hang_in_entry.so",
                             "fault_after_answer.so", "ordinary_effect.so", "needs_missing_dll.so", "vst3_pair.vst3",
                             "clap_pair.clap"})
        arguments.push_back(ZooPath(file));
    const CScannerRun run = RunScanner(arguments, scratch.path);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    auto records = RecordsByFileName(run.out);
    ASSERT_EQ(records.size(), 9u) << run.out;
    for (const auto& [file, code] : {std::pair{"crash_in_entry.so", "C0000005"}, std::pair{"crash_on_thread.so", "C0000005"},
                                     std::pair{"stack_overflow.so", "C00000FD"}}) {
        const Json& record = records[file];
        EXPECT_EQ(record["status"], "crashed") << file;
        EXPECT_EQ(record["faultModule"], ZooPath(file)) << file;
        EXPECT_EQ(record["exception"].get<std::string>().substr(0, 8), code) << file;
        EXPECT_TRUE(std::ifstream(record["dump"].get<std::string>()).good()) << file;
    }
    EXPECT_EQ(records["hang_in_entry.so"]["status"], "timed out");
    // A thread it left faulted after its answer: revised to crashed, and it alone.
    EXPECT_EQ(records["fault_after_answer.so"]["status"], "crashed");
    EXPECT_EQ(records["fault_after_answer.so"]["afterScan"], true);
    EXPECT_EQ(records["ordinary_effect.so"]["status"], "ok");
    EXPECT_EQ(records["needs_missing_dll.so"]["error"],
              "Failed to load library: missing_helper.so: cannot open shared object file: No such file or directory");
    EXPECT_EQ(records["vst3_pair.vst3"]["format"], "vst3");
    EXPECT_EQ(records["vst3_pair.vst3"]["status"], "ok");
    EXPECT_EQ(records["clap_pair.clap"]["status"], "ok");
}

TEST(LinuxScanner, EveryCheckZooPluginGetsItsVerdict)
{
    CScratchFolder scratch;
    const std::string database = scratch.path + "/plugins.json";
    const CScannerRun run = RunScanner({"--check", "--jobs", "2", "--timeout", "4", "--format", "json", "--dump-dir",
                                        scratch.path + "/dumps", "--db", database, BinFolder() + "/plugins-check"},
                                       scratch.path);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    auto records = RecordsByFileName(run.out);
    ASSERT_EQ(records.size(), CheckZooFileCount()) << run.err;
    for (const auto& [name, verdict] : CheckZooVerdicts(false))
        for (const char* extension : CheckZooFiles(name)) {
            const std::string file = name + (std::string(extension) == ".dll" ? std::string(".so") : extension);
            const Json& record = records[file];
            const Json& plugin = record.contains("subPlugins") ? record["subPlugins"][0] : record;
            ASSERT_TRUE(plugin.contains("check")) << file << record.dump();
            EXPECT_EQ(plugin["check"]["status"], verdict.first) << file << plugin["check"].dump();
            EXPECT_EQ(plugin["check"]["stage"], verdict.second) << file << plugin["check"].dump();
            // Programs chosen and named: VST 2 by effGetProgramName, VST 3 by its program list.
            if (name == "check_programs_set_parameters") {
                EXPECT_EQ(plugin["check"]["programs"], 4) << file;
                EXPECT_EQ(plugin["check"]["stages"][5]["details"], "4 programs chosen, 4 with a name") << file;
            }
        }

    // The same as JUnit, read by a real XML parser and a CI tool's reader: with --strict every
    // plug-in that did not pass has a failure, and one that passed has none.
    const CScannerRun junit = RunScanner({"--check", "--strict", "--format", "junit", "--db", database, BinFolder() + "/plugins-check"},
                                         scratch.path);
    EXPECT_EQ(junit.exitCode, 1) << junit.err;
    const std::string xml = scratch.path + "/results.xml";
    std::ofstream(xml) << junit.out;
    const CScannerRun read = RunScanner({xml}, scratch.path, "/usr/bin/python3", TESSARINE_SOURCE_DIR "/tests/linux/read_junit.py");
    ASSERT_EQ(read.exitCode, 0) << read.err;
    const auto verdicts = CheckZooVerdicts(false);
    size_t suites = 0;
    for (size_t start = 0, end; (end = read.out.find('\n', start)) != std::string::npos; start = end + 1, ++suites) {
        const std::string line = read.out.substr(start, end - start);
        // A suite is named by its file's path (a VST 3 bundle's binary within), then its id.
        std::string file = line.substr(0, line.find_first_of(">\t"));
        if (const size_t bundle = file.find(".vst3/"); bundle != std::string::npos) file.resize(bundle + 5);
        file = std::filesystem::path(file).filename().string();
        int tests = 0, failures = 0, skipped = 0;
        ASSERT_EQ(std::sscanf(line.c_str() + line.find('\t'), "%d %d %d", &tests, &failures, &skipped), 3) << line;
        const std::string plugin = file.substr(0, file.find('.'));
        const auto verdict = verdicts.find(plugin);
        ASSERT_NE(verdict, verdicts.end()) << line;
        EXPECT_EQ(failures > 0, verdict->second.first != "passed") << line;
        EXPECT_GT(tests, 1) << line;
    }
    EXPECT_EQ(suites, CheckZooFileCount());
}

// Every VST 2, VST 3 and CLAP file the Debian packages installed, found with no path given.
// Plug-ins of other packages the machine may hold get a verdict, whatever it is.
TEST(LinuxScanner, ScansDebiansPluginsFromTheStandardFoldersThenLoadsNothingThenChecksThem)
{
    std::string missing;
    const std::set<std::string> named = DebianPackagePaths(missing);
    ASSERT_EQ(missing, "");
    // A file the packages list, or one in a folder of theirs (IEM's iem.at) but the shared ones.
    const std::set<std::string> shared = {"/usr/lib/vst", "/usr/lib/lxvst", "/usr/lib/vst3", "/usr/lib/clap", "/usr/lib", "/usr"};
    const auto judged = [&](const Json& record) {
        for (std::string path = record["path"]; path.size() > 1; path = path.substr(0, path.rfind('/')))
            if (named.count(path) && !shared.count(path)) return true;
        return false;
    };
    CScratchFolder home;
    const std::string database = home.path + "/plugins.json";
    const CScannerRun first = RunScanner({"--format", "json", "--db", database}, home.path);
    auto records = RecordsByFileName(first.out);
    ASSERT_GT(records.size(), 200u) << first.err;
    std::map<std::string, int> formats;
    for (const auto& [file, record] : records) {
        ++formats[record["format"]];
        if (!judged(record)) {
            EXPECT_FALSE(record["status"].get<std::string>().empty()) << file;
            continue;
        }
        // LSP's shared core lies among its plug-ins and holds none: its refusal is right.
        if (file == "lsp-plugins-vst2-1.2.5.so") {
            EXPECT_EQ(record["error"], "Entry point not found, not a VST plugin");
            continue;
        }
        EXPECT_EQ(record["status"], "ok") << file << " " << record["error"];
    }
    EXPECT_GT(formats["vst2"], 150);
    EXPECT_GT(formats["vst3"], 10);
    EXPECT_GT(formats["clap"], 10);

    const CScannerRun second = RunScanner({"--format", "json", "--db", database}, home.path);
    EXPECT_NE(second.err.find("(0 scanned, "), std::string::npos) << second.err;

    // Every check passes but those whose faults are real (README).
    const CScannerRun checked = RunScanner({"--check", "--format", "json", "--db", database}, home.path);
    EXPECT_EQ(checked.exitCode, 1) << checked.err;  // the shared core stays known bad
    for (const auto& [file, record] : RecordsByFileName(checked.out)) {
        if (record["status"] != "ok") continue;
        const Json& plugins = record.contains("subPlugins") ? record["subPlugins"] : Json::array({record});
        for (const Json& plugin : plugins) {
            ASSERT_TRUE(plugin.contains("check")) << file;
            if (!judged(record)) continue;
            const std::string verdict = plugin["check"]["verdict"];
            EXPECT_TRUE(DebianCheckVerdictExpected(file, verdict)) << file << ": " << verdict;
        }
    }
}

}  // namespace
