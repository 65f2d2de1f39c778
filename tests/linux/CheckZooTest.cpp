// The check's zoo through the Linux server: each behaviour's check ends as it does on Windows,
// stage by stage. Editors are not opened here (no display), as on Windows without --check-editor.
#include <gtest/gtest.h>

#include "tests/linux/LinuxServer.h"
#include "tests/support/CheckZooVerdicts.h"

namespace {

struct CCheckCase {
    std::string file;     // in the check zoo
    std::string verdict;  // as the host names it
    std::string stage;    // the stage it is about, with its setting; empty for "passed"
};

void PrintTo(const CCheckCase& check, std::ostream* out) { *out << check.file; }

std::vector<CCheckCase> Cases()
{
    std::vector<CCheckCase> cases;
    for (const auto& [name, verdict] : CheckZooVerdicts(false))
        for (const char* extension : CheckZooFiles(name)) {
            const std::string file = name + (std::string(extension) == ".dll" ? std::string(".so") : extension);
            cases.push_back({file, verdict.first, verdict.second});
        }
    return cases;
}

// What a checked class or plug-in is called in a request: a VST 3 class by its id, a CLAP
// plug-in by its own.
std::string CheckRequest(CLinuxServer& server, const std::string& file)
{
    const std::string path = BinFolder() + "/plugins-check/" + file;
    if (file.size() > 3 && file.compare(file.size() - 3, 3, ".so") == 0) return "?check " + path;
    bool answered = false;
    const CPluginReport listing = ReportOf(server.Ask(path, answered));
    for (const auto& entry : listing.entries)
        if (entry.plugin || listing.format == "clap") return "?check " + path + ">" + entry.id;
    return "?check " + path;
}

class CheckZoo : public ::testing::TestWithParam<CCheckCase> {};

TEST_P(CheckZoo, EndsAsOnWindows)
{
    const CCheckCase& expected = GetParam();
    CLinuxServer server;
    const std::string request = CheckRequest(server, expected.file);
    bool answered = false;
    const bool hangs = expected.verdict == "timed out";
    const auto lines = server.Ask(request, answered, hangs ? std::chrono::seconds(10) : std::chrono::seconds(120));
    // The stage under way last, as the server announced it.
    std::string underWay;
    for (const std::string& line : lines)
        if (line.rfind("info:Check stage: ", 0) == 0) underWay = line.substr(18);
    if (expected.verdict == "crashed" || hangs) {
        EXPECT_FALSE(answered);
        EXPECT_EQ(underWay, expected.stage);
        if (!hangs) EXPECT_EQ(server.Process().WaitForExit(30000), 9u);
        return;
    }
    ASSERT_TRUE(answered);
    const CPluginReport report = ReportOf(lines);
    ASSERT_FALSE(report.stages.empty());
    const std::string bad = expected.verdict == "failed" ? "failed" : "warning";
    for (const auto& stage : report.stages) {
        SCOPED_TRACE(stage.stage + ": " + stage.details);
        if (expected.verdict == "passed" || stage.stage != expected.stage) {
            EXPECT_NE(stage.result, "failed");
            if (expected.verdict != "failed") EXPECT_NE(stage.result, "warning");
        } else {
            EXPECT_EQ(stage.result, bad);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Linux, CheckZoo, ::testing::ValuesIn(Cases()));

}  // namespace
