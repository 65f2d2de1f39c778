// tessarine-scan end to end over a folder of test plug-ins: a crash, a hang, a shell and
// ordinary ones, each accounted for; the database; resuming an interrupted scan.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <vector>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/Paths.h"
#include "host/WindowsText.h"
#include "tests/support/CheckZooVerdicts.h"
#include "tests/support/ProgramRunner.h"
#include "tests/support/ServerHarness.h"
#include "tests/support/TemporaryFolder.h"

namespace {

using Json = nlohmann::json;

// A bound for a run that hangs, not a guess of how long one takes: below ctest's 240 s, so that a
// hang is reported by the test; the check zoo's run takes about 100 s on a quiet machine.
constexpr DWORD kRunLimitMs = 200000;

class ScannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW((folder + L"\\nested").c_str(), nullptr);
    }

    void AddPlugin(const std::wstring& name, const std::wstring& subFolder = L"")
    {
        const std::wstring target = folder + (subFolder.empty() ? L"" : L"\\" + subFolder) + L"\\" + name + L".dll";
        ASSERT_TRUE(CopyFileW(PluginPath(name).c_str(), target.c_str(), FALSE));
    }

    std::wstring Command(const std::wstring& options) const
    {
        return QuoteArgument(ProgramFolder() + L"\\tessarine-scan.exe") + L" --dump-dir " + QuoteArgument(dumps) + L" " +
               options;
    }

    static Json ReadJson(const std::string& text)
    {
        Json document = Json::parse(text, nullptr, false);  // strict: no trailing commas, no comments
        EXPECT_FALSE(document.is_discarded()) << text;
        return document;
    }

    static std::string ReadFile(const std::wstring& path)
    {
        std::ifstream in(path.c_str(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    Json ReadDatabase() const { return ReadJson(ReadFile(database)); }

    // The records of a run's JSON output by file name, without the fields that differ by run.
    static std::map<std::string, Json> ByFileName(const Json& document)
    {
        std::map<std::string, Json> records;
        for (Json record : document["plugins"]) {
            const std::string path = record["path"];
            record.erase("scannedAt");
            record.erase("scanSeconds");
            record.erase("dump");
            if (record.contains("subPlugins"))
                for (auto& sub : record["subPlugins"]) sub.erase("scanSeconds");
            records[path.substr(path.find_last_of('\\') + 1)] = record;
        }
        return records;
    }

    CTemporaryFolder temporary;
    const std::wstring root = temporary.Path();
    const std::wstring folder = root + L"\\plugins", dumps = root + L"\\dumps", database = root + L"\\plugins.json";
};

TEST_F(ScannerTest, AccountsForEveryPluginAndSurvivesCrashesAndHangs)
{
    for (const wchar_t* name : {L"ordinary_effect", L"crash_in_entry", L"hang_in_entry", L"shell_with_duplicates",
                                L"entry_returns_null", L"crash_in_close"})
        AddPlugin(name);
    AddPlugin(L"synth_flag", L"nested");
    CreateDirectoryW(dumps.c_str(), nullptr);

    CProgram two(Command(L"--jobs 2 --timeout 12 --format json --db " + QuoteArgument(database) + L" " + QuoteArgument(folder)));
    ASSERT_EQ(two.Wait(kRunLimitMs), 1u) << two.Err();
    const Json output = ReadJson(two.Out());
    auto records = ByFileName(output);
    ASSERT_EQ(records.size(), 7u);

    EXPECT_EQ(records["ordinary_effect.dll"]["status"], "ok");
    EXPECT_EQ(records["ordinary_effect.dll"]["report"]["name"], "Ordinary Effect");
    EXPECT_EQ(records["ordinary_effect.dll"]["report"]["id"], "5A456666");
    EXPECT_EQ(records["synth_flag.dll"]["report"]["category"], 2);  // found in a nested folder
    EXPECT_EQ(records["crash_in_close.dll"]["status"], "ok");
    EXPECT_EQ(records["entry_returns_null.dll"]["status"], "failed");
    EXPECT_EQ(records["entry_returns_null.dll"]["error"], "Entry point returned NULL");

    const Json& crashed = records["crash_in_entry.dll"];
    EXPECT_EQ(crashed["status"], "crashed");
    EXPECT_EQ(crashed["exitCode"], 9);
    EXPECT_EQ(crashed["lastTrace"].back(), "info:Calling entry point...");
    std::string dump, crashedPath;
    for (const auto& record : output["plugins"])
        if (record["status"] == "crashed") {
            dump = record["dump"];
            crashedPath = record["path"];
        }
    EXPECT_NE(dump.find("-crash_in_entry.mdmp"), std::string::npos) << dump;
    EXPECT_EQ(dump.rfind(ToUtf8(dumps), 0), 0u) << dump;
    std::ifstream dumpFile(dump.c_str(), std::ios::binary);
    char signature[4] = {};
    dumpFile.read(signature, 4);
    EXPECT_EQ(std::string(signature, 4), "MDMP");
    EXPECT_NE(two.Err().find("crashed  " + crashedPath), std::string::npos) << two.Err();

    const Json& hung = records["hang_in_entry.dll"];
    EXPECT_EQ(hung["status"], "timed out");
    EXPECT_EQ(hung["error"], "no answer within 12.0 s");

    const Json& shell = records["shell_with_duplicates.dll"];
    EXPECT_EQ(shell["report"]["category"], 10);
    ASSERT_EQ(shell["subPlugins"].size(), 2u);
    EXPECT_EQ(shell["subPlugins"][0]["id"], "00000005");
    EXPECT_EQ(shell["subPlugins"][0]["listedName"], "Shell Five");
    EXPECT_EQ(shell["subPlugins"][0]["report"]["name"], "Shell Sub 5");
    EXPECT_EQ(shell["subPlugins"][1]["report"]["name"], "Shell Sub 7");

    EXPECT_NE(two.Err().find("7 files (7 scanned, 0 unchanged, 0 skipped (known bad)): 4 ok, 1 failed, 1 crashed, "
                             "1 timed out, 0 blocked; 8 plug-ins in them: 5 ok, 1 failed, 1 crashed, 1 timed out,"),
              std::string::npos)
        << two.Err();

    // The database holds the same records, with the file's size and time.
    const Json stored = ReadDatabase();
    EXPECT_EQ(ByFileName(stored), records);
    for (const auto& record : stored["plugins"]) {
        EXPECT_GT(record["size"].get<uint64_t>(), 0u);
        EXPECT_EQ(record["modified"].get<std::string>().size(), 28u);
    }

    // One server at a time finds exactly the same.
    CProgram one(Command(L"--jobs 1 --timeout 12 --format json " + QuoteArgument(folder)));
    ASSERT_EQ(one.Wait(kRunLimitMs), 1u) << one.Err();
    EXPECT_EQ(ByFileName(ReadJson(one.Out())), records);
}

TEST_F(ScannerTest, ResumesAKilledScanWithoutLosingAFinishedPlugin)
{
    for (const wchar_t* name : {L"entry_returns_null", L"hang_in_entry", L"ordinary_effect"}) AddPlugin(name);
    const std::wstring paths = L" --db " + QuoteArgument(database) + L" " + QuoteArgument(folder);

    // Killed while it waits on the plug-in that hangs, once the first result is kept.
    std::string firstScan;
    {
        CProgram interrupted(Command(L"--jobs 1 --timeout 600" + paths));
        for (int waited = 0; waited < 600 && firstScan.empty(); ++waited) {
            const std::string journal = ReadFile(database + L".journal");
            if (journal.find('\n') != std::string::npos) firstScan = Json::parse(journal.substr(0, journal.find('\n')))["scannedAt"];
            else Sleep(100);
        }
        interrupted.Kill();
    }
    ASSERT_FALSE(firstScan.empty());

    // The failed plug-in is known bad now: skipped, and kept as it was found.
    CProgram resumed(Command(L"--jobs 1 --timeout 2 --format csv" + paths));
    ASSERT_EQ(resumed.Wait(kRunLimitMs), 1u) << resumed.Err();
    EXPECT_NE(resumed.Err().find("3 files (2 scanned, 0 unchanged, 1 skipped (known bad))"), std::string::npos)
        << resumed.Err();
    EXPECT_EQ(CountOf(resumed.Err(), "entry_returns_null.dll ("), 0);
    EXPECT_EQ(CountOf(resumed.Out(), "\r\n"), 4);  // the header and all three plug-ins, each ended once
    EXPECT_EQ(CountOf(resumed.Out(), "\r\r"), 0);
    EXPECT_NE(resumed.Out().find("entry_returns_null.dll,,failed,"), std::string::npos) << resumed.Out();

    auto records = ByFileName(ReadDatabase());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records.at("hang_in_entry.dll")["status"], "timed out");
    EXPECT_EQ(records.at("ordinary_effect.dll")["status"], "ok");
    for (const auto& record : ReadDatabase()["plugins"]) {
        if (record["status"] == "failed") {
            EXPECT_EQ(record["scannedAt"], firstScan);
        }
    }

    CProgram retry(Command(L"--jobs 2 --timeout 2 --retry-failed" + paths));
    ASSERT_EQ(retry.Wait(kRunLimitMs), 1u);
    EXPECT_NE(retry.Err().find("(2 scanned, 1 unchanged, 0 skipped (known bad))"), std::string::npos) << retry.Err();
    CProgram rescan(Command(L"--jobs 2 --timeout 2 --rescan" + paths));
    ASSERT_EQ(rescan.Wait(kRunLimitMs), 1u);
    EXPECT_NE(rescan.Err().find("(3 scanned, 0 unchanged, 0 skipped (known bad))"), std::string::npos) << rescan.Err();
}

TEST_F(ScannerTest, OneScanPerDatabaseAndNoneOverADatabaseItCannotOpen)
{
    AddPlugin(L"hang_in_entry");
    const std::wstring paths = L" --db " + QuoteArgument(database) + L" " + QuoteArgument(folder);
    {
        CProgram first(Command(L"--timeout 600" + paths));
        for (int waited = 0; waited < 600 && GetFileAttributesW((database + L".lock").c_str()) == INVALID_FILE_ATTRIBUTES; ++waited)
            Sleep(100);
        CProgram second(Command(L"--timeout 600" + paths));
        EXPECT_EQ(second.Wait(kRunLimitMs), 2u);
        EXPECT_NE(second.Err().find("database in use by another scan"), std::string::npos) << second.Err();
        first.Kill();
    }
    // The lock went with the killed scan. A database another program holds is left as it is.
    const std::string before = ReadFile(database);
    HANDLE held = CreateFileW(database.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CProgram blocked(Command(L"--timeout 600" + paths));
    EXPECT_EQ(blocked.Wait(kRunLimitMs), 2u);
    EXPECT_NE(blocked.Err().find("cannot open the database \"" + ToUtf8(database) + "\""), std::string::npos) << blocked.Err();
    CloseHandle(held);
    EXPECT_EQ(ReadFile(database), before);
}

TEST_F(ScannerTest, TellsBadUsageApart)
{
    CProgram help(Command(L"--help"));
    EXPECT_EQ(help.Wait(kRunLimitMs), 0u);
    for (const char* option : {"--jobs", "--timeout", "--db", "--rescan", "--retry-failed", "--format", "--dump-dir",
                               "--server", "--version", "--strict", "junit", "Exit codes:", "3  an internal error", "Examples:"})
        EXPECT_NE(help.Out().find(option), std::string::npos) << option;
    CProgram version(Command(L"--version"));
    EXPECT_EQ(version.Wait(kRunLimitMs), 0u);
    EXPECT_NE(version.Out().find("tessarine-scan 0.3.0 (database format 2)"), std::string::npos) << version.Out();

    // The page of the database alone takes the database and the page, and nothing to scan.
    CProgram dbOnly(Command(L"--db-only --report x.html"));
    EXPECT_EQ(dbOnly.Wait(kRunLimitMs), 2u);
    CProgram unknown(Command(L"--frobnicate " + QuoteArgument(folder)));
    EXPECT_EQ(unknown.Wait(kRunLimitMs), 2u);
    CProgram badFormat(Command(L"--format xml " + QuoteArgument(folder)));
    EXPECT_EQ(badFormat.Wait(kRunLimitMs), 2u);
    // The page must never be written over the database or its files.
    for (const wchar_t* page : {L"", L".journal", L".lock"}) {
        CProgram overDatabase(Command(L"--db " + QuoteArgument(database) + L" --report " +
                                      QuoteArgument(root + L"\\PLUGINS.json" + page) + L" " + QuoteArgument(folder)));
        EXPECT_EQ(overDatabase.Wait(kRunLimitMs), 2u) << overDatabase.Err();
    }
    EXPECT_EQ(GetFileAttributesW(database.c_str()), INVALID_FILE_ATTRIBUTES);  // nothing written
    CProgram missing(Command(QuoteArgument(root + L"\\not-there")));
    EXPECT_EQ(missing.Wait(kRunLimitMs), 2u);
    EXPECT_NE(missing.Err().find("no such file or folder"), std::string::npos);

    // A file that is not a database is left alone.
    {
        std::ofstream corrupt(database.c_str());
        corrupt << "{ not json";
    }
    CProgram corrupted(Command(L"--db " + QuoteArgument(database) + L" " + QuoteArgument(folder)));
    EXPECT_EQ(corrupted.Wait(kRunLimitMs), 2u);
    EXPECT_EQ(ReadFile(database), "{ not json");
}

TEST_F(ScannerTest, AFileThatCannotBeOpenedIsReportedNotDropped)
{
    AddPlugin(L"ordinary_effect");
    HANDLE held = CreateFileW((folder + L"\\ordinary_effect.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CProgram scan(Command(L"--format json --db " + QuoteArgument(database) + L" " + QuoteArgument(folder)));
    EXPECT_EQ(scan.Wait(kRunLimitMs), 1u) << scan.Err();
    CloseHandle(held);
    const Json output = ReadJson(scan.Out());
    ASSERT_EQ(output["plugins"].size(), 1u);
    EXPECT_EQ(output["plugins"][0]["status"], "failed");
    EXPECT_EQ(output["plugins"][0]["error"], "Failed to load library, err=32: another program holds the file open");
    EXPECT_TRUE(ReadDatabase()["plugins"].empty());  // no verdict kept: it is scanned again next time
}

TEST_F(ScannerTest, AnEmptyFolderIsAllScanned)
{
    CProgram empty(Command(QuoteArgument(folder)));
    EXPECT_EQ(empty.Wait(kRunLimitMs), 0u) << empty.Err();
    EXPECT_NE(empty.Err().find("0 files"), std::string::npos);
}

TEST_F(ScannerTest, SendsEachFileToTheServerOfItsMachine)
{
    AddPlugin(L"ordinary_effect");
    for (const wchar_t* name : {L"synth_flag", L"shell_with_duplicates", L"crash_in_entry"})
        ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\plugins-x86\\" + name + L".dll").c_str(),
                              (folder + L"\\" + name + L"_x86.dll").c_str(), FALSE));
    std::string arm64(512, '\0');
    arm64.replace(0, 2, "MZ");
    arm64[0x3C] = 0x40;
    arm64.replace(0x40, 6, std::string("PE\0\0\x64\xAA", 6));
    std::ofstream((folder + L"\\arm64.dll").c_str(), std::ios::binary) << arm64;
    std::ofstream((folder + L"\\notes.dll").c_str(), std::ios::binary) << "just text";

    CProgram scan(Command(L"--jobs 2 --format json " + QuoteArgument(folder)));
    ASSERT_EQ(scan.Wait(kRunLimitMs), 1u) << scan.Err();
    auto records = ByFileName(ReadJson(scan.Out()));
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records["ordinary_effect.dll"]["arch"], "x64");
    EXPECT_EQ(records["ordinary_effect.dll"]["status"], "ok");
    EXPECT_EQ(records["synth_flag_x86.dll"]["arch"], "x86");
    EXPECT_EQ(records["synth_flag_x86.dll"]["report"]["platform"], "x86");
    EXPECT_EQ(records["synth_flag_x86.dll"]["report"]["name"], "Synth Flag");
    const Json& shell = records["shell_with_duplicates_x86.dll"];
    ASSERT_EQ(shell["subPlugins"].size(), 2u);
    EXPECT_EQ(shell["subPlugins"][1]["report"]["name"], "Shell Sub 7");
    EXPECT_EQ(shell["subPlugins"][1]["report"]["platform"], "x86");
    EXPECT_EQ(records["crash_in_entry_x86.dll"]["status"], "crashed");
    EXPECT_EQ(records["crash_in_entry_x86.dll"]["arch"], "x86");
    EXPECT_EQ(records["arm64.dll"]["error"], "built for ARM64; there is no scan server for that machine");
    EXPECT_EQ(records["notes.dll"]["error"], "not a Windows DLL");
    EXPECT_NE(scan.Err().find("; 1 x64, 3 x86, 2 with no machine files;"), std::string::npos) << scan.Err();
}

// VST 3 modules and CLAP files beside VST 2 DLLs, for both machines, on one job: each file, and
// each binary of a bundle, gets its own verdict with its format, and VST 2 answers stay as they
// were.
TEST_F(ScannerTest, ScansVst3ModulesAndClapFilesBesideVst2)
{
    const std::wstring zoo = ProgramFolder() + L"\\plugins\\", zoo86 = ProgramFolder() + L"\\plugins-x86\\";
    auto copy = [&](const std::wstring& from, const std::wstring& to) {
        ASSERT_TRUE(CopyFileW(from.c_str(), (folder + L"\\" + to).c_str(), FALSE)) << ToUtf8(from);
    };
    AddPlugin(L"ordinary_effect");
    copy(zoo86 + L"synth_flag.dll", L"synth_flag_x86.dll");
    for (const wchar_t* name : {L"vst3_single_file", L"vst3_factory_v1", L"vst3_factory_crashes", L"vst3_initialize_hangs"})
        copy(zoo + name + L".vst3", std::wstring(name) + L".vst3");
    copy(zoo86 + L"vst3_single_file.vst3", L"vst3_single_file_x86.vst3");
    for (const wchar_t* name : {L"clap_pair", L"clap_init_false", L"clap_factory_crashes", L"clap_plugin_init_hangs",
                                L"clap_version_0", L"clap_version_2"})
        copy(zoo + name + L".clap", std::wstring(name) + L".clap");
    copy(zoo86 + L"clap_pair.clap", L"clap_pair_x86.clap");
    // The bundle, as a bundle: both binaries and its resources; and one that holds none.
    const std::wstring bundle = folder + L"\\vst3_pair.vst3";
    for (const wchar_t* part : {L"", L"\\Contents", L"\\Contents\\x86_64-win", L"\\Contents\\x86-win"})
        CreateDirectoryW((bundle + part).c_str(), nullptr);
    for (const wchar_t* machine : {L"x86_64-win", L"x86-win"}) {
        const std::wstring inside = std::wstring(L"\\Contents\\") + machine + L"\\vst3_pair.vst3";
        ASSERT_TRUE(CopyFileW((zoo + L"vst3_pair.vst3" + inside).c_str(), (bundle + inside).c_str(), FALSE));
    }
    CreateDirectoryW((folder + L"\\empty.vst3").c_str(), nullptr);

    CProgram scan(Command(L"--jobs 1 --timeout 2 --format json " + QuoteArgument(folder)));
    scan.Wait(kRunLimitMs);
    const Json output = ReadJson(scan.Out());
    std::map<std::string, Json> byKey;
    for (const Json& record : output["plugins"])
        byKey[record.value("arch", "") + " " + FileNameOf(record["path"].get<std::string>())] = record;
    ASSERT_EQ(byKey.size(), 17u) << scan.Out();

    // A bundle gives one outcome per binary, each with its machine and the bundle it came from.
    for (const char* arch : {"x64", "x86"}) {
        const Json& pair = byKey[std::string(arch) + " vst3_pair.vst3"];
        EXPECT_EQ(pair["status"], "ok") << pair.dump();
        EXPECT_EQ(pair["format"], "vst3");
        EXPECT_EQ(pair["bundle"], ToUtf8(bundle));
        EXPECT_EQ(pair["report"]["vendor"], "Tessarine Test Zoo");
        ASSERT_EQ(pair["report"]["classes"].size(), 1u);
        EXPECT_EQ(pair["report"]["classes"][0]["category"], "Component Controller Class");
        ASSERT_EQ(pair["subPlugins"].size(), 2u);
        const Json& delay = pair["subPlugins"][0];
        EXPECT_EQ(delay["id"], "5A563301000100015A4F4F0000000001");
        EXPECT_EQ(delay["report"]["name"], "Zoo Delay");
        EXPECT_EQ(delay["report"]["category"], "Fx|Delay");
        EXPECT_EQ(delay["report"]["numInputs"], 2);
        EXPECT_EQ(delay["report"]["sdkVersion"], "VST 3.7.9");
        EXPECT_EQ(delay["report"]["platform"], arch);
        const Json& synth = pair["subPlugins"][1];
        EXPECT_EQ(synth["report"]["numInputs"], 0);
        EXPECT_TRUE(synth["report"]["wantsMidi"].get<bool>());
        EXPECT_FALSE(synth["report"]["sendsMidi"].get<bool>());
    }
    EXPECT_EQ(byKey["x86 vst3_single_file_x86.vst3"]["subPlugins"][0]["report"]["category"], "Fx|EQ");
    EXPECT_EQ(byKey["x64 vst3_factory_v1.vst3"]["subPlugins"][0]["report"]["vendor"], "Zoo Factory Vendor");
    EXPECT_TRUE(byKey["x64 vst3_factory_v1.vst3"]["subPlugins"][0]["report"]["sendsMidi"].get<bool>());
    EXPECT_EQ(byKey["x64 vst3_factory_crashes.vst3"]["status"], "crashed");
    EXPECT_EQ(byKey["x64 vst3_initialize_hangs.vst3"]["status"], "timed out");
    EXPECT_EQ(byKey[" empty.vst3"]["error"],
              "the bundle holds no binary for Windows (Contents\\x86_64-win\\empty.vst3 or Contents\\x86-win\\empty.vst3)");

    for (const char* key : {"x64 clap_pair.clap", "x86 clap_pair_x86.clap"}) {
        const Json& clap = byKey[key];
        EXPECT_EQ(clap["status"], "ok") << clap.dump();
        EXPECT_EQ(clap["format"], "clap");
        ASSERT_EQ(clap["subPlugins"].size(), 2u);
        EXPECT_EQ(clap["subPlugins"][0]["id"], "com.tessarine.zoo.delay");
        EXPECT_EQ(clap["subPlugins"][0]["report"]["category"], "audio-effect|delay|stereo");
        EXPECT_EQ(clap["subPlugins"][0]["report"]["numOutputs"], 2);
        EXPECT_EQ(clap["subPlugins"][0]["report"]["description"], "A plug-in of the test zoo");
        EXPECT_TRUE(clap["subPlugins"][1]["report"]["wantsMidi"].get<bool>());
    }
    EXPECT_EQ(byKey["x64 clap_init_false.clap"]["error"], "clap_entry.init returned false");
    EXPECT_EQ(byKey["x64 clap_factory_crashes.clap"]["status"], "crashed");
    EXPECT_EQ(byKey["x64 clap_plugin_init_hangs.clap"]["status"], "timed out");
    EXPECT_EQ(byKey["x64 clap_version_0.clap"]["error"], "CLAP version 0.9.0 is a development version, never loaded");
    EXPECT_EQ(byKey["x64 clap_version_2.clap"]["error"], "CLAP version 2.9.0 is not supported (1.x is)");
    EXPECT_NE(scan.Err().find("; 2 vst2, 8 vst3, 7 clap files;"), std::string::npos) << scan.Err();

    // VST 2 answers are what they were, and --formats picks the formats a walk takes.
    CProgram vst2(Command(L"--format json --formats vst2 " + QuoteArgument(folder)));
    vst2.Wait(kRunLimitMs);
    const auto only = ByFileName(ReadJson(vst2.Out()));
    ASSERT_EQ(only.size(), 2u) << vst2.Out();
    EXPECT_EQ(only.at("ordinary_effect.dll"), ByFileName(output).at("ordinary_effect.dll"));
    EXPECT_EQ(only.at("synth_flag_x86.dll")["report"]["name"], "Synth Flag");
}

// With no path, the folders where installers put plug-ins: here the VST 2 folder the registry
// names and the CLAP_PATH folders, one and the same, walked once for both formats.
TEST_F(ScannerTest, WithNoPathTheStandardFoldersAreSearched)
{
    AddPlugin(L"ordinary_effect");
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\plugins\\clap_pair.clap").c_str(), (folder + L"\\clap_pair.clap").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\plugins\\vst3_single_file.vst3").c_str(), (folder + L"\\single.vst3").c_str(), FALSE));
    const std::wstring value = folder;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\VST", L"VSTPluginsPath", REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
    struct CRemoveValue {
        ~CRemoveValue() { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\VST", L"VSTPluginsPath"); }
    } removeValue;
    SetEnvironmentVariableW(L"CLAP_PATH", (root + L"\\missing;relative\\clap;" + folder).c_str());

    CProgram list(Command(L"--list-folders"));
    EXPECT_EQ(list.Out().find("relative"), std::string::npos) << list.Out();  // it would depend on the working folder
    EXPECT_EQ(list.Wait(kRunLimitMs), 0u);
    EXPECT_NE(list.Out().find("exists   vst2,clap  " + ToUtf8(folder) + "  (CLAP_PATH; HKCU\\SOFTWARE\\VST\\VSTPluginsPath)"),
              std::string::npos) << list.Out();
    EXPECT_NE(list.Out().find("missing  clap  " + ToUtf8(root) + "\\missing  (CLAP_PATH)"), std::string::npos) << list.Out();

    CProgram scan(Command(L"--format json"));
    scan.Wait(kRunLimitMs);
    SetEnvironmentVariableW(L"CLAP_PATH", nullptr);
    const auto records = ByFileName(ReadJson(scan.Out()));
    ASSERT_EQ(records.size(), 2u) << scan.Out();  // the VST 3 module is not in a folder of its format
    EXPECT_EQ(records.at("clap_pair.clap")["status"], "ok");
    EXPECT_EQ(records.at("ordinary_effect.dll")["status"], "ok");
    EXPECT_NE(scan.Err().find("searching " + ToUtf8(folder) + " (CLAP_PATH; HKCU"), std::string::npos) << scan.Err();
}

