// Each test plug-in scanned by the real server through real pipes: the exact transcript of the
// request, with a pattern only for the module handle. Both servers, 64-bit and 32-bit, each with
// the test plug-ins of its own machine, give the same transcripts.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/ServerHarness.h"

namespace {

// The machine of the server under test: "x64" or "x86".
std::string Machine = "x64";

class Scan : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { Machine = GetParam(); }
};

std::wstring ZooPath(const std::wstring& plugin)
{
    return Machine == "x64" ? PluginPath(plugin) : ProgramFolder() + L"\\plugins-x86\\" + plugin + L".dll";
}

CServerOptions ServerOf() { return {.serverName = L"ScanServer-" + FromUtf8(Machine) + L".exe"}; }

std::string Request(const std::wstring& plugin, const std::string& suffix = "")
{
    return ToUtf8(ZooPath(plugin)) + suffix + "\n";
}

// The answers to the requests, one per request, with the module handle (as wide as a pointer
// of the server's machine) replaced.
std::vector<std::string> Answers(const std::string& output)
{
    const std::string digits = Machine == "x64" ? "16" : "8";
    const std::string normalized =
        std::regex_replace(output, std::regex("module [0-9A-F]{" + digits + "}\n"), "module <module>\n");
    std::vector<std::string> answers;
    size_t start = normalized.find("ready:\n");
    while (start != std::string::npos) {
        start += 7;
        const size_t end = normalized.find("ready:\n", start);
        if (end == std::string::npos) break;
        answers.push_back(normalized.substr(start, end - start));
        start = end;
    }
    return answers;
}

std::string ScanOne(const std::wstring& plugin, DWORD* exitCode = nullptr)
{
    const auto answers = Answers(RunRequests({Request(plugin)}, ServerOf(), exitCode));
    return answers.empty() ? std::string("<no answer>") : answers[0];
}

struct CExpectedReport {
    std::string id = "00000000", name, vendor = "Tessarine Test Zoo", product, version, error;
    int numInputs = 2, numOutputs = 2;
    bool wantsMidi = false, sendsMidi = false, audio64 = false;
    int category = 1;
    bool synthEdit = false;
    std::string shells;  // the lines of the shell block, when category is 10
};

std::string ReportLines(const CExpectedReport& r)
{
    auto word = [](bool b) { return std::string(b ? "true" : "false"); };
    std::string report = ">:{\n>:  \"id\":        \"" + r.id + "\",\n>:  \"name\":      \"" + r.name +
                         "\",\n>:  \"vendor\":    \"" + r.vendor + "\",\n>:  \"product\":   \"" + r.product +
                         "\",\n>:  \"version\":   \"" + r.version + "\",\n>:  \"error\":     \"" + r.error +
                         "\",\n>:  \"numInputs\": " + std::to_string(r.numInputs) + ",\n>:  \"numOutputs\":" +
                         std::to_string(r.numOutputs) + ",\n>:  \"wantsMidi\":  " + word(r.wantsMidi) +
                         ",\n>:  \"sendsMidi\": " + word(r.sendsMidi) + ",\n>:  \"platform\":  \"" + Machine + "\",\n" +
                         ">:  \"audio64\":   " + word(r.audio64) + ",\n>:  \"category\":  " +
                         std::to_string(r.category) + ",\n>:  \"synthEdit\": " + word(r.synthEdit) + ",\n";
    if (r.category == 10) report += ">:  \"shells\": {\n" + r.shells + ">:  },\n";
    return report + ">:}\n";
}

std::string Opening(const std::wstring& plugin, const std::string& entry = "VSTPluginMain")
{
    return "info:Scanning plugin: '" + ToUtf8(ZooPath(plugin)) + "'\ninfo:Loading library...\n" +
           "info:Looking for entry point in module <module>\ninfo:Found " + entry + "()\n" +
           "info:Calling entry point...\n";
}

const std::string kFreedAndFinished = "info:Freeing library...\ninfo:Finished\n";

std::string Scanned(const std::wstring& plugin, const CExpectedReport& report, const std::string& trace = "")
{
    return Opening(plugin) + trace + "info:Dispatching effClose...\n" + kFreedAndFinished + ReportLines(report);
}

