// The zoo scanned by the Linux server: the same answers as the Windows server gives for the
// same behaviours, with Linux's own texts where the system speaks (the loader's messages).
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "tests/linux/LinuxServer.h"

namespace {

struct CZooCase {
    const char* file;
    std::function<void(const CPluginReport& report, const std::string& error)> expect;
};

void PrintTo(const CZooCase& zooCase, std::ostream* out) { *out << zooCase.file; }

const auto Plain = [](const char* name, uint32_t id, int32_t category = 1) {
    return [=](const CPluginReport& report, const std::string& error) {
        EXPECT_EQ(error, "");
        EXPECT_EQ(report.name, name);
        EXPECT_EQ(report.id, id);
        EXPECT_EQ(report.category, category);
        EXPECT_EQ(report.platform, "linux-x86_64");
    };
};

const auto Refused = [](const std::string& expected) {
    return [=](const CPluginReport& report, const std::string& error) {
        EXPECT_EQ(error, expected);
        EXPECT_EQ(report.error, expected);
    };
};

const CZooCase kCases[] = {
    {"ordinary_effect.so",
     [](const CPluginReport& report, const std::string& error) {
         Plain("Ordinary Effect", 0x5A456666)(report, error);
         EXPECT_EQ(report.version, "1.2.0.0");
         EXPECT_TRUE(report.audio64);
     }},
    {"synth_flag.so",
     [](const CPluginReport& report, const std::string& error) {
         Plain("Synth Flag", 0x5A53796E, 2)(report, error);
         EXPECT_EQ(report.numInputs, 0);
         EXPECT_TRUE(report.wantsMidi);
     }},
    {"main_only.so", Plain("Main Only", 0x5A4D4149)},
    {"category_five.so", Plain("Category Five", 0x5A433035, 5)},
    {"wants_midi_via_host.so",
     [](const CPluginReport& report, const std::string& error) {
         Plain("Wants Midi Via Host", 0x5A574D48)(report, error);
         EXPECT_TRUE(report.wantsMidi);
     }},
    // Faults and exceptions while closing keep the report.
    {"crash_in_close.so", Plain("Crash In Close", 0x5A43436C)},
    {"close_throws_and_catches.so", Plain("Close Throws And Catches", 0x5A435443)},
    {"close_throws_uncaught.so", Plain("Close Throws Uncaught", 0x5A435455)},
    {"jbridge_bootstrap.so", Refused("Module is a jBridge bootstrap, ignoring")},
    {"entry_returns_null.so", Refused("Entry point returned NULL")},
    {"bad_magic.so", Refused("Bad magic")},
    {"needs_missing_dll.so",
     [](const CPluginReport& report, const std::string& error) {
         EXPECT_EQ(error, "Failed to load library: missing_helper.so: cannot open shared object file: No such file or directory");
         EXPECT_EQ(report.error, error);
     }},
    {"no_such_plugin.so",
     [](const CPluginReport&, const std::string& error) {
         EXPECT_EQ(error, "Failed to load library: " + ZooPath("no_such_plugin.so") +
                              ": cannot open shared object file: No such file or directory");
     }},
    {"shell_with_duplicates.so",
     [](const CPluginReport& report, const std::string& error) {
         Plain("Shell With Duplicates", 0x5A53686C, 10)(report, error);
         std::set<uint32_t> ids;
         for (const auto& sub : report.subPlugins) EXPECT_TRUE(ids.insert(sub.id).second) << sub.name;
         EXPECT_FALSE(ids.empty());
     }},
    {"vst3_pair.vst3",
     [](const CPluginReport& report, const std::string& error) {
         EXPECT_EQ(error, "");
         EXPECT_EQ(report.format, "vst3");
         ASSERT_EQ(report.entries.size(), 3u);
         EXPECT_EQ(report.entries[0].name, "Zoo Delay");
         // The id's text is the source's four numbers, in the bytes' own order off Windows.
         EXPECT_EQ(report.entries[0].id, "5A563301000100015A4F4F0000000001");
         EXPECT_EQ(report.entries[1].name, "Zoo Synth");
         EXPECT_TRUE(report.entries[1].wantsMidi);
     }},
    {"vst3_init_dll_false.vst3", Refused("ModuleEntry failed")},
    {"clap_pair.clap",
     [](const CPluginReport& report, const std::string& error) {
         EXPECT_EQ(error, "");
         ASSERT_EQ(report.entries.size(), 2u);
         EXPECT_EQ(report.entries[0].id, "com.tessarine.zoo.delay");
         EXPECT_EQ(report.entries[1].name, "Zoo Clap Synth");
     }},
    {"clap_version_0.clap", Refused("CLAP version 0.9.0 is a development version, never loaded")},
};

class ZooScan : public ::testing::TestWithParam<CZooCase> {};

TEST_P(ZooScan, AnswersAsTheWindowsServerDoes)
{
    CLinuxServer server;
    bool answered = false;
    const auto lines = server.Ask(ZooPath(GetParam().file), answered);
    ASSERT_TRUE(answered) << "the server ended";
    GetParam().expect(ReportOf(lines), ErrorOf(lines));
    EXPECT_EQ(server.Finish(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Linux, ZooScan, ::testing::ValuesIn(kCases));

TEST(ZooScan, AShellStaysLoadedForItsSubPlugins)
{
    CLinuxServer server;
    bool answered = false;
    const auto listing = ReportOf(server.Ask(ZooPath("shell_with_duplicates.so"), answered));
    ASSERT_FALSE(listing.subPlugins.empty());
    char id[16];
    snprintf(id, sizeof(id), ">%08X", listing.subPlugins[0].id);
    const auto lines = server.Ask(ZooPath("shell_with_duplicates.so") + id, answered);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "info:Re-using previous library instance..."), lines.end());
    // The sub-plug-in created for its id, as the shell names it when it is created.
    EXPECT_EQ(ReportOf(lines).id, listing.subPlugins[0].id);
    EXPECT_EQ(ReportOf(lines).name, "Shell Sub 5");
}

}  // namespace