// A tree deeper than any stack would take recursively, given by a path longer than Wine's fixed
// buffers: the scanner lists it and accounts for the plug-in at its bottom.
TEST_F(ScannerTest, ADeepTreeAndALongArgumentAreScannedNotFatal)
{
    std::wstring path = folder, given;
    for (int level = 0; level < 200; ++level) {
        path += L"\\level-" + std::to_wstring(1000 + level);
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << level;
        if (level == 99) given = path;
    }
    ASSERT_GT(given.size(), 1100u);
    ASSERT_TRUE(CopyFileW(PluginPath(L"ordinary_effect").c_str(), (path + L"\\deep.dll").c_str(), FALSE));
    CProgram scan(Command(L"--format json " + QuoteArgument(given)));
    EXPECT_LE(scan.Wait(kRunLimitMs), 1u) << scan.Err();
    const Json output = ReadJson(scan.Out());
    ASSERT_EQ(output["plugins"].size(), 1u) << scan.Err();
    EXPECT_EQ(output["plugins"][0]["error"], "path longer than the scan server accepts (1023 bytes of UTF-8)");
}

// A short (8.3) path whose long form is longer than Wine's fixed buffers, given as an argument,
// in the registry and in CLAP_PATH: the scanner lengthens it and lists it, and never dies.
TEST_F(ScannerTest, AShortPathWithAVeryLongLongFormIsLengthenedNotFatal)
{
    std::wstring path = folder, shortPath = folder;
    for (int level = 0; level < 6; ++level) {
        path += L"\\" + std::wstring(190, static_cast<wchar_t>(L'a' + level)) + L" long name";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr)) << level;
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileExW((L"\\\\?\\" + path).c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0);
        ASSERT_NE(search, INVALID_HANDLE_VALUE);
        FindClose(search);
        ASSERT_NE(found.cAlternateFileName[0], L'\0') << "no short name for level " << level;
        shortPath += L"\\" + std::wstring(found.cAlternateFileName);
    }
    ASSERT_GT(path.size(), 1100u);
    ASSERT_LT(shortPath.size(), 250u);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\VST", L"VSTPluginsPath", REG_SZ, shortPath.c_str(),
                              static_cast<DWORD>((shortPath.size() + 1) * sizeof(wchar_t))), ERROR_SUCCESS);
    struct CRemoveValue {
        ~CRemoveValue() { RegDeleteKeyValueW(HKEY_CURRENT_USER, L"SOFTWARE\\VST", L"VSTPluginsPath"); }
    } removeValue;
    SetEnvironmentVariableW(L"CLAP_PATH", shortPath.c_str());
    CProgram list(Command(L"--list-folders"));
    EXPECT_EQ(list.Wait(kRunLimitMs), 0u) << list.Err();
    EXPECT_NE(list.Out().find(ToUtf8(path) + "  (CLAP_PATH; HKCU\\SOFTWARE\\VST\\VSTPluginsPath)"), std::string::npos) << list.Out();
    SetEnvironmentVariableW(L"CLAP_PATH", nullptr);
    CProgram scan(Command(L"--format json " + QuoteArgument(shortPath)));
    EXPECT_EQ(scan.Wait(kRunLimitMs), 0u) << scan.Err();
    EXPECT_TRUE(ReadJson(scan.Out())["plugins"].empty()) << scan.Out();
}