TEST_P(Scan, AnOrdinaryEffect)
{
    DWORD exitCode = 1;
    EXPECT_EQ(ScanOne(L"ordinary_effect", &exitCode),
              Opening(L"ordinary_effect") +
                  "info:Dispatching effClose...\n"
                  "info:Freeing library...\n"
                  "info:Finished\n"
                  ">:{\n"
                  ">:  \"id\":        \"5A456666\",\n"
                  ">:  \"name\":      \"Ordinary Effect\",\n"
                  ">:  \"vendor\":    \"Tessarine Test Zoo\",\n"
                  ">:  \"product\":   \"Zoo Effect\",\n"
                  ">:  \"version\":   \"1.2.0.0\",\n"
                  ">:  \"error\":     \"\",\n"
                  ">:  \"numInputs\": 2,\n"
                  ">:  \"numOutputs\":2,\n"
                  ">:  \"wantsMidi\":  false,\n"
                  ">:  \"sendsMidi\": false,\n"
                  ">:  \"platform\":  \"" + Machine + "\",\n"
                  ">:  \"audio64\":   true,\n"
                  ">:  \"category\":  1,\n"
                  ">:  \"synthEdit\": false,\n"
                  ">:}\n");
    EXPECT_EQ(exitCode, 0u);
}

TEST_P(Scan, EntryPointVariants)
{
    EXPECT_EQ(ScanOne(L"synth_flag"),
              Scanned(L"synth_flag", {.id = "5A53796E", .name = "Synth Flag", .product = "Zoo Synth", .version = "2.0.0.0",
                                      .numInputs = 0, .wantsMidi = true, .category = 2}));
    const std::string mainOnly = ScanOne(L"main_only");
    EXPECT_EQ(mainOnly, Opening(L"main_only", "main") + "info:Dispatching effClose...\n" + kFreedAndFinished +
                            ReportLines({.id = "5A4D4149", .name = "Main Only"}));
}

TEST_P(Scan, LibrariesThatHoldNoUsablePlugin)
{
    const auto refused = [](const std::wstring& plugin, const std::string& afterLookup, const std::string& error) {
        return "info:Scanning plugin: '" + ToUtf8(ZooPath(plugin)) + "'\ninfo:Loading library...\n" +
               "info:Looking for entry point in module <module>\n" + afterLookup + kFreedAndFinished + "error:" + error +
               "\n" + ReportLines({.vendor = "", .error = error, .numInputs = 0, .numOutputs = 0, .category = -1});
    };
    // The bootstrap's entry point would fault if it were called.
    DWORD exitCode = 1;
    EXPECT_EQ(ScanOne(L"jbridge_bootstrap", &exitCode),
              refused(L"jbridge_bootstrap", "", "Module is a jBridge bootstrap, ignoring"));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ScanOne(L"entry_returns_null"),
              refused(L"entry_returns_null", "info:Found VSTPluginMain()\ninfo:Calling entry point...\n",
                      "Entry point returned NULL"));
    EXPECT_EQ(ScanOne(L"bad_magic"),
              refused(L"bad_magic", "info:Found VSTPluginMain()\ninfo:Calling entry point...\n", "Bad magic"));
    // An executable of our own loads as a library but exports no entry point.
    const std::string harness =
        Answers(RunRequests({ToUtf8(ProgramFolder() + L"\\" + ServerOf().serverName) + "\n"}, ServerOf()))[0];
    EXPECT_NE(harness.find("info:Finished\nerror:Entry point not found, not a VST plugin\n"), std::string::npos)
        << harness;
}

TEST_P(Scan, AMissingLibraryFailsToLoad)
{
    const auto answers = Answers(RunRequests({"C:\\no\\such\\plugin.dll\n"}, ServerOf()));
    ASSERT_EQ(answers.size(), 1u);
    const std::regex failed(
        "info:Scanning plugin: 'C:\\\\no\\\\such\\\\plugin.dll'\ninfo:Loading library...\n"
        "error:Failed to load library, err=([0-9]+)\n>:\\{\n[^]*>:  \"error\":     \"Failed to load library, err=\\1\",\n[^]*"
        ">:  \"category\":  -1,\n[^]*");
    EXPECT_TRUE(std::regex_match(answers[0], failed)) << answers[0];
}

TEST_P(Scan, AShellListsEachSubPluginOnce)
{
    DWORD exitCode = 1;
    const auto answers = Answers(RunRequests({Request(L"shell_with_duplicates")}, ServerOf(), &exitCode));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], Opening(L"shell_with_duplicates") +
                              "info:Audio master callback: 2 - audioMasterCurrentId\n"
                              "info:Found shell: 00000005 - Shell Five\n"
                              "info:Found shell: 00000007 - Shell Seven\n"
                              "info:Found shell: 00000005 - Shell Five Again\n"
                              "info:   - duplicate, ignoring\n"
                              "info:Dispatching effClose...\n"
                              "info:Keeping shell library loaded for now...\n"
                              "info:Finished\n" +
                              ReportLines({.id = "5A53686C", .name = "Shell With Duplicates", .product = "Zoo Shell",
                                           .category = 10,
                                           .shells = ">:        \"00000005\": \"Shell Five\",\n"
                                                     ">:        \"00000007\": \"Shell Seven\",\n"}));
    EXPECT_EQ(exitCode, 0u);
}

