// The client library against the real server: outcomes as values, and a server replaced after
// a crash or a hang without losing the next request.
#include <gtest/gtest.h>

#include "host/PluginScanner.h"
#include "host/ScanServer.h"
#include "tests/support/ServerHarness.h"

namespace {

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        options.serverPath = ProgramFolder() + L"\\ScanServer-x64.exe";
        options.dumpFolder = std::wstring(temp) + L"tessarine-client-" + std::to_wstring(GetCurrentProcessId());
        options.timeout = std::chrono::milliseconds(15000);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((options.dumpFolder + L"\\*.mdmp").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do DeleteFileW((options.dumpFolder + L"\\" + found.cFileName).c_str());
            while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(options.dumpFolder.c_str());
    }
    static std::string Plugin(const wchar_t* name) { return ToUtf8(PluginPath(name)); }

    CScanServerOptions options;
};

TEST_F(ClientTest, ReportsEachOutcomeAndCarriesOnAfterACrash)
{
    CScanServer server(options);
    const CScanOutcome ok = server.Scan(Plugin(L"ordinary_effect"));
    EXPECT_EQ(ok.status, ScanStatus::kOk);
    EXPECT_EQ(ok.report.name, "Ordinary Effect");
    EXPECT_EQ(ok.report.id, 0x5A456666u);
    ASSERT_FALSE(ok.trace.empty());
    EXPECT_EQ(ok.trace.front().rfind("info:Scanning plugin: '", 0), 0u);

    const CScanOutcome failed = server.Scan(Plugin(L"entry_returns_null"));
    EXPECT_EQ(failed.status, ScanStatus::kFailed);
    EXPECT_EQ(failed.error, "Entry point returned NULL");
    EXPECT_EQ(failed.report.category, -1);

    const CScanOutcome crashed = server.Scan(Plugin(L"crash_in_entry"));
    EXPECT_EQ(crashed.status, ScanStatus::kCrashed);
    EXPECT_EQ(crashed.exitCode, 9u);
    EXPECT_EQ(crashed.trace.back(), "info:Calling entry point...");
    EXPECT_NE(crashed.dumpFile.find(L"-crash_in_entry.mdmp"), std::wstring::npos);
    EXPECT_NE(GetFileAttributesW(crashed.dumpFile.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(server.Running());

    // The next request starts a new server.
    EXPECT_EQ(server.Scan(Plugin(L"synth_flag")).report.name, "Synth Flag");
    EXPECT_TRUE(server.Running());
}

TEST_F(ClientTest, EndsAServerThatHangsAndStartsAnother)
{
    options.timeout = std::chrono::milliseconds(1500);
    CScanServer server(options);
    const CScanOutcome hung = server.Scan(Plugin(L"hang_in_entry"));
    EXPECT_EQ(hung.status, ScanStatus::kTimedOut);
    EXPECT_EQ(hung.error, "no answer within 1.5 s");
    EXPECT_GE(hung.seconds, 1.4);
    EXPECT_EQ(server.Scan(Plugin(L"ordinary_effect")).status, ScanStatus::kOk);
}

TEST_F(ClientTest, ACrashWhoseDumpOutlastsTheTimeOutIsStillACrash)
{
    // Long enough to start and crash, shorter than Wine takes to write the dump.
    options.timeout = std::chrono::milliseconds(3000);
    CScanServer server(options);
    const CScanOutcome crashed = server.Scan(Plugin(L"crash_in_entry"));
    EXPECT_EQ(crashed.status, ScanStatus::kCrashed) << crashed.error;
    EXPECT_EQ(crashed.exitCode, 9u);
    EXPECT_NE(GetFileAttributesW(crashed.dumpFile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ClientTest, ACrashIsSeenWhileAProcessThePluginStartedHoldsThePipes)
{
    options.timeout = std::chrono::milliseconds(60000);
    CScanServer server(options);
    const auto started = GetTickCount64();
    const CScanOutcome crashed = server.Scan(Plugin(L"helper_holds_pipes_then_crash"));
    EXPECT_EQ(crashed.status, ScanStatus::kCrashed) << crashed.error;
    EXPECT_EQ(crashed.exitCode, 9u);
    EXPECT_LT(GetTickCount64() - started, 30000u);  // seen when the server ended, not at the deadline
    EXPECT_EQ(crashed.trace.back(), "info:Calling entry point...");
    // The helper went with the server's job, so its pipes closed and the next scan is clean.
    EXPECT_EQ(server.Scan(Plugin(L"ordinary_effect")).status, ScanStatus::kOk);
}

TEST_F(ClientTest, SaysWhyALibraryWouldNotLoad)
{
    CreateDirectoryW(options.dumpFolder.c_str(), nullptr);
    auto fileWith = [&](const wchar_t* name, const std::string& bytes) {
        const std::wstring path = options.dumpFolder + L"\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return ToUtf8(path);
    };
    std::string arm64(512, '\0');
    arm64.replace(0, 2, "MZ");
    arm64[0x3C] = 0x40;
    arm64.replace(0x40, 6, std::string("PE\0\0\x64\xAA", 6));

    // An x64 header with nothing a loader can use behind it.
    std::string damaged = arm64;
    damaged.replace(0x44, 2, std::string("\x64\x86", 2));

    CScanServer server(options);
    EXPECT_EQ(server.Scan(fileWith(L"notes.dll", "just text")).error,
              "Failed to load library, err=193: the file is not a Windows DLL");
    EXPECT_EQ(server.Scan(fileWith(L"arm.dll", arm64 + std::string(2600000, 'x'))).error,
              "Failed to load library, err=193: the file is a DLL for ARM64, not for this machine");
    EXPECT_EQ(server.Scan(fileWith(L"damaged.dll", damaged)).error,
              "Failed to load library, err=193: the file is a DLL for x64, but damaged: the system cannot load it");
    EXPECT_EQ(server.Scan(Plugin(L"needs_missing_dll")).error,
              "Failed to load library, err=126: it needs missing_helper.dll (64-bit), which is not installed");
    server.Stop();
    DeleteFileW((options.dumpFolder + L"\\notes.dll").c_str());
    DeleteFileW((options.dumpFolder + L"\\arm.dll").c_str());
    DeleteFileW((options.dumpFolder + L"\\damaged.dll").c_str());
}

TEST_F(ClientTest, ScansEachSubPluginOfAShellOnTheServerThatKeepsItsLibrary)
{
    const auto scans = ScanPlugins({Plugin(L"shell_with_duplicates"), Plugin(L"ordinary_effect")}, {.server = options, .jobs = 2});
    ASSERT_EQ(scans.size(), 2u);
    ASSERT_EQ(scans[0].subPlugins.size(), 2u);
    EXPECT_EQ(scans[0].subPlugins[0].request, Plugin(L"shell_with_duplicates") + ">00000005");
    EXPECT_EQ(scans[0].subPlugins[0].outcome.report.name, "Shell Sub 5");
    EXPECT_EQ(scans[0].subPlugins[1].outcome.report.name, "Shell Sub 7");
    EXPECT_EQ(scans[0].subPlugins[1].outcome.trace[1], "info:Re-using previous library instance...");
    EXPECT_EQ(scans[1].outcome.report.name, "Ordinary Effect");
    EXPECT_TRUE(scans[1].subPlugins.empty());
}

TEST_F(ClientTest, RefusesWhatItCannotAskAndSaysWhy)
{
    CScanServer server(options);
    const CScanOutcome refused = server.Scan("C:\\a.dll\nC:\\b.dll");
    EXPECT_EQ(refused.status, ScanStatus::kFailed);
    EXPECT_EQ(refused.error, "a request cannot hold a line break");
    EXPECT_FALSE(server.Running());

    const CScanOutcome tooLong = server.Scan("C:\\" + std::string(1100, 'a') + ".dll");
    EXPECT_TRUE(tooLong.hostFailure);
    EXPECT_EQ(tooLong.error, "path longer than the scan server accepts (1023 bytes of UTF-8)");

    options.serverPath = ProgramFolder() + L"\\no-such-server.exe";
    CScanServer missing(options);
    const CScanOutcome unstarted = missing.Scan(Plugin(L"ordinary_effect"));
    EXPECT_EQ(unstarted.status, ScanStatus::kFailed);
    EXPECT_EQ(unstarted.error.rfind("cannot start the scan server (error ", 0), 0u) << unstarted.error;
}

// The evidence is clear when a crash's dump names the crashing plug-in: it costs no second
// scan of it, nor of the plug-ins before it.
TEST_F(ClientTest, AClearCrashCostsNothingMore)
{
    std::vector<std::string> paths;
    for (const wchar_t* name : {L"ordinary_effect", L"synth_flag", L"main_only", L"category_five", L"sends_midi_dont_know",
                                L"crash_in_entry", L"wants_midi_via_host"})
        paths.push_back(Plugin(name));
    const unsigned before = CScanServer::ProcessesStarted();
    const auto scans = ScanPlugins(paths, {.server = options, .jobs = 1});
    EXPECT_EQ(CScanServer::ProcessesStarted() - before, 2u);
    ASSERT_EQ(scans.size(), paths.size());
    for (size_t i = 0; i < scans.size(); ++i)
        EXPECT_EQ(scans[i].outcome.status, i == 5 ? ScanStatus::kCrashed : ScanStatus::kOk) << scans[i].request;
    EXPECT_NE(scans[5].outcome.dumpFile.find(L"-crash_in_entry.mdmp"), std::wstring::npos);
    int dumps = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((options.dumpFolder + L"\\*.mdmp").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do ++dumps;
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(dumps, 1);
}

}  // namespace