// Modules that misbehave as real ones do, or as a hostile file could: each gets its own verdict,
// keeps what was read before it crashed, says what was cut, and is read back from the database.
TEST_F(ScannerTest, HostileModulesKeepWhatWasReadAndSayWhatWasCut)
{
    // Each module of both machines: "name.ext" the 64-bit build, "name_x86.ext" the 32-bit one.
    const std::pair<const wchar_t*, const wchar_t*> machines[] = {{L"\\plugins\\", L""}, {L"\\plugins-x86\\", L"_x86"}};
    for (const auto& [zoo, suffix] : machines)
        for (const wchar_t* name : {L"vst3_hostile.vst3", L"vst3_init_dll_false.vst3", L"vst3_bad_factory3.vst3",
                                    L"vst3_slow_classes.vst3", L"clap_hostile.clap", L"vst3_buses.vst3", L"clap_buses.clap",
                                    L"vst3_second_class_hangs.vst3"}) {
            std::wstring target = name;
            target.insert(target.find(L'.'), suffix);
            ASSERT_TRUE(CopyFileW((ProgramFolder() + zoo + name).c_str(), (folder + L"\\" + target).c_str(), FALSE));
        }
    const std::wstring decorated = ProgramFolder() + L"\\plugins-x86\\vst3_decorated_export.vst3";
    ASSERT_TRUE(CopyFileW(decorated.c_str(), (folder + L"\\vst3_decorated_export.vst3").c_str(), FALSE));
    std::ofstream((folder + L"\\not_a_dll.clap").c_str()) << "text";
    std::wstring bundle = folder;
    for (const wchar_t* part : {L"\\empty_binary.vst3", L"\\Contents", L"\\x86_64-win"})
        CreateDirectoryW((bundle += part).c_str(), nullptr);
    std::ofstream((bundle + L"\\empty_binary.vst3").c_str()).flush();

    const std::wstring command = L"--jobs 1 --timeout 1.5 --format json --db " + QuoteArgument(database) + L" " + QuoteArgument(folder);
    CProgram scan(Command(command));
    scan.Wait(kRunLimitMs);
    auto records = ByFileName(ReadJson(scan.Out()));
    ASSERT_EQ(records.size(), 19u) << scan.Err();
    EXPECT_EQ(records["vst3_decorated_export.vst3"]["status"], "ok") << records["vst3_decorated_export.vst3"].dump();
    EXPECT_EQ(records["not_a_dll.clap"]["status"], "failed");
    EXPECT_EQ(records["empty_binary.vst3"]["status"], "failed");

    for (const std::string machine : {"x64", "x86"}) {
        const std::string suffix = machine == "x86" ? "_x86" : "";
        auto record = [&](const std::string& name, const char* extension) -> Json& { return records[name + suffix + extension]; };
        const Json& hostile = record("vst3_hostile", ".vst3");
        EXPECT_EQ(hostile["arch"], machine);
        EXPECT_EQ(hostile["status"], "crashed") << scan.Err();  // in ExitDll, after every class was read
        EXPECT_EQ(hostile["report"]["notes"], "claims 1000000000 classes; 4096 read");
        ASSERT_EQ(hostile["subPlugins"].size(), 1u);
        const Json& buses = hostile["subPlugins"][0]["report"];
        EXPECT_TRUE(buses["numInputs"].is_null() && buses["numOutputs"].is_null()) << buses.dump();
        EXPECT_NE(buses["note"].get<std::string>().find("claims 2147483647 audio input buses; 256 read"), std::string::npos);
        EXPECT_NE(buses["note"].get<std::string>().find("its input bus 0 claims -7 channels; unknown"), std::string::npos);
        const Json& classes = hostile["report"]["classes"];
        ASSERT_EQ(classes.size(), 4095u);
        EXPECT_EQ(classes[0]["note"], "its class id is listed before");
        EXPECT_EQ(classes[1]["id"], "");
        EXPECT_EQ(classes[1]["error"], "no class info for class 2");

        EXPECT_EQ(record("vst3_init_dll_false", ".vst3")["error"], "InitDll failed");
        const std::string badPointer = "in ScanServer-" + machine + ".exe while the plug-in's object was being used (setHostContext)";
        EXPECT_NE(record("vst3_bad_factory3", ".vst3")["error"].get<std::string>().find(badPointer), std::string::npos)
            << record("vst3_bad_factory3", ".vst3").dump();
        EXPECT_EQ(record("vst3_slow_classes", ".vst3")["status"], "ok");  // 3 s in all, 0.1 s a class
        EXPECT_EQ(record("vst3_slow_classes", ".vst3")["subPlugins"].size(), 30u);
        const Json& hangs = record("vst3_second_class_hangs", ".vst3");
        EXPECT_EQ(hangs["status"], "timed out");
        ASSERT_EQ(hangs["subPlugins"].size(), 1u) << hangs.dump();  // the class read before it hung
        EXPECT_EQ(hangs["subPlugins"][0]["report"]["name"], "Reads At Once");

        const Json& clap = record("clap_hostile", ".clap");
        ASSERT_EQ(clap["subPlugins"].size(), 3u);
        const Json& longA = clap["subPlugins"][0];
        EXPECT_EQ(longA["id"].get<std::string>().size(), 4095u);  // cut before the character across the bound
        EXPECT_TRUE(longA["report"]["numInputs"].is_null() && longA["report"]["numOutputs"].is_null());
        EXPECT_NE(longA["report"]["note"].get<std::string>().find("its id is longer than 4096 bytes; cut"), std::string::npos);
        const std::string noteB = clap["subPlugins"][1]["report"]["note"];
        EXPECT_NE(noteB.find("its id is listed before"), std::string::npos) << noteB;
        EXPECT_NE(noteB.find("category of 8193 characters cut to 4096"), std::string::npos) << noteB;  // not "tampering"
        EXPECT_EQ(clap["subPlugins"][2]["error"], "plug-in 2 has no id");

        // Main channels count audio only; every bus is listed, aux and control voltage ones too.
        for (const Json* splitter : {&record("vst3_buses", ".vst3"), &record("clap_buses", ".clap")}) {
            const Json& report = (*splitter)["subPlugins"][0]["report"];
            EXPECT_EQ(report["numOutputs"], 2) << report.dump();
            ASSERT_EQ(report["buses"].size(), 4u) << report.dump();
            EXPECT_EQ(report["buses"][3], Json::parse(R"({"name": "Band", "direction": "out", "main": false, "channels": 2, "cv": false})"));
        }
        const Json& controlVoltage = record("vst3_buses", ".vst3")["subPlugins"][1]["report"];
        EXPECT_EQ(controlVoltage["numOutputs"], 0);
        EXPECT_TRUE(controlVoltage["buses"][0]["cv"].get<bool>());
    }

    // Read back whole: nothing dropped, nothing scanned again.
    CProgram again(Command(command));
    again.Wait(kRunLimitMs);
    EXPECT_EQ(again.Err().find("wrong type"), std::string::npos) << again.Err();
    EXPECT_NE(again.Err().find("19 files (0 scanned, "), std::string::npos) << again.Err();
}