TEST_P(Scan, ShellsWithoutAListing)
{
    EXPECT_EQ(ScanOne(L"empty_shell"),
              Scanned(L"empty_shell", {.id = "5A45536C", .name = "Empty Shell", .category = 10}));
    // The synth flag makes it an instrument; its listing, which would fault, is never asked for.
    EXPECT_EQ(ScanOne(L"shell_with_synth_flag"),
              Scanned(L"shell_with_synth_flag", {.id = "5A535346", .name = "Shell With Synth Flag", .category = 2}));
}

TEST_P(Scan, AFaultWhileClosingStillGivesACompleteReport)
{
    DWORD exitCode = 1;
    EXPECT_EQ(ScanOne(L"crash_in_close", &exitCode),
              Scanned(L"crash_in_close", {.id = "5A43436C", .name = "Crash In Close", .version = "3.0.0.0"}));
    EXPECT_EQ(exitCode, 0u);
    // A 64-bit C++ exception is a structured exception the guard stops; 32-bit g++ code
    // unwinds with its own tables and ends the process in std::terminate instead.
    if (Machine == "x64") {
        EXPECT_EQ(ScanOne(L"close_throws_uncaught", &exitCode),
                  Scanned(L"close_throws_uncaught", {.id = "5A435455", .name = "Close Throws Uncaught"}));
        EXPECT_EQ(exitCode, 0u);
    }
}

// A plug-in that leaves a German locale, a floating-point trap and flushing, a umask, an error
// mode, no crash filter and another folder: a witness after it sees the process as before.
TEST_P(Scan, APluginsChangesToTheProcessAreUndoneBeforeTheNextPlugin)
{
    const auto answers = Answers(RunRequests(
        {Request(L"reports_process_state"), Request(L"spoils_process"), Request(L"reports_process_state")}, ServerOf()));
    ASSERT_EQ(answers.size(), 3u);
    const std::regex product("\"product\": +\"([^\"]*)\"");
    std::smatch before, after;
    ASSERT_TRUE(std::regex_search(answers[0], before, product)) << answers[0];
    ASSERT_TRUE(std::regex_search(answers[2], after, product)) << answers[2];
    EXPECT_EQ(before[1].str().substr(0, 4), "0.5 ");
    EXPECT_EQ(after[1].str(), before[1].str());
    EXPECT_NE(answers[1].find("\"name\":      \"Spoils Process\""), std::string::npos) << answers[1];
}

// A library it loaded and never freed would take the place of a later plug-in's own of that
// name: it is named, and the host retires the server.
TEST_P(Scan, ALibraryAPluginLeavesLoadedIsNamed)
{
    if (Machine != "x64") GTEST_SKIP() << "the helper is built for the 64-bit zoo";
    const std::string answer = ScanOne(L"leaves_library_loaded");
    EXPECT_NE(answer.find("warn:Left behind after the library was freed: the library "), std::string::npos) << answer;
    EXPECT_NE(answer.find("missing_helper.dll still loaded\n"), std::string::npos) << answer;
    // The system's libraries and the plug-in's own are no leftovers.
    EXPECT_EQ(ScanOne(L"ordinary_effect").find("Left behind"), std::string::npos);
}

TEST_P(Scan, APluginHandlesItsOwnExceptionsWhileClosing)
{
    EXPECT_EQ(ScanOne(L"close_throws_and_catches"),
              Opening(L"close_throws_and_catches") +
                  "info:Dispatching effClose...\n"
                  "info:Query host can do: 'handled inside the plug-in'\n"
                  "info:Query host can do: 'close finished'\n" +
                  kFreedAndFinished + ReportLines({.id = "5A435443", .name = "Close Throws And Catches"}));
}

TEST_P(Scan, MidiRules)
{
    EXPECT_EQ(ScanOne(L"wants_midi_via_host"),
              Opening(L"wants_midi_via_host") + "info:Audio master callback: 6 - audioMasterWantMidi\n" +
                  "info:Dispatching effClose...\n" + kFreedAndFinished +
                  ReportLines({.id = "5A574D48", .name = "Wants Midi Via Host", .numInputs = 0, .wantsMidi = true}));
    // "don't know" counts as yes, and the second question of each pair is asked only after a no.
    EXPECT_EQ(ScanOne(L"sends_midi_dont_know"),
              Scanned(L"sends_midi_dont_know",
                      {.id = "5A534D30", .name = "Sends Midi Dont Know", .wantsMidi = true, .sendsMidi = true},
                      "info:Query host can do: 'asked receiveVstMidiEvent'\n"
                      "info:Query host can do: 'asked receiveVstEvents'\n"
                      "info:Query host can do: 'asked sendVstMidiEvent'\n"));
}

TEST_P(Scan, CategoryRules)
{
    EXPECT_EQ(ScanOne(L"category_unknown_no_inputs"),
              Scanned(L"category_unknown_no_inputs", {.id = "5A433030", .name = "Unknown No Inputs", .numInputs = 0, .category = 2}));
    EXPECT_EQ(ScanOne(L"category_unknown_with_inputs"),
              Scanned(L"category_unknown_with_inputs", {.id = "5A433032", .name = "Unknown With Inputs", .category = 1}));
    EXPECT_EQ(ScanOne(L"category_five"), Scanned(L"category_five", {.id = "5A433035", .name = "Category Five", .category = 5}));
}

TEST_P(Scan, VersionsFromThePluginAndFromItsFile)
{
    EXPECT_EQ(ScanOne(L"version_resource_only"),
              Scanned(L"version_resource_only", {.id = "5A565230", .name = "Version Resource Only", .version = "2.1.0.7"}));
    EXPECT_EQ(ScanOne(L"version_file_only"),
              Scanned(L"version_file_only", {.id = "5A564630", .name = "Version File Only", .version = "1.0.0.3"}));
    EXPECT_EQ(ScanOne(L"version_product_low_word"),
              Scanned(L"version_product_low_word", {.id = "5A564C57", .name = "Version Low Word", .version = "0.0.0.1"}));
    EXPECT_EQ(ScanOne(L"version_short_root"),
              Scanned(L"version_short_root", {.id = "5A565352", .name = "Version Short Root", .version = ""}));
    EXPECT_EQ(ScanOne(L"version_own_wins"),
              Scanned(L"version_own_wins", {.id = "5A564F57", .name = "Version Own Wins", .version = "1.2.0.0"}));
}

TEST_P(Scan, TheSynthEditMarker)
{
    EXPECT_EQ(ScanOne(L"synthedit_resource"),
              Scanned(L"synthedit_resource", {.id = "5A534531", .name = "SynthEdit Made", .synthEdit = true}));
}

TEST_P(Scan, NamesAreEscapedInTheReport)
{
    EXPECT_EQ(ScanOne(L"odd_names"),
              Scanned(L"odd_names", {.id = "80000001",
                                     .name = "Quote\\\" Back\\\\ Slash\\/ Tab\\t End",
                                     .vendor = "Latin-1 caf\\u00e9 \\u007f\\u000b\\u0013\x1B\x1F",
                                     .product = "Line\\nFeed\\rReturn"}));
    // A name that fills the whole buffer without a terminator ends at the buffer's end.
    EXPECT_EQ(ScanOne(L"text_fills_buffer"), Scanned(L"text_fills_buffer", {.id = "5A544642", .name = std::string(512, 'N')}));
}

TEST_P(Scan, AnswersEveryHostQuestion)
{
    const std::string answer = ScanOne(L"asks_every_opcode");
    const std::string name = "1=2400 14=1 16=44100 17=512 23=4 32=1:Orvalen Studios 33=1:Tessarine 34=3 null:00 "
                             "can:111111111111000";
    EXPECT_NE(answer.find(">:  \"name\":      \"" + name + "\",\n"), std::string::npos) << answer;
    EXPECT_EQ(CountOf(answer, "info:Audio master callback: "), 52);  // -1 to 50 without 37, and the null string
    EXPECT_EQ(CountOf(answer, "warn:Unhandled audioMaster opCode - "), 40);
    EXPECT_EQ(CountOf(answer, "info:Query host can do: "), 16);
    for (const char* lines : {
             "info:Audio master callback: -1 - <unknown>\nwarn:Unhandled audioMaster opCode - -1\n"
             "info:Audio master callback: 0 - audioMasterAutomate\n"
             "info:Audio master callback: 1 - audioMasterVersion\n"
             "info:Audio master callback: 2 - audioMasterCurrentId\n"
             "info:Audio master callback: 3 - audioMasterIdle\nwarn:Unhandled audioMaster opCode - 3\n",
             "info:Audio master callback: 5 - <unknown>\nwarn:Unhandled audioMaster opCode - 5\n",
             "info:Audio master callback: 36 - audioMasterSetIcon\nwarn:Unhandled audioMaster opCode - 36\n"
             "info:Audio master callback: 38 - audioMasterGetLanguage\nwarn:Unhandled audioMaster opCode - 38\n",
             "info:Audio master callback: 50 - <unknown>\nwarn:Unhandled audioMaster opCode - 50\n"
             "info:Query host can do: '(null)'\n"
             "info:Audio master callback: 32 - audioMasterGetVendorString\n"
             "info:Query host can do: 'sizeWindow'\n",
             "info:Query host can do: 'shellCategory '\ninfo:Query host can do: ''\n"})
        EXPECT_NE(answer.find(lines), std::string::npos) << lines;
}

INSTANTIATE_TEST_SUITE_P(Machines, Scan, ::testing::Values("x64", "x86"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