// Plug-ins scanned in a row on one job: each keeps the verdict it earned, whatever the others
// did to their servers, and the JSON output still parses.
struct CExpected {
    const wchar_t* name;  // a zoo plug-in; "_x86" at the end: its 32-bit build
    const char* status;
    const char* error;  // part of its error text
    bool dump = false;  // its record names a dump of its own
};
struct CSequence {
    const char* title;
    std::vector<CExpected> plugins;
    const wchar_t* timeout = L"20";
};

void PrintTo(const CSequence& sequence, std::ostream* out) { *out << sequence.title; }

class BlameTest : public ScannerTest, public ::testing::WithParamInterface<CSequence> {};

TEST_P(BlameTest, EveryVerdictBelongsToThePluginThatEarnedIt)
{
    const CSequence& sequence = GetParam();
    std::wstring paths;
    for (const CExpected& plugin : sequence.plugins) {
        std::wstring name = plugin.name;
        const bool x86 = name.size() > 4 && name.substr(name.size() - 4) == L"_x86";
        const std::wstring source = x86 ? ProgramFolder() + L"\\plugins-x86\\" + name.substr(0, name.size() - 4) + L".dll"
                                        : PluginPath(name);
        const std::wstring target = folder + L"\\" + name + L".dll";
        ASSERT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE));
        paths += L" " + QuoteArgument(target);
    }
    CProgram scan(Command(L"--jobs 1 --timeout " + std::wstring(sequence.timeout) + L" --format json" + paths));
    scan.Wait(kRunLimitMs);
    const Json output = ReadJson(scan.Out());
    ASSERT_EQ(output["plugins"].size(), sequence.plugins.size()) << scan.Out();
    for (size_t i = 0; i < sequence.plugins.size(); ++i) {
        const CExpected& expected = sequence.plugins[i];
        const Json& record = output["plugins"][i];
        EXPECT_EQ(record["status"], expected.status) << record.dump() << scan.Err();
        EXPECT_NE(record.value("error", "").find(expected.error), std::string::npos) << record.dump();
        const std::string dump = record.value("dump", "");
        EXPECT_EQ(!dump.empty(), expected.dump) << record.dump();
        if (expected.dump) {
            EXPECT_NE(dump.find("-" + ToUtf8(expected.name)), std::string::npos) << dump;
        }
    }
}

constexpr char kAfterFault[] = "after its scan: crashed; dump written: exception C0000005 (access violation) in fault_after_answer.dll";
const CExpected kOrdinary{L"ordinary_effect", "ok", ""};
const CExpected kFaultAfterAnswer{L"fault_after_answer", "crashed", kAfterFault, true};

INSTANTIATE_TEST_SUITE_P(
    Sequences, BlameTest,
    ::testing::Values(
        CSequence{"fault_after_answer", {kFaultAfterAnswer, kOrdinary}},
        CSequence{"exit_after_answer",
                  {{L"exit_after_answer", "crashed", "after its scan: the plug-in ended the scan server (exit code 0)"}, kOrdinary}},
        CSequence{"closes_requests", {{L"closes_requests", "crashed", "after its scan: the plug-in ended the scan server"}, kOrdinary}},
        CSequence{"forges_ready", {{L"forges_ready", "failed", "its answer did not fit its request"}, kOrdinary}},
        CSequence{"forges_report", {{L"forges_report", "ok", ""}, kOrdinary}},
        CSequence{"floods_output", {{L"floods_output", "failed", "its answer did not fit its request"}, kOrdinary}},
        CSequence{"stack_overflow", {{L"stack_overflow", "crashed", "exception C00000FD (stack overflow)", true}, kOrdinary}},
        CSequence{"removes_filter_then_crash",
                  {{L"removes_filter_then_crash", "crashed", "it crashed without a dump, exception C0000005"}, kOrdinary}},
        // A server retired for another reason keeps the faults of the threads left in it.
        CSequence{"fault_then_forged_answer",
                  {kFaultAfterAnswer, {L"forges_ready", "failed", "its answer did not fit its request"}}},
        CSequence{"fault_then_hang", {kFaultAfterAnswer, {L"hang_in_entry", "timed out", "no answer within 2.0 s"}}, L"2"},
        // Judged by when the server died, not by when that was noticed.
        CSequence{"fault_then_long_scan_of_the_other_machine",
                  {kFaultAfterAnswer, {L"hang_in_entry_x86", "timed out", "no answer within 11.0 s"}}, L"11"},
        // Each end goes to the plug-in that ends a server the same way when scanned alone.
        CSequence{"exit_then_fault",
                  {{L"exit_after_answer", "crashed", "after its scan: the plug-in ended the scan server (exit code 0)"},
                   kFaultAfterAnswer, kOrdinary}},
        // A thread first seen during a scan is not clear evidence while an earlier plug-in's
        // leftovers run: they may have started it.
        CSequence{"timer_after_unload",
                  {{L"timer_fault_after_unload", "crashed", "after its scan: crashed; dump written: exception C0000005", true},
                   {L"slow_entry", "ok", ""}}},
        CSequence{"thread_of_a_leftover_thread",
                  {{L"thread_starts_faulting_thread", "crashed", "after its scan: crashed; dump written: exception C0000005", true},
                   {L"slow_entry", "ok", ""}}},
        // An exception handler left in freed code is found as its library is freed, in its own
        // request; the next plug-in throws and catches an exception of its own unharmed.
        CSequence{"handler_after_unload",
                  {{L"handler_after_unload", "crashed", "crashed; dump written", true}, {L"close_throws_and_catches", "ok", ""}}},
        // A dump is evidence, not proof: one planted by a plug-in frames nobody else.
        CSequence{"planted_dump", {kOrdinary, {L"plants_dump", "crashed", "crashed; dump written", true}}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(ScannerTest, WhatAPluginPrintsIsKeptWithItAndNeverReachesTheOutput)
{
    AddPlugin(L"prints_to_console");
    CProgram scan(Command(L"--format json " + QuoteArgument(folder)));
    ASSERT_EQ(scan.Wait(kRunLimitMs), 0u) << scan.Err();
    const Json record = ReadJson(scan.Out())["plugins"][0];
    EXPECT_EQ(record["console"], "\u241b[2J\u241b[31mTRIAL VERSION\u241b[0m\nlicence check: {\"not\": \"json\"}\n");
    EXPECT_EQ(record["consoleDropped"], 0);
    EXPECT_EQ(scan.Err().find("licence check"), std::string::npos) << scan.Err();
}

// The check zoo of both machines: every plug-in gets exactly its verdict, in the right stage,
// in one run with two jobs; the database keeps the checks and gives them back unchanged.
TEST_F(ScannerTest, EveryCheckZooPluginGetsItsVerdictOnBothMachines)
{
    const std::pair<const wchar_t*, const wchar_t*> machines[] = {{L"\\plugins-check\\", L""}, {L"\\plugins-x86-check\\", L"_x86"}};
    const auto expected = CheckZooVerdicts(false);
    std::vector<std::string> names;
    for (const auto& [name, verdict] : expected) names.push_back(name);
    for (const auto& [zoo, suffix] : machines)
        for (const std::string& name : names)
            for (const char* extension : CheckZooFiles(name))
                ASSERT_TRUE(CopyFileW((ProgramFolder() + zoo + FromUtf8(name + extension)).c_str(),
                                      (folder + L"\\" + FromUtf8(name) + suffix + FromUtf8(extension)).c_str(), FALSE));
    // First a scan alone: without --check nothing is checked, and the records have no check.
    const std::wstring paths = L" --format json --db " + QuoteArgument(database) + L" " + QuoteArgument(folder);
    CProgram scan(Command(L"--jobs 2" + paths));
    ASSERT_EQ(scan.Wait(kRunLimitMs), 0u) << scan.Err();
    EXPECT_EQ(scan.Out().find("\"check\""), std::string::npos);

    // A file scanned without --check is checked when --check comes.
    CProgram check(Command(L"--check --jobs 2 --timeout 4" + paths));
    ASSERT_EQ(check.Wait(kRunLimitMs), 1u) << check.Err();
    auto records = ByFileName(ReadJson(check.Out()));
    ASSERT_EQ(records.size(), 2 * CheckZooFileCount()) << check.Err();
    // What the verdicts say, where the stage alone does not tell the plug-ins apart.
    const std::map<std::string, std::string> says = {
        {"check_writes_nan", "failed in audio: NaN or infinity in the output at 44100 Hz, blocks of 1"},
        {"check_claims_too_many_channels", "failed in open: a bus of 100000 channels; the check runs up to 256"},
        {"check_denormals", "denormal samples in the output, first at 44100 Hz, blocks of 1"},
        {"check_never_quiet", "output channel 1 holds a constant level of 0.0010 (-60.0 dBFS) after the input ends: a DC offset"},
        {"check_dc_on_one_channel", "output channel 2 holds a constant level of -0.0830 (-21.6 dBFS)"},
        {"check_rings_forever", "never falls below -120 dBFS within 30 s after the input ends"},
        {"check_notes_in_nothing_out", "it takes notes and gives nothing out"},
        {"check_state_ignored", "loading its state brought back none of the 2 parameters"},
        {"check_state_swapped", "2 of 2 parameters did not come back after loading"},
        {"check_no_state", "it keeps no state, and a host restores it only from its state"},
        {"check_silent_instrument", "silent after a note"},
        {"check_loses_parameter", "\"Drive\" did not keep"},
        {"check_refuses_own_state", "loading its own state failed"},
        {"check_huge_state", "the stream refused the rest"}};
    std::map<std::string, std::string> checkedAt;
    for (const auto& [zoo, suffix] : machines)
        for (const std::string& name : names)
            for (const char* extension : CheckZooFiles(name)) {
                const std::string file = name + ToUtf8(suffix) + extension;
                const Json& record = records[file];
                EXPECT_EQ(record["arch"], suffix[0] ? "x86" : "x64") << file;
                const Json& plugin = record.contains("subPlugins") ? record["subPlugins"][0] : record;
                ASSERT_TRUE(plugin.contains("check")) << file << record.dump();
                const Json& verdict = plugin["check"];
                EXPECT_EQ(verdict["status"], expected.at(name).first) << file << verdict.dump();
                EXPECT_EQ(verdict["stage"], expected.at(name).second) << file << verdict.dump();
                checkedAt[file] = verdict["checkedAt"];
                if (verdict["status"] == "passed") {
                    // Hidden parameters are counted apart from those a host shows.
                    // A VST 3 plug-in's program list is a parameter a host shows too.
                    const bool programParameter = name == "check_programs_set_parameters" && file.ends_with(".vst3");
                    EXPECT_EQ(verdict["parameters"], name == "check_hidden_parameters" || programParameter ? 3 : 2) << file;
                    EXPECT_EQ(verdict["hiddenParameters"], name == "check_hidden_parameters" ? 2 : 0) << file;
                    EXPECT_EQ(verdict["latency"], 0) << file;
                    // A refused 64-bit precision means 32 bits only; a MIDI effect's CLAP file has no ports.
                    const bool no64 = name == "check_refuses_64_bits" || (name == "check_midi_effect" && file.ends_with(".clap"));
                    EXPECT_EQ(verdict["audio64"], !no64) << file;
                    EXPECT_EQ(verdict["sampleRates"], "22050|44100|48000|88200|96000|192000|384000") << file;
                    EXPECT_EQ(verdict["blockSizes"], "1|64|512|4096|varying") << file;
                    // The load is the plug-in's calls alone: one that returns at once is light
                    // however many buffers the host fills for it.
                    EXPECT_TRUE(verdict["load"].is_number() && verdict["load"] >= 0 && verdict["load"] < (name == "check_many_buses" ? 1 : 100)) << file;
                    // An XML state's elements come back in another order: the same values, other bytes.
                    std::string state;
                    for (const Json& stage : verdict["stages"])
                        if (stage["stage"] == "state") state = stage["details"];
                    if (name == "check_xml_state") EXPECT_TRUE(state.find("its 2 parameters came back after loading; saved again") != std::string::npos) << state;
                    else EXPECT_EQ(state, "16 bytes; its 2 parameters came back after loading") << file;
                    // The instrument's note fades in about 20 ms; the long tail rings for 3 s and is
                    // measured, though it announces none.
                    const double longest = name == "check_instrument" ? 0.1 : name == "check_long_tail" ? 3.2 : 0.001;
                    EXPECT_TRUE(verdict["tail"].is_number() && verdict["tail"] < longest) << file;
                    // How long it rings depends on its level when the noise stops (it falls 40 dB a
                    // second), and the timed run stops after a second of its own, wherever that is.
                    if (name == "check_long_tail") {
                        EXPECT_GT(verdict["tail"], 1.0) << file;
                    }
                    const bool notes = name == "check_instrument" || name == "check_midi_effect";
                    EXPECT_EQ(verdict["midiIn"], notes) << file;
                    EXPECT_EQ(verdict["midiOut"], name == "check_midi_effect") << file;
                    // A plug-in given every output it expects prints nothing; one that prints on
                    // every block is told by how much.
                    if (name == "check_prints_every_block") EXPECT_GT(verdict["printed"], 1000) << file;
                    else if (name != "check_gui_needs_host") EXPECT_EQ(verdict["printed"], 0) << file << verdict.dump();
                    else EXPECT_EQ(verdict["console"], "clap.log info: zoo: initialised\n") << file;
                }
                if (verdict["status"] == "crashed") {
                    EXPECT_NE(verdict["dump"].get<std::string>().find(".mdmp"), std::string::npos) << file;
                    EXPECT_NE(verdict["verdict"].get<std::string>().find("C0000005"), std::string::npos) << file;
                }
                if (const auto said = says.find(name); said != says.end()) {
                    EXPECT_NE(verdict["verdict"].get<std::string>().find(said->second), std::string::npos) << verdict["verdict"];
                }
                EXPECT_EQ(plugin["status"], "ok") << file;  // a check that crashed keeps its ok scan
            }

    // Unchanged files keep their checks; --retry-failed checks again only the bad ones.
    CProgram again(Command(L"--check --retry-failed --jobs 2 --timeout 4" + paths));
    ASSERT_EQ(again.Wait(kRunLimitMs), 1u) << again.Err();
    for (auto& [file, record] : ByFileName(ReadJson(again.Out()))) {
        const Json& verdict = (record.contains("subPlugins") ? record["subPlugins"][0] : record)["check"];
        const bool bad = verdict["status"] != "passed" && verdict["status"] != "warnings";
        EXPECT_EQ(verdict["checkedAt"] != checkedAt[file], bad) << file << verdict.dump();
    }
    CProgram kept(Command(L"--check" + paths));
    ASSERT_EQ(kept.Wait(kRunLimitMs), 1u) << kept.Err();
    EXPECT_NE(kept.Err().find(std::to_string(2 * CheckZooFileCount()) + " unchanged"), std::string::npos) << kept.Err();
    std::map<std::string, size_t> statuses;
    for (const auto& [name, verdict] : expected) statuses[verdict.first] += 2 * CheckZooFiles(name).size();
    const std::string counts = "checks: " + std::to_string(statuses["passed"]) + " passed, " + std::to_string(statuses["warnings"]) +
                               " warnings, " + std::to_string(statuses["failed"]) + " failed, " + std::to_string(statuses["crashed"]) +
                               " crashed, " + std::to_string(statuses["timed out"]) + " timed out, 0 blocked";
    EXPECT_NE(kept.Err().find(counts), std::string::npos) << kept.Err();
}

// Warnings alone keep exit code 0; a plug-in whose id cannot be named in a request fails its
// check's open stage, a verdict of its own rather than the host's failure.
TEST_F(ScannerTest, ChecksWithWarningsPassAndAnIdTooLongForARequestFailsOpen)
{
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\plugins-check\\check_loses_parameter.dll").c_str(),
                          (folder + L"\\check_loses_parameter.dll").c_str(), FALSE));
    CProgram warned(Command(L"--check --format json " + QuoteArgument(folder)));
    ASSERT_EQ(warned.Wait(kRunLimitMs), 0u) << warned.Err();
    EXPECT_EQ(ReadJson(warned.Out())["plugins"][0]["check"]["status"], "warnings");

    CProgram longId(Command(L"--check --format json " + QuoteArgument(ProgramFolder() + L"\\plugins\\clap_hostile.clap")));
    ASSERT_EQ(longId.Wait(kRunLimitMs), 1u) << longId.Err();
    size_t refused = 0;
    const Json output = ReadJson(longId.Out());
    for (const Json& sub : output["plugins"][0]["subPlugins"]) {
        if (sub["id"].get<std::string>().size() < 1000) continue;
        ++refused;
        EXPECT_EQ(sub["check"]["stage"], "open");
        EXPECT_NE(sub["check"]["verdict"].get<std::string>().find("too long to be named in a check request"), std::string::npos);
        EXPECT_FALSE(sub["check"].contains("hostFailure"));
    }
    EXPECT_EQ(refused, 2u);
}

}  // namespace
